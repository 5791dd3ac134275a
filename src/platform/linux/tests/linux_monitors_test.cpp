// The monitors' order, and the monitors and the saver's window over all of them on the X
// display in DISPLAY (skipped without one): under Xvfb one monitor, on the lab's dummy X
// server two side by side.
// The seam and the test framework first: the X headers define names (None, Status) that
// their declarations use.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/linux/linux_platform.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace morvel::linux_backend {
namespace {

using platform::Rect;

class LinuxMonitorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdk_set_allowed_backends("x11");
        if (!gtk_init_check(nullptr, nullptr)) {
            GTEST_SKIP() << "no X display";
        }
        x_ = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    }

    // Where the server has the window, relative to the root: once it is where it is
    // expected, or as it is after two seconds.
    Rect placeOnServer(Handle window, const Rect& expected) const {
        const Window id =
            GDK_WINDOW_XID(gtk_widget_get_window(reinterpret_cast<GtkWidget*>(window)));
        Rect place;
        for (int tries = 0; tries < 40 && place != expected; ++tries) {
            while (gtk_events_pending()) {
                gtk_main_iteration();
            }
            XSync(x_, False);
            Window root = 0;
            Window child = 0;
            int x = 0;
            int y = 0;
            unsigned width = 0;
            unsigned height = 0;
            unsigned border = 0;
            unsigned depth = 0;
            XGetGeometry(x_, id, &root, &x, &y, &width, &height, &border, &depth);
            XTranslateCoordinates(x_, id, root, 0, 0, &x, &y, &child);
            place = {x, y, static_cast<int>(width), static_cast<int>(height)};
            if (place != expected) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        return place;
    }

    static Handle makeSaverWindow(LinuxPlatform& platform) {
        platform::WindowSpec design;
        design.className = "TForm1";
        design.style = platform::WindowStyle::FullScreenEveryMonitor;
        const Handle window = platform.createWindow(design);
        platform.showWindow(window, true);
        return window;
    }

    Display* x_ = nullptr;
};

// The saver's panels follow this order; the primary's alone is heard.
TEST(LinuxMonitorOrderTest, ThePrimaryComesFirstThenTheOthersByLeftEdgeThenTop) {
    const Rect primary{0, 0, 1920, 1080};
    const Rect right{1920, 0, 1280, 1024};
    const Rect leftUpper{-1024, -768, 1024, 768};
    const Rect leftLower{-1024, 0, 1024, 768};
    EXPECT_EQ(PrimaryThenLeftToRight(primary, {right, leftLower, leftUpper}),
              (std::vector<Rect>{primary, leftUpper, leftLower, right}));
    EXPECT_EQ(PrimaryThenLeftToRight(primary, {}), std::vector<Rect>{primary});
}

TEST_F(LinuxMonitorsTest, TheWindowOverEveryMonitorCoversTheWholeScreenFromItsCorner) {
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const std::vector<Rect> monitors = platform.monitors();
    ASSERT_EQ(static_cast<int>(monitors.size()),
              gdk_display_get_n_monitors(gdk_display_get_default()));
    const GdkRectangle primary = MonitorArea(PrimaryMonitor());
    EXPECT_EQ(monitors.front(), (Rect{primary.x, primary.y, primary.width, primary.height}));
    for (std::size_t i = 2; i < monitors.size(); ++i) {
        EXPECT_LE(monitors[i - 1].left, monitors[i].left) << "monitor " << i;
    }
    const Rect screen{0, 0, DisplayWidth(x_, DefaultScreen(x_)),
                      DisplayHeight(x_, DefaultScreen(x_))};
    EXPECT_EQ(platform::BoundingRect(monitors), screen);

    EXPECT_EQ(placeOnServer(makeSaverWindow(platform), screen), screen);
}

TEST_F(LinuxMonitorsTest, InALockersWindowThatWindowIsTheOneMonitorAndTheSaverFillsIt) {
    const Window locker = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 50, 40, 320, 200, 0, 0, 0);
    XMapWindow(x_, locker);
    XSync(x_, False);
    {
        LinuxPlatform platform(LockerWindowHost::Open(locker));
        EXPECT_EQ(platform.monitors(), (std::vector<Rect>{{0, 0, 320, 200}}));
        const Rect lockers{50, 40, 320, 200};
        EXPECT_EQ(placeOnServer(makeSaverWindow(platform), lockers), lockers);
    }
    XDestroyWindow(x_, locker);
}

}  // namespace
}  // namespace morvel::linux_backend
