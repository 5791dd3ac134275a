// The application side of the Win32 backend: the message pump, the hook that shows every
// removed message to the application-wide handler, and the forms' window procedure.
#include "platform/win32/win32_platform.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/media_engines.h"
#include "platform/win32/win32_screens.h"

namespace morvel::win32 {

namespace {

constexpr const char* kPanelClass = "MorvelPanel";
constexpr const char* kUnknownError = "Unknown error";

// The platform whose hook runs on this thread. A hook procedure has no context argument.
Win32Platform* gHookOwner = nullptr;

// A dialog-unit-free window placement: the outer rectangle for a client size and style.
RECT OuterRect(SIZE client, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

// Wakes a nested loop blocked in GetMessage so that it looks at its exit condition again.
void WakeMessageLoop() {
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

}  // namespace

COLORREF ToColorRef(platform::Color color) {
    if (color.systemWindowText) {
        return GetSysColor(COLOR_WINDOWTEXT);
    }
    return RGB(color.red, color.green, color.blue);
}

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    WNDCLASSEXA panel{};
    panel.cbSize = sizeof(panel);
    panel.style = CS_DBLCLKS;
    panel.lpfnWndProc = PanelProc;
    panel.hInstance = instance_;
    panel.hCursor = LoadCursor(nullptr, IDC_ARROW);
    panel.lpszClassName = kPanelClass;
    RegisterClassExA(&panel);

    gHookOwner = this;
    hook_.reset(SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId()));
}

Win32Platform::~Win32Platform() {
    hook_.reset();
    gHookOwner = nullptr;
    // Forms left open by a caller that ended early go before the fonts they use.
    while (!creationOrder_.empty()) {
        destroyWindow(ToHandle(creationOrder_.back()));
    }
}

// --- Application ---------------------------------------------------------------------------

void Win32Platform::setMessageHandler(MessageHandler handler) {
    handler_ = std::move(handler);
}

LRESULT CALLBACK Win32Platform::GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    // Only messages taken off the queue count; a look with PM_NOREMOVE is not a message seen.
    if (code == HC_ACTION && wParam == PM_REMOVE && gHookOwner != nullptr) {
        gHookOwner->seeRemovedMessage(*reinterpret_cast<MSG*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Win32Platform::seeRemovedMessage(MSG& message) {
    if (!handler_ || ending_) {
        return;
    }
    const platform::Message seen{ToHandle(message.hwnd), message.message, message.wParam,
                                 message.lParam};
    bool handled = false;
    // A copy: the handler may replace or clear itself while it runs.
    const MessageHandler handler = handler_;
    try {
        platform::invokeMessageHandler(*this, handler, seen, handled);
    } catch (...) {
        endProcessWithReport(kUnknownError);
    }
    if (handled) {
        message.message = WM_NULL;
    }
}

void Win32Platform::dispatch(MSG& message) {
    if (message.message == WM_NULL) {
        return;  // swallowed by the application-wide handler, or a wake-up call
    }
    previewKey(message);
    if (handleDialogKeys(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

void Win32Platform::runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        dispatch(message);
    }
}

void Win32Platform::processMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The quit belongs to the loop that called us: hand it back.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        dispatch(message);
    }
}

void Win32Platform::quit() {
    PostQuitMessage(0);
}

void Win32Platform::endProcessWithReport(const std::string& message) {
    ending_ = true;
    // The report's own loop must not reach the failing handler again.
    hook_.reset();
    while (ShowCursor(TRUE) < 0) {
    }
    MessageBoxA(nullptr, message.c_str(), title_.c_str(),
                MB_ICONERROR | MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    ExitProcess(1);
}

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
                    SendMessageA(handle, BM_CLICK, 0, 0);
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
    SendMessageA(from.window, WM_COMMAND,
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
        if (SendMessageA(other, BM_GETCHECK, 0, 0) == BST_CHECKED) {
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

// --- Forms ---------------------------------------------------------------------------------

void Win32Platform::registerClass(const std::string& className) {
    if (std::find(registeredClasses_.begin(), registeredClasses_.end(), className) !=
        registeredClasses_.end()) {
        return;
    }
    WNDCLASSEXA form{};
    form.cbSize = sizeof(form);
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = FormProc;
    form.hInstance = instance_;
    form.hIcon = LoadIcon(instance_, MAKEINTRESOURCE(1));
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    form.lpszClassName = className.c_str();
    // A class the process registered before (by an earlier platform) serves as well.
    if (RegisterClassExA(&form) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw std::runtime_error("Unable to register window class " + className);
    }
    registeredClasses_.push_back(className);
}

Handle Win32Platform::createWindow(const platform::WindowSpec& design) {
    registerClass(design.className);
    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT place{0, 0, screen.cx, screen.cy};
    switch (design.style) {
        case platform::WindowStyle::FullScreenTopmost:
            style |= WS_POPUP;
            exStyle |= WS_EX_TOPMOST;
            break;
        case platform::WindowStyle::FixedDialog:
            style |= WS_CAPTION | WS_BORDER;
            place = OuterRect({design.clientSize.width, design.clientSize.height}, style, exStyle);
            break;
        case platform::WindowStyle::FixedDialogWithClose:
            style |= WS_CAPTION | WS_SYSMENU;
            place = OuterRect({design.clientSize.width, design.clientSize.height}, style, exStyle);
            break;
    }
    if (design.style != platform::WindowStyle::FullScreenTopmost && design.outerSize.width > 0 &&
        design.outerSize.height > 0) {
        place = RECT{0, 0, design.outerSize.width, design.outerSize.height};
    }
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    int x = place.left;
    int y = place.top;
    if (design.style != platform::WindowStyle::FullScreenTopmost) {
        x = design.centered ? (screen.cx - width) / 2 : CW_USEDEFAULT;
        y = design.centered ? (screen.cy - height) / 2 : CW_USEDEFAULT;
    }

    auto data = std::make_unique<WindowData>();
    data->platform = this;
    data->design = design;
    data->color = ToColorRef(design.background);
    data->brush.reset(CreateSolidBrush(data->color));
    const HWND window =
        CreateWindowExA(exStyle, design.className.c_str(), design.caption.c_str(), style, x, y,
                        width, height, ToHwnd(design.owner), nullptr, instance_, data.get());
    if (window == nullptr) {
        throw std::runtime_error("Unable to create window " + design.caption);
    }
    if (design.style == platform::WindowStyle::FullScreenTopmost) {
        data->covers = CoverOtherMonitors(instance_);
    }
    windows_[window] = std::move(data);
    creationOrder_.push_back(window);
    return ToHandle(window);
}

void Win32Platform::destroyWindow(Handle handle) {
    const HWND window = ToHwnd(handle);
    auto found = windows_.find(window);
    if (found == windows_.end()) {
        return;
    }
    for (const auto& [id, callback] : found->second->timers) {
        KillTimer(window, static_cast<UINT_PTR>(id));
    }
    DestroyWindow(window);
    std::erase_if(controls_, [&](const auto& entry) { return entry.second->window == window; });
    windows_.erase(window);
    std::erase(creationOrder_, window);
    WakeMessageLoop();
}

void Win32Platform::showWindow(Handle handle, bool visible) {
    const WindowData& data = windowData(handle);  // only our own forms
    const HWND window = ToHwnd(handle);
    // The covers first, so that the form comes up above them where monitors overlap.
    ShowCovers(data.covers, visible);
    ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    if (visible) {
        SetForegroundWindow(window);
        UpdateWindow(window);
    } else {
        WakeMessageLoop();
    }
}

void Win32Platform::showModal(Handle handle) {
    const HWND window = ToHwnd(handle);
    WindowData& data = windowData(handle);
    const HWND owner = ToHwnd(data.design.owner);
    const bool reenableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (reenableOwner) {
        EnableWindow(owner, FALSE);
    }
    data.modal = true;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    MSG message;
    while (IsWindow(window) && IsWindowVisible(window)) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
            break;
        }
        if (got < 0) {
            break;
        }
        dispatch(message);
    }
    if (reenableOwner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    if (auto found = windows_.find(window); found != windows_.end()) {
        found->second->modal = false;
    }
}

bool Win32Platform::closeWindow(Handle handle) {
    const auto query = windowData(handle).design.onCloseQuery;
    bool canClose = true;
    if (query) {
        canClose = false;
        platform::invokeHandler(*this, [&] { canClose = query(); });
    }
    const HWND window = ToHwnd(handle);
    if (canClose && windows_.count(window) != 0) {
        ShowCovers(windows_.at(window)->covers, false);
        ShowWindow(window, SW_HIDE);
        WakeMessageLoop();
    }
    return canClose;
}

void Win32Platform::setWindowColor(Handle handle, platform::Color color) {
    WindowData& data = windowData(handle);
    data.color = ToColorRef(color);
    data.brush.reset(CreateSolidBrush(data.color));
    RedrawWindow(ToHwnd(handle), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

Win32Platform::WindowData& Win32Platform::windowData(Handle handle) const {
    auto found = windows_.find(ToHwnd(handle));
    if (found == windows_.end()) {
        throw std::invalid_argument("No window with handle " + std::to_string(handle));
    }
    return *found->second;
}

bool Win32Platform::isMainWindow(HWND window) const {
    return !creationOrder_.empty() && creationOrder_.front() == window &&
           !windows_.at(window)->modal;
}

// --- The form's window procedure -------------------------------------------------------------

LRESULT CALLBACK Win32Platform::FormProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (data == nullptr) {
        return DefWindowProcA(window, id, wParam, lParam);
    }
    if (id == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, id, wParam, lParam);
    }
    // No exception may unwind through the system's code that called us.
    Win32Platform& self = *data->platform;
    try {
        return self.handleFormMessage(window, *data, id, wParam, lParam);
    } catch (const std::exception& error) {
        self.endProcessWithReport(platform::errorReportText(error.what()));
    } catch (...) {
        self.endProcessWithReport(kUnknownError);
    }
}

LRESULT Win32Platform::handleFormMessage(HWND window, WindowData& data, UINT id, WPARAM wParam,
                                         LPARAM lParam) {
    switch (id) {
        case WM_ERASEBKGND:
            return onEraseBackground(window, data, reinterpret_cast<HDC>(wParam));
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                rememberFocus(window, data);
            } else if (HIWORD(wParam) == 0 && restoreFocus(window, data)) {
                return 0;  // not the default, which gives the focus to the form itself
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            return onControlColor(window, id, reinterpret_cast<HDC>(wParam),
                                  reinterpret_cast<HWND>(lParam));
        case WM_COMMAND:
            if (lParam != 0) {
                onCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
                return 0;
            }
            break;
        case WM_HSCROLL:
            if (lParam != 0) {
                onHorizontalScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
                return 0;
            }
            break;
        case WM_TIMER:
            onTimer(data, static_cast<int>(wParam));
            return 0;
        case WM_CLOSE:
            onClose(window);
            return 0;
        case WM_KEYDOWN:
            onKeyDown(data, wParam);
            return 0;
        case WM_SYSKEYDOWN:
            onKeyDown(data, wParam);
            break;  // the system still gets Alt+F4 and the menu keys
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            onMouseDown(data, id, lParam);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, id, wParam, lParam);
}

LRESULT Win32Platform::onEraseBackground(HWND window, const WindowData& data, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, data.brush.get());
    return 1;
}

// Labels, radio buttons, group boxes and the corners of push buttons take the colour behind
// them (their own, their group's or panel's, or the form's) and their font's colour; edits
// and lists keep the system's look unless they have a colour of their own.
LRESULT Win32Platform::onControlColor(HWND window, UINT id, HDC dc, HWND control) {
    const ControlData* target = findControl(control);
    const bool systemLook =
        target != nullptr && (target->design.kind == platform::ControlKind::Edit ||
                              target->design.kind == platform::ControlKind::ListBox);
    if (target == nullptr || (systemLook && !target->design.background)) {
        return DefWindowProcA(window, id, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    SetTextColor(dc, ToColorRef(target->design.font.color));
    SetBkColor(dc, backgroundColor(*target));
    if (!systemLook) {
        // Whatever is drawn here fills its background first; text goes on top of it.
        SetBkMode(dc, TRANSPARENT);
    }
    return reinterpret_cast<LRESULT>(backgroundBrush(*target));
}

void Win32Platform::onCommand(HWND controlWindow, WORD notification) {
    ControlData* control = findControl(controlWindow);
    if (control == nullptr) {
        return;
    }
    // Copies: a handler may destroy the control, and its callbacks with it.
    std::function<void()> handler;
    switch (control->design.kind) {
        case platform::ControlKind::Button:
            handler = notification == BN_CLICKED ? control->design.onClick : nullptr;
            break;
        case platform::ControlKind::RadioButton:
            if (notification == BN_CLICKED) {
                setChecked(ToHandle(controlWindow), true);
                handler = control->design.onClick;
            }
            break;
        case platform::ControlKind::ListBox:
            handler = notification == LBN_SELCHANGE ? control->design.onClick
                      : notification == LBN_DBLCLK  ? control->design.onDoubleClick
                                                    : nullptr;
            break;
        case platform::ControlKind::Label:
            handler = notification == STN_CLICKED  ? control->design.onClick
                      : notification == STN_DBLCLK ? control->design.onDoubleClick
                                                   : nullptr;
            break;
        default:
            break;
    }
    platform::invokeHandler(*this, handler);
}

void Win32Platform::onHorizontalScroll(HWND bar, WORD request) {
    ControlData* control = findControl(bar);
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

void Win32Platform::onTimer(WindowData& data, int timerId) {
    auto found = data.timers.find(timerId);
    if (found == data.timers.end()) {
        return;
    }
    // A copy: the callback may stop or restart its own timer.
    const auto callback = found->second;
    platform::invokeHandler(*this, callback);
}

// The close box asks like any other close; closing the program's first window ends the
// program, as the user expects of a main window, so no hidden process is left behind.
void Win32Platform::onClose(HWND window) {
    const bool main = isMainWindow(window);
    if (closeWindow(ToHandle(window)) && main) {
        quit();
    }
}

void Win32Platform::onKeyDown(const WindowData& data, WPARAM key) {
    if (!data.design.onKeyDown) {
        return;
    }
    const auto onKey = data.design.onKeyDown;
    platform::invokeHandler(*this, [&] { onKey(static_cast<int>(key)); });
}

void Win32Platform::onMouseDown(const WindowData& data, UINT id, LPARAM lParam) {
    if (!data.design.onMouseDown) {
        return;
    }
    const int button = id == WM_LBUTTONDOWN ? 0 : id == WM_RBUTTONDOWN ? 1 : 2;
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    const auto onMouse = data.design.onMouseDown;
    platform::invokeHandler(*this, [&] { onMouse(button, x, y); });
}

// --- Timers ------------------------------------------------------------------------------------

void Win32Platform::startTimer(Handle window, int timerId, int intervalMs,
                               std::function<void()> callback) {
    WindowData& data = windowData(window);
    data.timers[timerId] = std::move(callback);
    SetTimer(ToHwnd(window), static_cast<UINT_PTR>(timerId), static_cast<UINT>(intervalMs),
             nullptr);
}

void Win32Platform::stopTimer(Handle window, int timerId) {
    auto found = windows_.find(ToHwnd(window));
    if (found == windows_.end()) {
        return;  // the window and its timers are gone already
    }
    KillTimer(ToHwnd(window), static_cast<UINT_PTR>(timerId));
    found->second->timers.erase(timerId);
}

// --- Media -------------------------------------------------------------------------------------

std::unique_ptr<media::MediaEngine> Win32Platform::createMediaEngine() {
    return std::make_unique<ChoosingEngine>(instance_);
}

}  // namespace morvel::win32
