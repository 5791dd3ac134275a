// List boxes, scroll bars and sliders (platform/control_service.h): their items, selection
// and position, and what a scroll bar does with the user's scroll requests.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

// --- List boxes --------------------------------------------------------------------------------

void Win32Platform::addItem(Handle list, const std::string& text) {
    controlData(list);
    const std::wstring item = Widen(text);
    SendMessageW(ToHwnd(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32Platform::deleteItem(Handle list, int index) {
    controlData(list);
    if (index >= 0 && index < itemCount(list)) {
        SendMessageW(ToHwnd(list), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    }
}

void Win32Platform::clearItems(Handle list) {
    controlData(list);
    SendMessageW(ToHwnd(list), LB_RESETCONTENT, 0, 0);
}

int Win32Platform::itemCount(Handle list) const {
    controlData(list);
    return static_cast<int>(SendMessageW(ToHwnd(list), LB_GETCOUNT, 0, 0));
}

std::string Win32Platform::itemText(Handle list, int index) const {
    controlData(list);
    const LRESULT length =
        index < 0 ? LB_ERR
                  : SendMessageW(ToHwnd(list), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(ToHwnd(list), LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return Narrow(text);
}

int Win32Platform::selectedIndex(Handle list) const {
    controlData(list);
    const LRESULT selected = SendMessageW(ToHwnd(list), LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void Win32Platform::setSelectedIndex(Handle list, int index) {
    controlData(list);
    const bool inRange = index >= 0 && index < itemCount(list);
    SendMessageW(ToHwnd(list), LB_SETCURSEL, inRange ? static_cast<WPARAM>(index) : WPARAM(-1), 0);
}

// --- Scroll bars -------------------------------------------------------------------------------

void Win32Platform::setScrollRange(Handle bar, int minimum, int maximum) {
    ControlData& data = controlData(bar);
    data.scrollMin = minimum;
    data.scrollMax = std::max(minimum, maximum);
    if (data.design.kind == platform::ControlKind::Slider) {
        SendMessageW(ToHwnd(bar), TBM_SETRANGEMIN, FALSE, data.scrollMin);
        SendMessageW(ToHwnd(bar), TBM_SETRANGEMAX, TRUE, data.scrollMax);
        return;  // the trackbar keeps its position within its range itself
    }
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE;
    info.nMin = data.scrollMin;
    info.nMax = data.scrollMax;
    SetScrollInfo(ToHwnd(bar), SB_CTL, &info, TRUE);
    setScrollPosition(bar, scrollPosition(bar));
}

void Win32Platform::setScrollPosition(Handle bar, int position) {
    const ControlData& data = controlData(bar);
    if (data.design.kind == platform::ControlKind::Slider) {
        SendMessageW(ToHwnd(bar), TBM_SETPOS, TRUE,
                     std::clamp(position, data.scrollMin, data.scrollMax));
        return;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = std::clamp(position, data.scrollMin, data.scrollMax);
    SetScrollInfo(ToHwnd(bar), SB_CTL, &info, TRUE);
}

int Win32Platform::scrollPosition(Handle bar) const {
    if (controlData(bar).design.kind == platform::ControlKind::Slider) {
        return static_cast<int>(SendMessageW(ToHwnd(bar), TBM_GETPOS, 0, 0));
    }
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    GetScrollInfo(ToHwnd(bar), SB_CTL, &info);
    return info.nPos;
}

void Win32Platform::onHorizontalScroll(HWND bar, WORD request) {
    ControlData* control = findControl(bar);
    if (control != nullptr && control->design.kind == platform::ControlKind::Slider) {
        // The trackbar has moved itself already; the end of a drag or key moves nothing.
        if (request != TB_ENDTRACK) {
            platform::invokeHandler(*this, std::function<void()>(control->design.onScroll));
        }
        return;
    }
    if (control == nullptr || control->design.kind != platform::ControlKind::ScrollBar) {
        return;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &info);
    int position = info.nPos;
    switch (request) {
        case SB_LINELEFT:
            position -= control->design.smallChange;
            break;
        case SB_PAGELEFT:
            position -= control->design.largeChange;
            break;
        case SB_LINERIGHT:
            position += control->design.smallChange;
            break;
        case SB_PAGERIGHT:
            position += control->design.largeChange;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            position = info.nTrackPos;
            break;
        case SB_LEFT:
            position = control->scrollMin;
            break;
        case SB_RIGHT:
            position = control->scrollMax;
            break;
        default:
            return;  // the end of a scroll action moves nothing
    }
    setScrollPosition(ToHandle(bar), position);
    const auto handler = control->design.onScroll;
    platform::invokeHandler(*this, handler);
}

}  // namespace morvel::win32
