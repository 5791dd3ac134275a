// Top-level windows (platform/window_service.h): the forms and their modal loop. And the
// window procedures: the form's, which hands each message to a handler of its own, and the
// panel's (the group box's is in win32_group_box.cpp).
#include "platform/win32/win32_platform.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/video_panel.h"
#include "platform/win32/win32_screens.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// A dialog-unit-free window placement: the outer rectangle for a client size and style.
RECT OuterRect(SIZE client, DWORD style, DWORD exStyle) {
    RECT rect{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

// The rectangle that holds every monitor, in desktop coordinates (a monitor left of or above
// the primary makes its left or top negative).
RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Wakes a nested loop blocked in GetMessage so that it looks at its exit condition again.
void WakeMessageLoop() {
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

}  // namespace

// --- Forms ---------------------------------------------------------------------------------

void Win32Platform::registerClass(const std::string& className) {
    if (std::find(registeredClasses_.begin(), registeredClasses_.end(), className) !=
        registeredClasses_.end()) {
        return;
    }
    const std::wstring name = Widen(className);
    WNDCLASSEXW form{};
    form.cbSize = sizeof(form);
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = FormProc;
    form.hInstance = instance_;
    form.hIcon = LoadIcon(instance_, MAKEINTRESOURCE(1));
    form.hCursor = LoadCursor(nullptr, IDC_ARROW);
    form.lpszClassName = name.c_str();
    // A class the process registered before (by an earlier platform) serves as well.
    if (RegisterClassExW(&form) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
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
        case platform::WindowStyle::FullScreenEveryMonitor:
            style |= WS_POPUP;
            exStyle |= WS_EX_TOPMOST;
            place = VirtualScreen();
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
    const bool fullScreen = design.style == platform::WindowStyle::FullScreenTopmost ||
                            design.style == platform::WindowStyle::FullScreenEveryMonitor;
    if (!fullScreen && design.outerSize.width > 0 && design.outerSize.height > 0) {
        place = RECT{0, 0, design.outerSize.width, design.outerSize.height};
    }
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    int x = place.left;
    int y = place.top;
    if (!fullScreen) {
        x = design.centered ? (screen.cx - width) / 2 : CW_USEDEFAULT;
        y = design.centered ? (screen.cy - height) / 2 : CW_USEDEFAULT;
    }

    auto data = std::make_unique<WindowData>();
    data->platform = this;
    data->design = design;
    data->color = ToColorRef(design.background);
    data->brush.reset(CreateSolidBrush(data->color));
    const HWND window = CreateWindowExW(exStyle, Widen(design.className).c_str(),
                                        Widen(design.caption).c_str(), style, x, y, width, height,
                                        ToHwnd(design.owner), nullptr, instance_, data.get());
    if (window == nullptr) {
        throw std::runtime_error("Unable to create window " + design.caption);
    }
    // A window over every monitor fills them all itself: it needs no covers.
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
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
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

namespace {

// What a window was created with (its create parameter), kept in its user data from its
// first message on; null for the messages before that one.
template <typename Data>
Data* AttachedData(HWND window, UINT id, LPARAM lParam) {
    if (id == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Data*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

LRESULT CALLBACK Win32Platform::FormProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    auto* data = AttachedData<WindowData>(window, id, lParam);
    if (data == nullptr) {
        return DefWindowProcW(window, id, wParam, lParam);
    }
    if (id == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return DefWindowProcW(window, id, wParam, lParam);
    }
    Win32Platform& self = *data->platform;
    return self.reportingExceptions(
        [&] { return self.handleFormMessage(window, *data, id, wParam, lParam); });
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
        case WM_POWERBROADCAST:
            onPowerBroadcast(wParam);
            return TRUE;
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
    return DefWindowProcW(window, id, wParam, lParam);
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
        return DefWindowProcW(window, id, reinterpret_cast<WPARAM>(dc),
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
        case platform::ControlKind::CheckBox:
            handler = notification == BN_CLICKED ? control->design.onClick : nullptr;
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

// --- The panel's window procedure ----------------------------------------------------------

LRESULT CALLBACK Win32Platform::PanelProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    auto* self = AttachedData<Win32Platform>(window, id, lParam);
    if (self == nullptr) {
        return DefWindowProcW(window, id, wParam, lParam);
    }
    return self->reportingExceptions(
        [&] { return self->handlePanelMessage(window, id, wParam, lParam); });
}

// The panel paints only its colour and caption; a video drawn into it paints itself, and
// what it drew stays until its next frame (see video_panel.h).
LRESULT Win32Platform::handlePanelMessage(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    const ControlData* panel = findControl(window);
    if (panel == nullptr) {
        return DefWindowProcW(window, id, wParam, lParam);
    }
    switch (id) {
        case WM_ERASEBKGND: {
            if (VideoDrawsInto(window)) {
                return 1;
            }
            RECT client;
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, backgroundBrush(*panel));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            if (VideoDrawsInto(window)) {
                RepaintVideo(window, dc);
            }
            if (!panel->design.caption.empty()) {
                RECT client;
                GetClientRect(window, &client);
                const HGDIOBJ previous = SelectObject(dc, font(panel->design.font));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, ToColorRef(panel->design.font.color));
                DrawTextW(dc, Widen(panel->design.caption).c_str(), -1, &client,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                SelectObject(dc, previous);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_WINDOWPOSCHANGED:
            // Shown or hidden: where the graphics card composes the panel, it draws that.
            if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags &
                 (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) != 0) {
                D3dPanels::Redraw(window);
            }
            return DefWindowProcW(window, id, wParam, lParam);
        case WM_LBUTTONUP:
            platform::invokeHandler(*this, std::function<void()>(panel->design.onClick));
            return 0;
        case WM_LBUTTONDBLCLK:
            platform::invokeHandler(*this, std::function<void()>(panel->design.onDoubleClick));
            return 0;
        default:
            return DefWindowProcW(window, id, wParam, lParam);
    }
}

}  // namespace morvel::win32
