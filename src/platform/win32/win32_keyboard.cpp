// The keyboard as in a dialog box: Tab moves between a form's controls, the arrows between
// the radio buttons of a set, Enter presses the default button; a form that asked for them
// sees its controls' keys first. And the keyboard focus: the order Tab follows and the
// control a form gives the focus back to when it is activated again.
#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace morvel::win32 {

// Key messages of a form's controls reach the form first when it asked for them.
void Win32Platform::previewKey(const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) {
        return;
    }
    const ControlData* control = findControl(message.hwnd);
    if (control == nullptr) {
        return;
    }
    const WindowData& form = windowData(ToHandle(control->window));
    if (form.design.keyPreview) {
        onKeyDown(form, message.wParam);
    }
}

// Tab moves between controls, the arrows between the radio buttons of a set, and Enter
// presses the default button, as in a dialog box.
bool Win32Platform::handleDialogKeys(const MSG& message) {
    if (message.message != WM_KEYDOWN) {
        return false;
    }
    const ControlData* control = findControl(message.hwnd);
    if (control == nullptr && windows_.count(message.hwnd) == 0) {
        return false;
    }
    const HWND form = control != nullptr ? control->window : message.hwnd;
    switch (message.wParam) {
        case VK_TAB: {
            const HWND next = nextTabStop(form, message.hwnd, GetKeyState(VK_SHIFT) < 0);
            if (next == nullptr) {
                return false;  // a form without controls to visit sees the key itself
            }
            moveFocus(form, next);
            return true;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            return control != nullptr &&
                   control->design.kind == platform::ControlKind::RadioButton &&
                   moveAmongRadioButtons(message.hwnd,
                                         message.wParam == VK_LEFT || message.wParam == VK_UP);
        case VK_RETURN:
            for (const auto& [handle, other] : controls_) {
                if (other->window == form && other->design.defaultButton &&
                    IsWindowVisible(handle) && IsWindowEnabled(handle)) {
                    SendMessageW(handle, BM_CLICK, 0, 0);
                    return true;
                }
            }
            return false;
        default:
            return false;
    }
}

// An arrow key moves to the next radio button of the set and checks it.
bool Win32Platform::moveAmongRadioButtons(HWND radio, bool backwards) {
    const ControlData& from = *findControl(radio);
    std::vector<HWND> set;
    for (HWND other : focusOrder(from.window)) {
        const ControlData& data = *findControl(other);
        if (data.design.kind == platform::ControlKind::RadioButton &&
            data.design.parent == from.design.parent && (other == radio || canTakeFocus(other))) {
            set.push_back(other);
        }
    }
    const auto at = std::find(set.begin(), set.end(), radio);
    if (set.size() < 2 || at == set.end()) {
        return set.size() == 1;
    }
    const std::size_t index = static_cast<std::size_t>(at - set.begin());
    const HWND next = set[(index + (backwards ? set.size() - 1 : 1)) % set.size()];
    moveFocus(from.window, next);
    SendMessageW(from.window, WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(next)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(next));
    return true;
}

// --- Keyboard focus ------------------------------------------------------------------------

namespace {

using Siblings = std::map<Handle, std::vector<std::pair<std::tuple<bool, int, int>, HWND>>>;

void AppendInFocusOrder(Siblings& byParent, Handle parent, std::vector<HWND>& order) {
    auto found = byParent.find(parent);
    if (found == byParent.end()) {
        return;
    }
    std::sort(found->second.begin(), found->second.end());
    for (const auto& [key, control] : found->second) {
        order.push_back(control);
        AppendInFocusOrder(byParent, ToHandle(control), order);
    }
}

}  // namespace

// Each parent's controls by their place (those without one after, as created); what a group
// or panel holds comes where the group itself stands.
std::vector<HWND> Win32Platform::focusOrder(HWND form) const {
    Siblings byParent;
    for (const auto& [handle, control] : controls_) {
        if (control->window == form) {
            const int place = control->design.tabOrder;
            byParent[control->design.parent].push_back(
                {{place < 0, std::max(place, 0), control->sequence}, handle});
        }
    }
    std::vector<HWND> order;
    AppendInFocusOrder(byParent, 0, order);
    return order;
}

// By kind, not by WS_TABSTOP: a radio button drops that style whenever it is unchecked. By
// its own flags and its parents', so that the order is known before the form is shown.
bool Win32Platform::canTakeFocus(HWND control) const {
    const ControlData* data = findControl(control);
    if (data == nullptr || !effectiveVisible(*data) || !effectiveEnabled(*data)) {
        return false;
    }
    switch (data->design.kind) {
        case platform::ControlKind::Label:
        case platform::ControlKind::Panel:
        case platform::ControlKind::GroupBox:
            return false;
        default:
            return true;
    }
}

// A set of radio buttons is one stop: the checked one, or the first when none is.
bool Win32Platform::isTabStop(HWND control, const std::vector<HWND>& order) const {
    const ControlData& data = *findControl(control);
    if (!canTakeFocus(control)) {
        return false;
    }
    if (data.design.kind != platform::ControlKind::RadioButton) {
        return true;
    }
    HWND first = nullptr;
    for (HWND other : order) {
        const ControlData& candidate = *findControl(other);
        if (candidate.design.kind != platform::ControlKind::RadioButton ||
            candidate.design.parent != data.design.parent || !canTakeFocus(other)) {
            continue;
        }
        if (SendMessageW(other, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return other == control;
        }
        first = first == nullptr ? other : first;
    }
    return first == control;
}

// The stop after (or before) `from`, round the form; from the form itself, the first (last).
HWND Win32Platform::nextTabStop(HWND form, HWND from, bool backwards) const {
    const std::vector<HWND> order = focusOrder(form);
    if (order.empty()) {
        return nullptr;
    }
    const std::size_t count = order.size();
    const auto at = std::find(order.begin(), order.end(), from);
    const std::size_t start = at != order.end() ? static_cast<std::size_t>(at - order.begin())
                              : backwards       ? 0
                                                : count - 1;
    const ControlData* fromData = findControl(from);
    for (std::size_t step = 1; step <= count; ++step) {
        const HWND candidate =
            order[backwards ? (start + count - step) % count : (start + step) % count];
        const ControlData& data = *findControl(candidate);
        const bool sameRadioSet = candidate != from && fromData != nullptr &&
                                  fromData->design.kind == platform::ControlKind::RadioButton &&
                                  data.design.kind == platform::ControlKind::RadioButton &&
                                  data.design.parent == fromData->design.parent;
        if (!sameRadioSet && isTabStop(candidate, order)) {
            return candidate;
        }
    }
    return nullptr;
}

std::vector<Handle> Win32Platform::tabStops(Handle window) const {
    const HWND form = ToHwnd(window);
    windowData(window);
    std::vector<Handle> stops;
    for (HWND next = nextTabStop(form, form, false);
         next != nullptr && (stops.empty() || ToHandle(next) != stops.front());
         next = nextTabStop(form, next, false)) {
        stops.push_back(ToHandle(next));
    }
    return stops;
}

void Win32Platform::moveFocus(HWND form, HWND control) {
    windowData(ToHandle(form)).focus = control;
    SetFocus(control);
}

// The control that had the focus, or the first stop when it can no longer take it.
bool Win32Platform::restoreFocus(HWND form, WindowData& data) {
    const ControlData* remembered = findControl(data.focus);
    HWND target = remembered != nullptr && remembered->window == form && canTakeFocus(data.focus)
                      ? data.focus
                      : nextTabStop(form, form, false);
    if (target == nullptr) {
        return false;
    }
    moveFocus(form, target);
    return true;
}

void Win32Platform::rememberFocus(HWND window, WindowData& data) {
    const HWND focus = GetFocus();
    const ControlData* control = findControl(focus);
    if (control != nullptr && control->window == window) {
        data.focus = focus;
    }
}

}  // namespace morvel::win32
