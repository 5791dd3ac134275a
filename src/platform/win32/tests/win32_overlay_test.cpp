// The overlay control: shaped to its text, above the panels, taking no clicks. Runs under
// Wine with a display, as the backend's other tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/owned.h"
#include "win32_platform_fixture.h"

namespace morvel::win32 {
namespace {

// The overlay lies over a panel as its letters only, above a panel made after it, and a
// click on its letters goes to what lies below.
TEST_F(Win32PlatformTest, AnOverlayIsShapedToItsTextAndTakesNoClicks) {
    const Handle window = form();
    ControlSpec design;
    design.kind = ControlKind::Overlay;
    design.bounds = {0, 0, 400, 100};
    design.font = platform::Font{"Arial", 40, 0, true, platform::Color::rgb(255, 255, 255)};
    design.caption = "12:34";
    const Handle overlay = platform_.createControl(window, design);
    const Handle panel = control(window, ControlKind::Panel, {0, 0, 400, 300});
    platform_.setVisible(overlay, true);
    platform_.showWindow(window, true);

    const HWND shape = ToHwnd(overlay);
    // The window's region, in its own coordinates.
    const auto regionBox = [shape](RECT& box) {
        const OwnedRegion region(CreateRectRgn(0, 0, 0, 0));
        const int kind = GetWindowRgn(shape, region.get());
        GetRgnBox(region.get(), &box);
        return kind;
    };
    EXPECT_EQ(GetWindow(ToHwnd(panel), GW_HWNDPREV), shape);  // above the later panel
    RECT box{};
    ASSERT_EQ(regionBox(box), COMPLEXREGION);
    // Right-aligned at the bottom: the letters end near the right edge, far from the left.
    EXPECT_GT(box.left, 200);
    EXPECT_GT(box.right, 380);
    EXPECT_GT(box.bottom, 80);
    platform_.setCaption(overlay, "12:34\nA much longer second line");
    RECT twoLines{};
    regionBox(twoLines);
    EXPECT_LT(twoLines.left, box.left);
    EXPECT_LT(twoLines.top, box.top);
    EXPECT_EQ(SendMessageW(shape, WM_NCHITTEST, 0, MAKELPARAM(box.right - 5, box.bottom - 5)),
              HTTRANSPARENT);
    platform_.destroyWindow(window);
}

}  // namespace
}  // namespace morvel::win32
