// The Win32 backend against the semantics the forms rely on (the headless simulator's).
// Runs under Wine with a display: scripts/e2e-windows starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "common/utf8.h"
#include "platform/win32/owned.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "win32_platform_fixture.h"

namespace morvel::win32 {
namespace {

TEST_F(Win32PlatformTest, ControlsInGroupsKeepTheirOwnBoundsAndAreOffsetOnScreen) {
    const Handle window = form();
    const Handle group = control(window, ControlKind::GroupBox, {10, 20, 200, 150});
    const Handle inner = control(window, ControlKind::Button, {5, 15, 80, 25}, group);
    EXPECT_EQ(platform_.bounds(inner), (Rect{5, 15, 80, 25}));
    EXPECT_EQ(placed(inner), (Rect{15, 35, 80, 25}));

    platform_.setBounds(group, {30, 40, 200, 150});  // moving the group moves what it holds
    EXPECT_EQ(placed(inner), (Rect{35, 55, 80, 25}));
    EXPECT_EQ(platform_.bounds(inner), (Rect{5, 15, 80, 25}));
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, HidingAGroupHidesWhatItHoldsWithoutChangingTheirOwnFlags) {
    const Handle window = form();
    const Handle group = control(window, ControlKind::GroupBox, {10, 10, 200, 150});
    const Handle shown = control(window, ControlKind::Button, {5, 15, 80, 25}, group);
    const Handle hidden = control(window, ControlKind::Button, {5, 50, 80, 25}, group);
    platform_.setVisible(hidden, false);
    platform_.setVisible(group, false);
    EXPECT_FALSE(IsWindowVisible(ToHwnd(shown)));
    EXPECT_TRUE(platform_.isVisible(shown));
    platform_.setVisible(group, true);
    EXPECT_NE(GetWindowLongA(ToHwnd(shown), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongA(ToHwnd(hidden), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_FALSE(platform_.isVisible(hidden));
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, CheckingARadioButtonUnchecksOnlyThoseOfTheSameParent) {
    const Handle window = form();
    const Handle groupA = control(window, ControlKind::GroupBox, {0, 0, 150, 100});
    const Handle groupB = control(window, ControlKind::GroupBox, {200, 0, 150, 100});
    const Handle a1 = control(window, ControlKind::RadioButton, {5, 15, 100, 20}, groupA);
    const Handle a2 = control(window, ControlKind::RadioButton, {5, 40, 100, 20}, groupA);
    const Handle b1 = control(window, ControlKind::RadioButton, {5, 15, 100, 20}, groupB);
    platform_.setChecked(a1, true);
    platform_.setChecked(b1, true);
    platform_.setChecked(a2, true);
    EXPECT_FALSE(platform_.isChecked(a1));
    EXPECT_TRUE(platform_.isChecked(a2));
    EXPECT_TRUE(platform_.isChecked(b1));
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, ListBoxItemsAndSelection) {
    const Handle window = form();
    const Handle list = control(window, ControlKind::ListBox, {0, 0, 200, 100});
    platform_.addItem(list, "C:\\one.avi");
    platform_.addItem(list, "C:\\two.avi");
    platform_.addItem(list, "C:\\three.avi");
    EXPECT_EQ(platform_.selectedIndex(list), -1);
    platform_.setSelectedIndex(list, 2);
    EXPECT_EQ(platform_.selectedIndex(list), 2);
    platform_.deleteItem(list, 0);
    platform_.deleteItem(list, 7);  // out of range: nothing happens
    ASSERT_EQ(platform_.itemCount(list), 2);
    EXPECT_EQ(platform_.itemText(list, 0), "C:\\two.avi");
    EXPECT_THROW(platform_.itemText(list, 2), std::out_of_range);
    EXPECT_THROW(platform_.itemText(list, -1), std::out_of_range);
    platform_.setSelectedIndex(list, 9);
    EXPECT_EQ(platform_.selectedIndex(list), -1);
    platform_.setSelectedIndex(list, 1);
    platform_.setSelectedIndex(list, -2);  // out of range: nothing stays selected
    EXPECT_EQ(platform_.selectedIndex(list), -1);
    platform_.deleteItem(list, -1);
    EXPECT_EQ(platform_.itemCount(list), 2);
    platform_.clearItems(list);
    EXPECT_EQ(platform_.itemCount(list), 0);

    // A handle that is no control (the form's own), and one whose window is gone.
    EXPECT_THROW(platform_.addItem(window, "x"), std::invalid_argument);
    EXPECT_THROW(platform_.itemText(window, 0), std::invalid_argument);
    platform_.destroyWindow(window);
    EXPECT_THROW(platform_.itemCount(list), std::invalid_argument);
    EXPECT_THROW(platform_.deleteItem(list, 0), std::invalid_argument);
    EXPECT_THROW(platform_.setSelectedIndex(list, 0), std::invalid_argument);
}

TEST_F(Win32PlatformTest, ScrollPositionStaysInItsRange) {
    const Handle window = form();
    const Handle bar = control(window, ControlKind::ScrollBar, {0, 0, 200, 17});
    platform_.setScrollRange(bar, 1, 10);
    platform_.setScrollPosition(bar, 25);
    EXPECT_EQ(platform_.scrollPosition(bar), 10);
    platform_.setScrollPosition(bar, -3);
    EXPECT_EQ(platform_.scrollPosition(bar), 1);
    platform_.setScrollRange(bar, 5, 8);  // a position left outside is brought back in
    EXPECT_EQ(platform_.scrollPosition(bar), 5);
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, LabelWithoutSizeTakesTheSizeOfItsCaption) {
    const Handle window = form();
    ControlSpec design;
    design.kind = ControlKind::Label;
    design.bounds = {10, 10, 0, 0};
    design.caption = "Short";
    const Handle label = platform_.createControl(window, design);
    const Rect shortText = platform_.bounds(label);
    EXPECT_GT(shortText.width, 0);
    EXPECT_GT(shortText.height, 0);
    platform_.setCaption(label, "A much longer caption & more");
    EXPECT_GT(platform_.bounds(label).width, shortText.width);
    EXPECT_EQ(platform_.caption(label), "A much longer caption & more");
    platform_.destroyWindow(window);
}

// --- Colours ---------------------------------------------------------------------------------

COLORREF BrushColor(LRESULT brush) {
    LOGBRUSH logical{};
    EXPECT_EQ(GetObjectA(reinterpret_cast<HGDIOBJ>(brush), sizeof(logical), &logical),
              static_cast<int>(sizeof(logical)));
    return logical.lbColor;
}

struct ControlColors {
    COLORREF brush;
    COLORREF text;
    COLORREF back;
};

// What the form answers a control that asks how to paint itself.
ControlColors AskForColors(Handle window, Handle control, UINT message) {
    const WindowDc dc(ToHwnd(window));
    const LRESULT brush = SendMessageA(ToHwnd(window), message, reinterpret_cast<WPARAM>(dc.get()),
                                       reinterpret_cast<LPARAM>(ToHwnd(control)));
    return {BrushColor(brush), GetTextColor(dc.get()), GetBkColor(dc.get())};
}

TEST_F(Win32PlatformTest, ControlsTakeTheColourOfWhatTheySitInAndTheirFontsColour) {
    platform::WindowSpec design;
    design.className = "TFormColours";
    design.clientSize = {400, 300};
    design.background = platform::Color::rgb(232, 231, 230);
    const Handle window = platform_.createWindow(design);
    const COLORREF grey = RGB(232, 231, 230);
    const COLORREF blue = RGB(194, 197, 207);

    const Handle group = control(window, ControlKind::GroupBox, {10, 10, 200, 150});
    ControlSpec radio;
    radio.kind = ControlKind::RadioButton;
    radio.parent = group;
    radio.bounds = {5, 15, 100, 20};
    radio.font.color = platform::Color::rgb(0, 0, 128);
    const Handle option = platform_.createControl(window, radio);
    ControlSpec panelSpec;
    panelSpec.kind = ControlKind::Panel;
    panelSpec.bounds = {220, 10, 150, 100};
    panelSpec.background = platform::Color::rgb(194, 197, 207);
    const Handle panel = platform_.createControl(window, panelSpec);
    const Handle label = control(window, ControlKind::Label, {5, 5, 100, 20}, panel);

    for (UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLORBTN}) {
        const ControlColors ofGroup = AskForColors(window, group, message);
        EXPECT_EQ(ofGroup.brush, grey);
        EXPECT_EQ(ofGroup.back, grey);
        const ControlColors ofOption = AskForColors(window, option, message);
        EXPECT_EQ(ofOption.brush, grey);
        EXPECT_EQ(ofOption.text, RGB(0, 0, 128));
    }
    const ControlColors ofLabel = AskForColors(window, label, WM_CTLCOLORSTATIC);
    EXPECT_EQ(ofLabel.brush, blue);
    EXPECT_EQ(ofLabel.back, blue);
    EXPECT_EQ(ofLabel.text, GetSysColor(COLOR_WINDOWTEXT));

    platform_.setWindowColor(window, platform::Color::rgb(0, 128, 0));
    EXPECT_EQ(AskForColors(window, option, WM_CTLCOLORSTATIC).brush, RGB(0, 128, 0));
    EXPECT_EQ(AskForColors(window, label, WM_CTLCOLORSTATIC).brush, blue);
    platform_.destroyWindow(window);
}

// The inside of a group shows the form's colour, and the group leaves what it holds alone.
TEST_F(Win32PlatformTest, AGroupBoxFillsItsInsideWithTheColourBehindIt) {
    platform::WindowSpec design;
    design.className = "TFormGroupFill";
    design.clientSize = {300, 200};
    design.background = platform::Color::rgb(232, 231, 230);
    const Handle window = platform_.createWindow(design);
    const Handle group = control(window, ControlKind::GroupBox, {10, 10, 250, 150});
    ControlSpec inner;
    inner.kind = ControlKind::Panel;
    inner.parent = group;
    inner.bounds = {100, 60, 40, 30};
    inner.background = platform::Color::rgb(200, 0, 0);
    platform_.createControl(window, inner);

    platform_.showWindow(window, true);
    UpdateWindow(ToHwnd(window));
    const WindowDc formDc(ToHwnd(window));
    EXPECT_EQ(GetPixel(formDc.get(), 60, 110), RGB(232, 231, 230));  // inside the group
    EXPECT_EQ(GetPixel(formDc.get(), 125, 85), RGB(200, 0, 0));      // the panel it holds
    platform_.destroyWindow(window);
}

// --- Keyboard focus --------------------------------------------------------------------------

class FocusTest : public Win32PlatformTest {
  protected:
    Handle add(Handle window, ControlKind kind, int tabOrder, Handle parent = 0) {
        ControlSpec design;
        design.kind = kind;
        design.parent = parent;
        design.bounds = {5, 5 + 25 * created_++, 80, 20};
        design.caption = "x";
        design.tabOrder = tabOrder;
        design.onClick = [this] { ++clicks_; };
        return platform_.createControl(window, design);
    }

    void press(Handle control, WPARAM key) {
        PostMessageA(ToHwnd(control), WM_KEYDOWN, key, 0);
        platform_.processMessages();
    }

    int created_ = 0;
    int clicks_ = 0;
};

TEST_F(FocusTest, TabFollowsThePlacesGivenThenCreationOrderAndEntersGroupsWhereTheyStand) {
    const Handle window = form("TFormTabOrder");
    const Handle last = add(window, ControlKind::Button, -1);
    const Handle second = add(window, ControlKind::Button, 2);
    const Handle group = add(window, ControlKind::GroupBox, 1);
    const Handle inGroupB = add(window, ControlKind::Button, -1, group);
    const Handle inGroupA = add(window, ControlKind::Button, 0, group);
    const Handle first = add(window, ControlKind::ListBox, 0);
    add(window, ControlKind::Label, -1);  // never a stop
    const Handle hidden = add(window, ControlKind::Button, 3);
    const Handle disabled = add(window, ControlKind::Button, 4);
    platform_.setVisible(hidden, false);
    platform_.setEnabled(disabled, false);
    EXPECT_EQ(platform_.tabStops(window),
              (std::vector<Handle>{first, inGroupA, inGroupB, second, last}));

    platform_.setEnabled(group, false);  // a disabled group takes what it holds with it
    EXPECT_EQ(platform_.tabStops(window), (std::vector<Handle>{first, second, last}));
    platform_.destroyWindow(window);
}

TEST_F(FocusTest, ASetOfRadioButtonsIsOneStopAndTheArrowsMoveAndCheckWithinIt) {
    const Handle window = form("TFormRadioStops");
    const Handle before = add(window, ControlKind::Button, 0);
    const Handle group = add(window, ControlKind::GroupBox, 1);
    const Handle one = add(window, ControlKind::RadioButton, -1, group);
    const Handle two = add(window, ControlKind::RadioButton, -1, group);
    const Handle three = add(window, ControlKind::RadioButton, -1, group);
    const Handle after = add(window, ControlKind::Button, 2);
    EXPECT_EQ(platform_.tabStops(window), (std::vector<Handle>{before, one, after}));
    platform_.setChecked(two, true);
    EXPECT_EQ(platform_.tabStops(window), (std::vector<Handle>{before, two, after}));

    platform_.showWindow(window, true);
    platform_.setFocus(two);
    ASSERT_EQ(GetFocus(), ToHwnd(two));
    press(two, VK_DOWN);
    EXPECT_EQ(GetFocus(), ToHwnd(three));
    EXPECT_TRUE(platform_.isChecked(three));
    EXPECT_FALSE(platform_.isChecked(two));
    EXPECT_EQ(clicks_, 1);
    press(three, VK_RIGHT);  // round to the first
    EXPECT_EQ(GetFocus(), ToHwnd(one));
    press(one, VK_UP);
    EXPECT_EQ(GetFocus(), ToHwnd(three));
    press(three, VK_TAB);  // leaves the set
    EXPECT_EQ(GetFocus(), ToHwnd(after));
    press(after, VK_TAB);  // round the form
    EXPECT_EQ(GetFocus(), ToHwnd(before));
    platform_.destroyWindow(window);
}

TEST_F(FocusTest, TheFormGivesTheFocusBackToItsControlWhenItIsActivatedAgain) {
    const Handle window = form("TFormFocusBack");
    const Handle first = add(window, ControlKind::Button, 0);
    const Handle chosen = add(window, ControlKind::ListBox, 1);
    platform_.setFocus(chosen);  // before it is shown: kept for when it is
    platform_.showWindow(window, true);
    EXPECT_EQ(GetFocus(), ToHwnd(chosen));

    const Handle other = form("TFormOther");
    add(other, ControlKind::Button, 0);
    platform_.showWindow(other, true);
    EXPECT_NE(GetFocus(), ToHwnd(chosen));
    SetActiveWindow(ToHwnd(window));
    EXPECT_EQ(GetFocus(), ToHwnd(chosen));

    platform_.setVisible(chosen, false);  // gone: the first stop has it
    SetActiveWindow(ToHwnd(other));
    SetActiveWindow(ToHwnd(window));
    EXPECT_EQ(GetFocus(), ToHwnd(first));
    platform_.destroyWindow(other);
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, TheHandlerSeesRemovedMessagesAndCanSwallowThem) {
    platform::WindowSpec design;
    design.className = "TFormKeys";
    design.clientSize = {100, 100};
    std::vector<int> keysReachingTheForm;
    design.onKeyDown = [&](int key) { keysReachingTheForm.push_back(key); };
    const Handle window = platform_.createWindow(design);
    std::vector<std::uint32_t> seen;
    platform_.setMessageHandler([&](const platform::Message& message, bool& handled) {
        if (message.window == window && message.id == WM_KEYDOWN) {
            seen.push_back(message.id);
            handled = message.wParam == 'S';
        }
    });
    PostMessageA(ToHwnd(window), WM_KEYDOWN, 'S', 0);
    PostMessageA(ToHwnd(window), WM_KEYDOWN, 'K', 0);
    platform_.processMessages();
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{WM_KEYDOWN, WM_KEYDOWN}));
    EXPECT_EQ(keysReachingTheForm, (std::vector<int>{'K'}));
    platform_.setMessageHandler(nullptr);
    platform_.destroyWindow(window);
}

TEST_F(Win32PlatformTest, ModalLoopFeedsTheHandlerAndEndsWhenTheWindowCloses) {
    const Handle owner = form("TFormOwner");
    platform::WindowSpec design;
    design.className = "TFormModal";
    design.clientSize = {100, 100};
    design.owner = owner;
    bool allowClose = false;
    design.onCloseQuery = [&] { return allowClose; };
    const Handle modal = platform_.createWindow(design);
    int keysSeen = 0;
    platform_.setMessageHandler([&](const platform::Message& message, bool&) {
        keysSeen += message.id == WM_KEYDOWN ? 1 : 0;
    });
    int ticks = 0;
    platform_.startTimer(modal, 7, 10, [&] {
        ++ticks;
        if (ticks == 1) {
            PostMessageA(ToHwnd(owner), WM_KEYDOWN, 'A', 0);
            EXPECT_FALSE(platform_.closeWindow(modal));  // the close query refuses
            allowClose = true;
        } else if (ticks == 2) {
            EXPECT_TRUE(platform_.closeWindow(modal));
        }
    });
    platform_.showModal(modal);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(keysSeen, 1);
    EXPECT_TRUE(IsWindowEnabled(ToHwnd(owner)));
    platform_.stopTimer(modal, 7);
    platform_.setMessageHandler(nullptr);
    platform_.destroyWindow(modal);
    platform_.destroyWindow(owner);
}

TEST_F(Win32PlatformTest, RegistryIntegersAreOnlyFourByteDwords) {
    constexpr const char* kPath = "Software\\MorvelBackendTest";
    HKEY raw = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr),
        ERROR_SUCCESS);
    {
        const OwnedKey key(raw);
        const DWORD one = 1;
        RegSetValueExA(key.get(), "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                       sizeof(one));
        RegSetValueExA(key.get(), "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    }
    auto key = platform_.openCurrentUserKey(kPath);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->readInteger("Number"), 1u);
    EXPECT_TRUE(key->hasValue("Text"));
    EXPECT_EQ(key->readInteger("Text"), std::nullopt);
    EXPECT_FALSE(key->hasValue("Missing"));
    EXPECT_EQ(platform_.openCurrentUserKey("Software\\MorvelNoSuchKey"), nullptr);
    key.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
}

TEST_F(Win32PlatformTest, FilesAndFolders) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "morvel-files";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "sub");
    std::ofstream(folder / "clip.avi") << "x";
    EXPECT_TRUE(platform_.fileExists((folder / "clip.avi").string()));
    EXPECT_FALSE(platform_.fileExists((folder / "sub").string()));
    EXPECT_FALSE(platform_.fileExists((folder / "none.avi").string()));
    EXPECT_EQ(platform_.filesInFolder(folder.string()), std::vector<std::string>{"clip.avi"});
    EXPECT_TRUE(platform_.filesInFolder((folder / "none").string()).empty());
    std::filesystem::remove_all(folder);

