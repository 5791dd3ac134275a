// The screens, the monitors and the cursor (platform/screen_service.h), and the black covers
// over the monitors beside the primary one.
#include "platform/win32/win32_screens.h"

#include <algorithm>

#include "platform/win32/win32_platform.h"

namespace morvel::win32 {

namespace {

constexpr const char* kCoverClass = "MorvelCover";

// Input on a cover goes the way of every message: the application-wide hook sees it as the
// thread takes it from the queue, and ends the saver. The cover itself only refuses to be
// activated, so the keyboard focus stays with the saver's window, and to be closed.
LRESULT CALLBACK CoverProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // the click itself is still delivered
        case WM_CLOSE:
            return 0;  // it goes with the saver's window, not before
        default:
            return DefWindowProcA(window, id, wParam, lParam);
    }
}

void RegisterCoverClass(HINSTANCE instance) {
    WNDCLASSEXA cover{};
    cover.cbSize = sizeof(cover);
    cover.lpfnWndProc = CoverProc;
    cover.hInstance = instance;
    // The saver's arrow: hidden by the same cursor count as over the saver's window.
    cover.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cover.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cover.lpszClassName = kCoverClass;
    RegisterClassExA(&cover);  // a second platform finds it registered already
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {
        reinterpret_cast<std::vector<Monitor>*>(found)->push_back(
            Monitor{info.rcMonitor, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

// The primary before any other; the others by their left edge, then by their top.
bool ComesBefore(const Monitor& a, const Monitor& b) {
    if (a.primary != b.primary) {
        return a.primary;
    }
    if (a.place.left != b.place.left) {
        return a.place.left < b.place.left;
    }
    return a.place.top < b.place.top;
}

}  // namespace

std::vector<Monitor> MonitorsInOrder() {
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    std::stable_sort(monitors.begin(), monitors.end(), ComesBefore);
    return monitors;
}

std::vector<OwnedWindow> CoverOtherMonitors(HINSTANCE instance) {
    std::vector<Monitor> others = MonitorsInOrder();
    std::erase_if(others, [](const Monitor& monitor) { return monitor.primary; });
    std::vector<OwnedWindow> covers;
    if (others.empty()) {
        return covers;
    }
    RegisterCoverClass(instance);
    for (const Monitor& monitor : others) {
        const RECT& place = monitor.place;
        // No caption and a class of its own: the single-instance check looks for the
        // saver's window by class and caption and must find that one only. A tool window,
        // so that it has no taskbar button.
        OwnedWindow cover(CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW,
                                          kCoverClass, "", WS_POPUP, place.left, place.top,
                                          place.right - place.left, place.bottom - place.top,
                                          nullptr, nullptr, instance, nullptr));
        if (cover) {
            covers.push_back(std::move(cover));
        }
    }
    return covers;
}

void ShowCovers(const std::vector<OwnedWindow>& covers, bool visible) {
    for (const OwnedWindow& cover : covers) {
        ShowWindow(cover.get(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
        if (visible) {
            UpdateWindow(cover.get());
        }
    }
}

platform::Size Win32Platform::screenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::vector<platform::Rect> Win32Platform::monitors() const {
    std::vector<platform::Rect> rects;
    for (const Monitor& monitor : MonitorsInOrder()) {
        const RECT& place = monitor.place;
        rects.push_back(platform::Rect{place.left, place.top, place.right - place.left,
                                       place.bottom - place.top});
    }
    if (rects.empty()) {
        // A system that lists no monitor still has the primary screen the saver runs on.
        const platform::Size primary = screenSize();
        rects.push_back(platform::Rect{0, 0, primary.width, primary.height});
    }
    return rects;
}

int Win32Platform::showCursor(bool show) {
    return ShowCursor(show ? TRUE : FALSE);
}

}  // namespace morvel::win32
