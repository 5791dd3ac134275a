// The monitors, and the saver's two full-screen windows over them. The end-to-end lab runs
// this on its one monitor and again on two side by side, where MORVEL_EXPECT_MONITORS names
// them ("left,top,width,height;..." in the order they must come).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/owned.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_platform.h"

namespace morvel::win32 {
namespace {

using platform::Handle;
using platform::Rect;

std::vector<Rect> ExpectedMonitors() {
    std::vector<Rect> expected;
    const char* listed = std::getenv("MORVEL_EXPECT_MONITORS");
    std::istringstream items(listed != nullptr ? listed : "");
    std::string item;
    while (std::getline(items, item, ';')) {
        Rect rect;
        if (std::sscanf(item.c_str(), "%d,%d,%d,%d", &rect.left, &rect.top, &rect.width,
                        &rect.height) == 4) {
            expected.push_back(rect);
        }
    }
    return expected;
}

Rect ScreenRect(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    return Rect{place.left, place.top, place.right - place.left, place.bottom - place.top};
}

// The black covers the backend shows over the monitors a saver's window leaves bare.
std::vector<Rect> VisibleCovers() {
    std::vector<Rect> covers;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            char name[32] = {};
            GetClassNameA(window, name, sizeof(name));
            if (std::string(name) == "MorvelCover" && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<Rect>*>(found)->push_back(ScreenRect(window));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&covers));
    return covers;
}

class Win32MonitorsTest : public ::testing::Test {
  protected:
    Win32MonitorsTest() : platform_(GetModuleHandleA(nullptr)) {}

    Handle saverWindow(platform::WindowStyle style) {
        platform::WindowSpec design;
        design.className = "TFormMonitors";
        design.caption = "Monitors test";
        design.style = style;
        const Handle window = platform_.createWindow(design);
        platform_.showWindow(window, true);
        return window;
    }

    Win32Platform platform_;
};

TEST_F(Win32MonitorsTest, MonitorsComePrimaryFirstAndOneWindowCoversThemAllWithoutCovers) {
    const std::vector<Rect> monitors = platform_.monitors();
    const std::vector<Rect> expected = ExpectedMonitors();
    if (!expected.empty()) {
        EXPECT_EQ(monitors, expected);
    }
    ASSERT_FALSE(monitors.empty());
    ASSERT_EQ(monitors.size(), static_cast<std::size_t>(GetSystemMetrics(SM_CMONITORS)));
    EXPECT_EQ(monitors.front(),
              (Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));

    // Over every monitor: the rectangle that holds them, its client (0, 0) at that
    // rectangle's top-left, and nothing of ours beside it.
    const Rect desktop = platform::BoundingRect(monitors);
    const Handle every = saverWindow(platform::WindowStyle::FullScreenEveryMonitor);
    EXPECT_EQ(ScreenRect(ToHwnd(every)), desktop);
    POINT origin{0, 0};
    ClientToScreen(ToHwnd(every), &origin);
    EXPECT_EQ(origin.x, desktop.left);
    EXPECT_EQ(origin.y, desktop.top);
    EXPECT_NE(GetWindowLongA(ToHwnd(every), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(VisibleCovers().empty());
    platform_.destroyWindow(every);

    // Over the primary alone, as the saver has always been: a cover on each of the others.
    const Handle primary = saverWindow(platform::WindowStyle::FullScreenTopmost);
    EXPECT_EQ(ScreenRect(ToHwnd(primary)), monitors.front());
    EXPECT_EQ(VisibleCovers(), std::vector<Rect>(monitors.begin() + 1, monitors.end()));
    platform_.destroyWindow(primary);
    EXPECT_TRUE(VisibleCovers().empty());
}

}  // namespace
}  // namespace morvel::win32

namespace morvel::win32 {
namespace {

// A window made while the thread is per-monitor aware is drawn at the monitor's DPI, and a
// box's, made unaware inside that time, at 96, scaled by the system. The lab runs this with
// LogPixels 144, where MORVEL_EXPECT_WINDOW_DPI names running windows by class and the DPI
// each must be drawn at ("TForm1=144;TForm2=96": the saver's window aware, the settings
// dialog not).
TEST(ThreadDpiTest, OnlyWindowsMadeWhileAwareAreDrawnInThePixelsOfTheirMonitor) {
    const auto window = [] {
        return OwnedWindow(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr,
                                           nullptr, GetModuleHandleW(nullptr), nullptr));
    };
    const ThreadDpi aware(ThreadDpi::Awareness::PerMonitor);
    if (!aware.taken()) {
        GTEST_SKIP() << "no per-monitor DPI on this system";
    }
    const OwnedWindow saver = window();
    UINT unawareDpi = 0;
    {
        const ThreadDpi unaware(ThreadDpi::Awareness::Unaware);
        unawareDpi = WindowDpi(window().get());
    }
    const WindowDc screen(nullptr);
    EXPECT_EQ(WindowDpi(saver.get()), static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY)));
    EXPECT_EQ(unawareDpi, 96u);

    const char* listed = std::getenv("MORVEL_EXPECT_WINDOW_DPI");
    std::istringstream items(listed != nullptr ? listed : "");
    std::string item;
    while (std::getline(items, item, ';')) {
        const std::size_t equals = item.find('=');
        ASSERT_NE(equals, std::string::npos) << item;
        const std::string className = item.substr(0, equals);
        const HWND running = FindWindowA(className.c_str(), nullptr);
        ASSERT_NE(running, nullptr) << "no window of class " << className;
        EXPECT_EQ(WindowDpi(running), static_cast<UINT>(std::stoul(item.substr(equals + 1))))
            << className;
    }
}

}  // namespace
}  // namespace morvel::win32