    EXPECT_FALSE(platform_.windowsDirectory().empty());
    EXPECT_FALSE(platform_.systemDirectory().empty());
    EXPECT_EQ(platform_.platformId(), 2);
}

// Text crosses the seam in UTF-8 whatever the ANSI code page can hold: names in any script
// are found on disk, listed, shown in a list, a label and a title, and read back unchanged.
// Text that is no well-formed UTF-16 or UTF-8 comes back empty rather than as a stand-in
// that would name another file.
TEST_F(Win32PlatformTest, NamesInAnyScriptCrossTheSeamUnchanged) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / utf8::toPath("morvel-имена");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::vector<std::string> names{"видео.avi", "视频.avi"};
    for (const std::string& name : names) {
        std::ofstream(folder / utf8::toPath(name)) << "x";
    }
    const std::string path = utf8::fromPath(folder / utf8::toPath(names[1]));
    EXPECT_TRUE(platform_.fileExists(path));
    std::vector<std::string> listed = platform_.filesInFolder(utf8::fromPath(folder));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, names);
    std::filesystem::remove_all(folder);

    platform::WindowSpec design;
    design.className = "TFormТест";
    design.caption = "Видео 视频";
    const Handle window = platform_.createWindow(design);
    EXPECT_TRUE(platform_.findWindow("TFormТест", "Видео 视频"));
    const Handle list = control(window, ControlKind::ListBox, {0, 0, 200, 100});
    platform_.addItem(list, path);
    EXPECT_EQ(platform_.itemText(list, 0), path);
    const Handle label = control(window, ControlKind::Label, {0, 120, 200, 20});
    platform_.setCaption(label, "Video: 视频.avi");
    EXPECT_EQ(platform_.caption(label), "Video: 视频.avi");
    wchar_t shown[64] = {};
    GetWindowTextW(ToHwnd(label), shown, 64);
    EXPECT_STREQ(shown, L"Video: \u89C6\u9891.avi");
    platform_.destroyWindow(window);

    if (GetACP() == 1252) {  // Wine's and a Western Windows's code page
        EXPECT_EQ(platform_.codePageToUtf8("caf\xE9 \x80"), "café €");
    }
    const wchar_t loneSurrogate[] = {L'a', wchar_t(0xD800), L'b', 0};
    EXPECT_EQ(Narrow(loneSurrogate), "");
    EXPECT_EQ(Widen("caf\xE9"), L"");
}

}  // namespace
}  // namespace morvel::win32
