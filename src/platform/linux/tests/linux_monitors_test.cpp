// The monitors' order, and the monitors and the saver's window over all of them on the X
// display in DISPLAY (skipped without one): under Xvfb one monitor, on the lab's dummy X
// server two side by side.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/linux/linux_platform.h"

#include <gdk/gdkx.h>

namespace morvel::linux_backend {
namespace {

using platform::Rect;

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

class LinuxMonitorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdk_set_allowed_backends("x11");
        if (!gtk_init_check(nullptr, nullptr)) {
            GTEST_SKIP() << "no X display";
        }
    }

    // Where the X server has the window, relative to the root: once it is where it is
    // expected, or as it is after two seconds.
    static Rect placeOnServer(GdkWindow* window, const Rect& expected) {
        Rect place;
        for (int tries = 0; tries < 40 && place != expected; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(tries == 0 ? 0 : 50));
            while (gtk_events_pending()) {
                gtk_main_iteration();
            }
            gdk_window_get_origin(window, &place.left, &place.top);
            gdk_window_get_geometry(window, nullptr, nullptr, &place.width, &place.height);
        }
        return place;
    }

    static GdkWindow* showSaverWindow(LinuxPlatform& platform) {
        platform::WindowSpec design;
        design.className = "TForm1";
        design.style = platform::WindowStyle::FullScreenEveryMonitor;
        const Handle window = platform.createWindow(design);
        platform.showWindow(window, true);
        return gtk_widget_get_window(reinterpret_cast<GtkWidget*>(window));
    }
};

TEST_F(LinuxMonitorsTest, TheWindowOverEveryMonitorCoversTheWholeScreenFromItsCorner) {
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const std::vector<Rect> monitors = platform.monitors();
    ASSERT_EQ(static_cast<int>(monitors.size()),
              gdk_display_get_n_monitors(gdk_display_get_default()));
    const GdkRectangle primary = MonitorArea(PrimaryMonitor());
    EXPECT_EQ(monitors.front(), (Rect{primary.x, primary.y, primary.width, primary.height}));
    Rect screen;
    gdk_window_get_geometry(gdk_get_default_root_window(), nullptr, nullptr, &screen.width,
                            &screen.height);
    EXPECT_EQ(platform::BoundingRect(monitors), screen);

    EXPECT_EQ(placeOnServer(showSaverWindow(platform), screen), screen);
}

TEST_F(LinuxMonitorsTest, InALockersWindowThatWindowIsTheOneMonitorAndTheSaverFillsIt) {
    GdkWindowAttr attributes{};
    attributes.x = 50;
    attributes.y = 40;
    attributes.width = 320;
    attributes.height = 200;
    attributes.wclass = GDK_INPUT_OUTPUT;
    attributes.window_type = GDK_WINDOW_TEMP;
    GdkWindow* locker = gdk_window_new(nullptr, &attributes, GDK_WA_X | GDK_WA_Y | GDK_WA_NOREDIR);
    gdk_window_show(locker);
    {
        LinuxPlatform platform(LockerWindowHost::Open(gdk_x11_window_get_xid(locker)));
        EXPECT_EQ(platform.monitors(), (std::vector<Rect>{{0, 0, 320, 200}}));
        const Rect lockers{50, 40, 320, 200};
        EXPECT_EQ(placeOnServer(showSaverWindow(platform), lockers), lockers);
    }
    gdk_window_destroy(locker);
}

}  // namespace
}  // namespace morvel::linux_backend
