// The controls and folders the saver's options lean on: the volume slider (a trackbar), the
// number edit and the state folder. Runs under Wine with a display.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/win32/win32_text.h"
#include "win32_platform_fixture.h"

namespace morvel::win32 {
namespace {

class Win32OptionsTest : public Win32PlatformTest {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);  // as the program does at its start
    }

    static void press(Handle control, WPARAM key) {
        SendMessageW(ToHwnd(control), WM_KEYDOWN, key, 1);
        SendMessageW(ToHwnd(control), WM_KEYUP, key, 1 | (3u << 30));
    }
    static void type(Handle control, const std::string& text) {
        for (wchar_t c : Widen(text)) {
            SendMessageW(ToHwnd(control), WM_CHAR, c, 1);
        }
    }
};

// A trackbar, whose keys take the design's steps and run its handler once a move (not at
// the end of it), while the program's own moves run none.
TEST_F(Win32OptionsTest, ASliderStepsByTheDesignsChangesAndOnlyTheUserRunsItsHandler) {
    const Handle window = form();
    int scrolls = 0;
    ControlSpec design;
    design.kind = ControlKind::Slider;
    design.bounds = {12, 16, 240, 24};
    design.smallChange = 1;
    design.largeChange = 10;
    design.onScroll = [&] { ++scrolls; };
    const Handle slider = platform_.createControl(window, design);
    platform_.setScrollRange(slider, 0, 100);
    platform_.setScrollPosition(slider, 100);
    wchar_t className[64] = {};
    GetClassNameW(ToHwnd(slider), className, 64);
    EXPECT_EQ(std::wstring(className), TRACKBAR_CLASSW);
    EXPECT_EQ(platform_.scrollPosition(slider), 100);
    platform_.setScrollPosition(slider, 140);
    EXPECT_EQ(platform_.scrollPosition(slider), 100);
    EXPECT_EQ(scrolls, 0);

    const std::pair<WPARAM, int> moves[] = {{VK_LEFT, 99}, {VK_PRIOR, 89}, {VK_END, 100}};
    for (const auto& [key, expected] : moves) {
        press(slider, key);
        EXPECT_EQ(platform_.scrollPosition(slider), expected) << key;
    }
    EXPECT_EQ(scrolls, 3);
    platform_.destroyWindow(window);
}

// Typing into edits: one that only shows text takes none, a number edit takes digits only,
// and an editable one takes anything.
TEST_F(Win32OptionsTest, ANumberEditTakesDigitsOnlyAndAShowingEditTakesNothing) {
    const Handle window = form();
    const auto edit = [&](bool editable, bool digitsOnly) {
        ControlSpec design;
        design.kind = ControlKind::Edit;
        design.bounds = {12, 60, 80, 19};
        design.editable = editable;
        design.digitsOnly = digitsOnly;
        return platform_.createControl(window, design);
    };
    const Handle minutes = edit(true, true);
    type(minutes, "15x-0");
    EXPECT_EQ(platform_.caption(minutes), "150");
    const Handle free = edit(true, false);
    type(free, "C:\\Sounds");
    EXPECT_EQ(platform_.caption(free), "C:\\Sounds");
    const Handle shown = edit(false, false);
    type(shown, "abc");
    EXPECT_EQ(platform_.caption(shown), "");
    platform_.destroyWindow(window);
}

// The saver's own folder in the user's Local AppData, there once asked for.
TEST_F(Win32OptionsTest, TheStateFolderIsMadeInLocalAppData) {
    const std::string appData = platform_.localAppDataDirectory();
    ASSERT_FALSE(appData.empty());
    const std::string folder = platform_.stateDirectory();
    EXPECT_EQ(folder, appData + "\\Morvel Screensaver");
    const DWORD attributes = GetFileAttributesW(Widen(folder).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(platform_.stateDirectory(), folder);  // a second time: the same, no failure
}

}  // namespace
}  // namespace morvel::win32
