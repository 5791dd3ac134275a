// The settings dialog's options, its buttons and its start and end, driven as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "settings/maker.h"
#include "settings_fixture.h"
#include "store/ini_file.h"

namespace morvel::testing {
namespace {

namespace fs = std::filesystem;
using platform::MessageBoxKind;

constexpr const char* kTitle = "Morvel Screensaver";
const std::vector<std::string> kPlayOrderButtons = {"RadioButton2", "RadioButton1", "radshuffle"};
const std::vector<std::string> kMonitorButtons = {"radmonblack", "radmonsame", "radmondiff",
                                                  "radmonspan"};
const std::vector<std::string> kOptionButtons = {
    "Radpicdef",   "radpicl",    "radpicm",    "radpics",      "Radpicc",      "radsndon",
    "radsndof",    "radrepon",   "radrepoff",  "RadioButton1", "RadioButton2", "radshuffle",
    "radmonblack", "radmonsame", "radmondiff", "radmonspan"};
const std::vector<std::string> kSoundButtons = {"Radstoff", "Radston", "Radenoff", "Radenon"};

class SettingsOptionsTest : public SettingsTest {
  protected:
    static constexpr std::uintptr_t kTabKey = 0x09;

    std::string focused() const {
        const headless::ControlState* control = os.focusedControl(os.window("TForm2")->handle);
        return control != nullptr ? control->design.name : "(none)";
    }
    bool soundChecked(const std::string& name) const {
        return os.control("TFrmSound", name)->checked;
    }
    int storedInteger(const std::string& key) const {
        return store::IniFile(storeFile()).readInteger("Options", key, -99);
    }
    // Swaps the Windows folder for a plain file, so that no write can reach the store.
    void takeTheFolderAway() {
        fs::rename(windowsFolder(), sim.folder() / "kept");
        std::ofstream(windowsFolder()) << "not a folder";
    }
    void giveTheFolderBack() {
        fs::remove(windowsFolder());
        fs::rename(sim.folder() / "kept", windowsFolder());
    }
};

TEST_F(SettingsOptionsTest, AFirstStartChoosesNothingAndWritesOnlyTheEmptyList) {
    startSettings();
    const headless::WindowState* form = os.window("TForm2");
    EXPECT_EQ(form->design.caption, "Morvel Screensaver Options");
    EXPECT_EQ(form->design.style, platform::WindowStyle::FixedDialog);
    EXPECT_TRUE(form->visible);
    EXPECT_TRUE(control("ListBox1").focused);
    for (const std::string& name : kOptionButtons) {
        EXPECT_FALSE(checked(name)) << name;
    }
    for (const std::string& name : kSoundButtons) {
        EXPECT_FALSE(soundChecked(name)) << name;
    }
    EXPECT_EQ(caption("edwav"), "");
    EXPECT_FALSE(control("radsndon").enabled);
    EXPECT_FALSE(control("radsndof").enabled);
    EXPECT_EQ(caption("Lblwidth"), "25");
    EXPECT_EQ(caption("Lblheight"), "25");
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(caption("Lblcount"), "");
    EXPECT_EQ(caption("LblVidName"), "");
    ASSERT_NE(os.window("Tfrmdisc"), nullptr);
    EXPECT_FALSE(os.window("Tfrmdisc")->visible);
    // Both readers must see an empty list, not 500 blank keys; options wait for OK.
    EXPECT_EQ(storeText(), slotsText());

    pressOk();
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(storeText(), slotsText() +
                               "[Options]\r\nSound=0\r\nRepeat=0\r\nPicdis=1\r\nPicord=2\r\n"
                               "Monitors=0\r\nHeight=25\r\nWidth=25\r\nFit=0\r\nClock=0\r\nCaption="
                               "0\r\nNextKey=0\r\nFade=0\r\nStartAt=0\r\nDark=0\r\nBattery="
                               "0\r\nVolume=100\r\nRenderer=0\r\n"
                               "[WavConfig]\r\nName1=\r\n");
}

TEST_F(SettingsOptionsTest, AFileWithoutOptionsShowsTheDefaultChoices) {
    writeStore(slotsText());
    startSettings();
    for (const char* name : {"radsndon", "radrepon", "Radpicdef", "RadioButton2", "radmonblack"}) {
        EXPECT_TRUE(checked(name)) << name;
    }
    for (const std::string& name : kSoundButtons) {
        EXPECT_FALSE(soundChecked(name)) << name;
    }
    // What the saver does without the keys: stretched, nothing over the video.
    EXPECT_TRUE(os.control("TFrmMore", "Radfitstretch")->checked);
    EXPECT_TRUE(os.control("TFrmMore", "Radshownone")->checked);
    EXPECT_FALSE(os.control("TFrmMore", "chkname")->checked);
    EXPECT_EQ(caption("Lblwidth"), "25");
    pressOk();
    EXPECT_EQ(storeText(), slotsText() +
                               "[Options]\r\nSound=1\r\nRepeat=1\r\nPicdis=5\r\nPicord=2\r\n"
                               "Monitors=0\r\nHeight=25\r\nWidth=25\r\nFit=0\r\nClock=0\r\nCaption="
                               "0\r\nNextKey=0\r\nFade=0\r\nStartAt=0\r\nDark=0\r\nBattery="
                               "0\r\nVolume=100\r\nRenderer=0\r\n"
                               "[WavConfig]\r\nName1=\r\n");
}

TEST_F(SettingsOptionsTest, StoredOptionsLoadClampedAndSaveInPlace) {
    const std::string sound = (sim.folder() / "rain.wav").string();
    writeStore(slotsText() +
               "[Options]\r\nStarton=1\r\nSound=0\r\nRepeat=0\r\nPicdis=3\r\nPicord=1\r\n"
               "Height=5000\r\nWidth=10\r\n[WavConfig]\r\nName1=" +
               sound + "\r\n");
    startSettings();
    for (const char* name : {"radsndof", "radrepoff", "radpics", "RadioButton1"}) {
        EXPECT_TRUE(checked(name)) << name;
    }
    EXPECT_TRUE(soundChecked("Radston"));
    EXPECT_FALSE(soundChecked("Radenon") || soundChecked("Radenoff"));
    EXPECT_EQ(caption("Lblheight"), "768");
    EXPECT_EQ(caption("Lblwidth"), "25");
    EXPECT_EQ(control("ScrollBar2").scrollPos, 768);
    EXPECT_EQ(control("ScrollBar1").scrollPos, 25);
    EXPECT_EQ(caption("edwav"), sound);
    EXPECT_TRUE(control("radsndon").enabled);

    pressOk();
    // Endon stays absent: only the group with a choice is written. A key the file lacked
    // comes at its section's end.
    EXPECT_EQ(storeText(), slotsText() +
                               "[Options]\r\nStarton=1\r\nSound=0\r\nRepeat=0\r\nPicdis=3\r\n"
                               "Picord=1\r\nHeight=768\r\nWidth=25\r\nMonitors=0\r\nFit=0\r\nClock="
                               "0\r\nCaption=0\r\nNextKey=0\r\nFade=0\r\nStartAt=0\r\nDark=0\r\n"
                               "Battery=0\r\nVolume=100\r\nRenderer=0\r\n[WavConfig]\r\nName1=" +
                               sound + "\r\n");
}

struct DisplaySizeCase {
    int stored;
    const char* button;
    int saved;
};

class DisplaySizeTest : public SettingsOptionsTest,
                        public ::testing::WithParamInterface<DisplaySizeCase> {};

TEST_P(DisplaySizeTest, LoadsAndSavesEachDisplaySize) {
    writeStore(slotsText() + "[Options]\r\nPicdis=" + std::to_string(GetParam().stored) + "\r\n");
    startSettings();
    for (const char* name : {"Radpicdef", "radpicl", "radpicm", "radpics", "Radpicc"}) {
        EXPECT_EQ(checked(name), std::string(name) == GetParam().button) << name;
    }
    pressOk();
    EXPECT_EQ(storedInteger("Picdis"), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    AllSizes, DisplaySizeTest,
    ::testing::Values(DisplaySizeCase{1, "radpicl", 1}, DisplaySizeCase{2, "radpicm", 2},
                      DisplaySizeCase{3, "radpics", 3}, DisplaySizeCase{4, "Radpicc", 4},
                      DisplaySizeCase{5, "Radpicdef", 5}, DisplaySizeCase{7, "Radpicdef", 5},
                      DisplaySizeCase{0, "Radpicdef", 5}));

struct StoredChoiceCase {
    const char* key;
    const char* stored;
    const char* button;  // empty: none selected
    int saved;
};

class StoredChoiceTest : public SettingsOptionsTest,
                         public ::testing::WithParamInterface<StoredChoiceCase> {};

TEST_P(StoredChoiceTest, LoadsTheStoredChoiceAndOkWritesTheSelectedOne) {
    const StoredChoiceCase& choice = GetParam();
    writeStore(slotsText() + "[Options]\r\n" + choice.key + "=" + choice.stored + "\r\n");
    startSettings();
    const bool monitors = std::string(choice.key) == "Monitors";
    for (const std::string& name : monitors ? kMonitorButtons : kPlayOrderButtons) {
        EXPECT_EQ(checked(name), name == choice.button) << name;
    }
    pressOk();
    EXPECT_EQ(storedInteger(choice.key), choice.saved);
}

INSTANTIATE_TEST_SUITE_P(MonitorsAndPlayOrder, StoredChoiceTest,
                         ::testing::Values(StoredChoiceCase{"Monitors", "0", "radmonblack", 0},
                                           StoredChoiceCase{"Monitors", "1", "radmonsame", 1},
                                           StoredChoiceCase{"Monitors", "2", "radmondiff", 2},
                                           StoredChoiceCase{"Monitors", "3", "radmonspan", 3},
                                           StoredChoiceCase{"Monitors", "4", "", 0},
                                           StoredChoiceCase{"Monitors", "-1", "", 0},
                                           StoredChoiceCase{"Picord", "1", "RadioButton1", 1},
                                           StoredChoiceCase{"Picord", "2", "RadioButton2", 2},
                                           StoredChoiceCase{"Picord", "3", "radshuffle", 3},
                                           StoredChoiceCase{"Picord", "4", "RadioButton2", 2}));

// A control of zero size (fitted to its caption by a real backend) counts as the point where
// its caption starts.
bool Overlap(const platform::Rect& a, const platform::Rect& b) {
    const auto right = [](const platform::Rect& r) { return r.left + std::max(r.width, 1); };
    const auto bottom = [](const platform::Rect& r) { return r.top + std::max(r.height, 1); };
    return a.left < right(b) && b.left < right(a) && a.top < bottom(b) && b.top < bottom(a);
}

bool Inside(const platform::Rect& inner, const platform::Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

TEST_F(SettingsOptionsTest, TheMonitorAndPlayOrderButtonsHaveRoomOfTheirOwnAndTakeClicks) {
    startSettings();  // no file: neither group has a choice
    const headless::WindowState* form = os.window("TForm2");
    std::vector<std::string> placed = kMonitorButtons;
    placed.insert(placed.end(), kPlayOrderButtons.begin(), kPlayOrderButtons.end());
    placed.push_back("Groupmon");
    for (const std::string& name : placed) {
        const headless::ControlState& each = control(name);
        const platform::Rect where = os.boundsInWindow(each.handle);
        ASSERT_GT(where.width * where.height, 0) << name;
        const platform::Rect room = each.design.parent != 0 ? os.boundsInWindow(each.design.parent)
                                                            : os.clientArea(form->handle);
        EXPECT_TRUE(Inside(where, room)) << name;
        for (platform::Handle other : form->controls) {
            const headless::ControlState* neighbour = os.controlByHandle(other);
            if (other != each.handle && other != each.design.parent &&
                neighbour->design.parent != each.handle) {
                EXPECT_FALSE(Overlap(where, os.boundsInWindow(other)))
                    << name << " and " << neighbour->design.name;
            }
        }
    }

    for (const auto* group : {&kMonitorButtons, &kPlayOrderButtons}) {
        for (const std::string& name : *group) {
            EXPECT_FALSE(checked(name)) << name;
            const platform::Rect where = os.boundsInWindow(control(name).handle);
            const headless::ControlState* hit =
                sim.clickAt("TForm2", where.left + where.width / 2, where.top + where.height / 2);
            ASSERT_NE(hit, nullptr) << name;
            EXPECT_EQ(hit->design.name, name);
            for (const std::string& other : *group) {
                EXPECT_EQ(checked(other), other == name) << name << " clicked, " << other;
            }
        }
    }
    for (const char* name :
         {"radshuffle", "radmonblack", "radmonsame", "radmondiff", "radmonspan"}) {
        EXPECT_FALSE(control(name).design.hint.empty()) << name;
    }
    click("radmonsame");
    pressOk();
    EXPECT_EQ(storedInteger("Monitors"), 1);
    EXPECT_EQ(storedInteger("Picord"), 3);
}

TEST_F(SettingsOptionsTest, OptionButtonsExcludeOnlyWithinTheirGroupAndFocusFollowsTheForm) {
    writeStore(slotsText());
    startSettings();
    // Tab goes round the form: group by group, a group of option buttons one stop (its
    // checked button), greyed-out controls and labels skipped.
    std::vector<std::string> visited;
    do {
        visited.push_back(focused());
        sim.pressKey(kTabKey);
    } while (focused() != "ListBox1" && visited.size() < 40);
    EXPECT_EQ(visited, (std::vector<std::string>{
                           "ListBox1", "Button2", "CmdAddEntire", "CmdClearList", "Button3",
                           "CmdSound", "CmdPreview", "cmdwav", "radrepon", "cmdhelp", "Radpicdef",
                           "ScrollBar1", "ScrollBar2", "radmonblack", "button4", "RadioButton2",
                           "Cmdexit", "BitBtn1", "CmdMore"}));
    EXPECT_TRUE(control("Cmdexit").design.defaultButton);

    click("radpicl");
    EXPECT_FALSE(checked("Radpicdef"));
    EXPECT_TRUE(checked("RadioButton2"));
    EXPECT_TRUE(checked("radrepon"));
    EXPECT_EQ(focused(), "radpicl");
    sim.pressKey(kTabKey);
    EXPECT_EQ(focused(), "ScrollBar1");
}

TEST_F(SettingsOptionsTest, TheScrollBarsFollowTheScreenAndSetTheSizeLabels) {
    os.screens = {{0, 0, 1280, 720}, {1280, -360, 1920, 1080}};  // the primary's size counts
    startSettings();
    EXPECT_EQ(control("ScrollBar1").scrollMin, 25);
    EXPECT_EQ(control("ScrollBar1").scrollMax, 1280);
    EXPECT_EQ(control("ScrollBar2").scrollMax, 720);
    EXPECT_EQ(control("ScrollBar1").scrollPos, 25);
    sim.scrollTo("ScrollBar1", 640);
    sim.scrollTo("ScrollBar2", 480);
    EXPECT_EQ(caption("Lblwidth"), "640");
    EXPECT_EQ(caption("Lblheight"), "480");
    sim.scrollTo("ScrollBar2", 5000);
    EXPECT_EQ(caption("Lblheight"), "720");
    click("Radpicc");
    pressOk();
    EXPECT_EQ(storedInteger("Width"), 640);
    EXPECT_EQ(storedInteger("Height"), 720);
    EXPECT_EQ(storedInteger("Picdis"), 4);
}

TEST_F(SettingsOptionsTest, PickingASoundFileEnablesTheSoundChoiceAndOkStoresIt) {
    const std::string text = slotsText() + "[Options]\r\nSound=1\r\n[WavConfig]\r\nName1=Null\r\n";
    writeStore(text);
    startSettings();
    EXPECT_EQ(caption("edwav"), "");
    EXPECT_FALSE(control("radsndon").enabled);
    EXPECT_TRUE(checked("radsndon"));
    click("radsndof");  // greyed out: no effect
    EXPECT_TRUE(checked("radsndon"));

    click("cmdwav");
    const headless::Prompt* dialog = sim.openPrompt();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->kind, headless::Prompt::Kind::OpenFile);
    ASSERT_EQ(dialog->request.filters.size(), 1u);
    EXPECT_EQ(dialog->request.filters[0].label, "wav (*.wav);midi (*.mid)");
    EXPECT_EQ(dialog->request.filters[0].patterns, "*.wav;*.mid");
    pick(std::nullopt);
    EXPECT_EQ(caption("edwav"), "");
    EXPECT_FALSE(control("radsndon").enabled);

    const std::string song = (sim.folder() / "song.mid").string();
    click("cmdwav");
    pick(song);
    EXPECT_EQ(caption("edwav"), song);
    EXPECT_TRUE(control("radsndon").enabled && control("radsndof").enabled);
    EXPECT_TRUE(checked("radsndon"));
    EXPECT_EQ(storeText(), text);  // nothing reaches the file before OK

    pressOk();
    EXPECT_EQ(store::IniFile(storeFile()).readString("WavConfig", "Name1", "?"), song);
    EXPECT_EQ(storedInteger("Sound"), 1);
}

TEST_F(SettingsOptionsTest, TheVideoSoundDialogKeepsItsChoicesUntilOk) {
    writeStore(slotsText() + "[Options]\r\nStarton=1\r\n");
    startSettings();
    click("CmdSound");
    const headless::WindowState* sound = os.window("TFrmSound");
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->visible && sound->modal);
    EXPECT_EQ(sound->design.owner, os.window("TForm2")->handle);
    EXPECT_TRUE(soundChecked("Radston"));
    sim.click("TFrmSound", "Radenoff");
    sim.click("TFrmSound", "BitBtn3");
    EXPECT_FALSE(os.window("TFrmSound")->visible);

    click("CmdSound");
    EXPECT_TRUE(soundChecked("Radston") && soundChecked("Radenoff"));
    sim.click("TFrmSound", "Button1");  // Clear Settings
    for (const std::string& name : kSoundButtons) {
        EXPECT_FALSE(soundChecked(name)) << name;
    }
    sim.click("TFrmSound", "BitBtn3");
    EXPECT_EQ(storedInteger("Starton"), 1);  // Return saves nothing

    pressOk();
    const std::string saved = storeText();
    EXPECT_EQ(saved.find("Starton"), std::string::npos);
    EXPECT_EQ(saved.find("Endon"), std::string::npos);
}

TEST_F(SettingsOptionsTest, MoreOptionsLoadTheirKeysAndSaveThemOnOkOnly) {
    writeStore(slotsText() +
               "[Options]\r\nFit=2\r\nClock=1\r\nCaption=1\r\nNextKey=1\r\nFade=500\r\n"
               "StartAt=2\r\nDark=30\r\nBattery=1\r\nVolume=40\r\n");
    startSettings();
    click("CmdMore");
    const headless::WindowState* more = os.window("TFrmMore");
    ASSERT_NE(more, nullptr);
    EXPECT_TRUE(more->visible && more->modal);
    const auto moreChecked = [this](const char* name) {
        return os.control("TFrmMore", name)->checked;
    };
    EXPECT_TRUE(moreChecked("Radfitfill") && moreChecked("Radshowtime") && moreChecked("chkname") &&
                moreChecked("chknext") && moreChecked("Radfadehalf") &&
                moreChecked("Radstartstopped") && moreChecked("chkbattery"));
    EXPECT_EQ(os.control("TFrmMore", "txtdark")->caption, "30");
    EXPECT_EQ(os.control("TFrmMore", "sldvolume")->scrollPos, 40);
    EXPECT_EQ(os.control("TFrmMore", "lblvolume")->caption, "40%");
    for (const char* name :
         {"Radfitwhole", "Radshowdate", "chkname", "Radfadetwo", "Radstartrandom", "chkbattery"}) {
        sim.click("TFrmMore", name);
    }
    EXPECT_FALSE(moreChecked("Radfitfill") || moreChecked("Radshowtime") ||
                 moreChecked("chkname") || moreChecked("Radfadehalf") || moreChecked("chkbattery"));
    sim.scrollTo("sldvolume", 75);
    EXPECT_EQ(os.control("TFrmMore", "lblvolume")->caption, "75%");
    // Minutes the saver does not take are said on Return, and the dialog stays.
    const platform::Handle minutes = os.control("TFrmMore", "txtdark")->handle;
    sim.runOnProgramThread([&] { os.setCaption(minutes, "1441"); });
    sim.click("TFrmMore", "BitBtn1");
    const headless::Prompt* box = sim.openPrompt();
    ASSERT_NE(box, nullptr);
    EXPECT_NE(box->text.find("1440"), std::string::npos);
    sim.answer();
    EXPECT_TRUE(os.window("TFrmMore")->visible);
    sim.runOnProgramThread([&] { os.setCaption(minutes, "45"); });
    sim.click("TFrmMore", "BitBtn1");
    EXPECT_FALSE(os.window("TFrmMore")->visible);
    EXPECT_EQ(storedInteger("Fit"), 2);  // Return saves nothing

    pressOk();
    const std::map<std::string, int> stored{{"Fit", 1},     {"Clock", 2},   {"Caption", 0},
                                            {"NextKey", 1}, {"Fade", 2000}, {"StartAt", 1},
                                            {"Dark", 45},   {"Battery", 0}, {"Volume", 75}};
    for (const auto& [key, value] : stored) {
        EXPECT_EQ(storedInteger(key), value) << key;
    }
}

// A value the saver does not know checks nothing, and OK stores what the saver reads it as.
// A dissolve the dialog has no button for (a hand-edited file's) is saved again as it was,
// the saver playing it as it did.
TEST_F(SettingsOptionsTest, MoreOptionsOfUnknownValuesCheckNothingAndSaveTheDefault) {
    writeStore(slotsText() +
               "[Options]\r\nFit=9\r\nClock=-1\r\nCaption=5\r\nNextKey=2\r\nFade=1500\r\n"
               "StartAt=7\r\nDark=5000\r\nBattery=3\r\nVolume=140\r\n");
    startSettings();
    for (const char* name :
         {"Radfitstretch", "Radfitwhole", "Radfitfill", "Radshownone", "Radshowtime", "Radshowdate",
          "chkname", "chknext", "Radfadecut", "Radfadehalf", "Radfadeone", "Radfadetwo",
          "Radstartbegin", "Radstartrandom", "Radstartstopped", "chkbattery"}) {
        EXPECT_FALSE(os.control("TFrmMore", name)->checked) << name;
    }
    EXPECT_EQ(os.control("TFrmMore", "sldvolume")->scrollPos, 100);
    pressOk();
    const std::map<std::string, int> stored{{"Fit", 0},     {"Clock", 0},   {"Caption", 0},
                                            {"Fade", 1500}, {"StartAt", 0}, {"Dark", 0},
                                            {"Battery", 0}, {"Volume", 100}};
    for (const auto& [key, value] : stored) {
        EXPECT_EQ(storedInteger(key), value) << key;
    }
}

// The graphics card's box: checked for every value but 1 (the saver's automatic choice, or
// the card asked for outright, which stays asked for while the box stays checked).
struct RendererCase {
    const char* stored;  // empty: no key
    bool checked;
    bool clicked;  // once, in More Options
    int saved;
};

class RendererChoiceTest : public SettingsOptionsTest,
                           public ::testing::WithParamInterface<RendererCase> {};

TEST_P(RendererChoiceTest, TheGraphicsCardBoxShowsTheStoredRendererAndStoresItsOwn) {
    const RendererCase& choice = GetParam();
    writeStore(slotsText() + "[Options]\r\n" +
               (*choice.stored ? std::string("Renderer=") + choice.stored + "\r\n" : ""));
    startSettings();
    EXPECT_EQ(os.control("TFrmMore", "chkgraphics")->checked, choice.checked);
    if (choice.clicked) {
        click("CmdMore");
        sim.click("TFrmMore", "chkgraphics");
        sim.click("TFrmMore", "BitBtn1");
    }
    pressOk();
    EXPECT_EQ(storedInteger("Renderer"), choice.saved);
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues, RendererChoiceTest,
    ::testing::Values(RendererCase{"", true, false, 0}, RendererCase{"", true, true, 1},
                      RendererCase{"1", false, false, 1}, RendererCase{"1", false, true, 0},
                      RendererCase{"2", true, false, 2}, RendererCase{"2", true, true, 1},
                      RendererCase{"5", true, false, 0}));

TEST_F(SettingsOptionsTest, AGroupWithoutChoiceKeepsItsStoredValue) {
    writeStore(slotsText() + "[Options]\r\nStarton=2\r\nEndon=0\r\n");
    startSettings();
    EXPECT_FALSE(soundChecked("Radston") || soundChecked("Radstoff"));
    EXPECT_TRUE(soundChecked("Radenoff"));
    pressOk();
    EXPECT_EQ(storedInteger("Starton"), 2);
    EXPECT_EQ(storedInteger("Endon"), 0);
}

TEST_F(SettingsOptionsTest, ARefusedSaveKeepsTheOldFileWholeAndTheDialogOpen) {
    writeStore(slotsText({video("a.avi")}) + "[Options]\r\nRepeat=1\r\nPicdis=2\r\n");
    const std::string before = storeText();
    startSettings();
    click("radrepoff");
    click("radpicl");
    takeTheFolderAway();
    pressOk();
    expectBox(MessageBoxKind::Error, kTitle, "Unable to write to " + storeFile() + ".");
    EXPECT_TRUE(dialogOpen());
    EXPECT_TRUE(checked("radrepoff"));
    giveTheFolderBack();
    EXPECT_EQ(storeText(), before);

    pressOk();  // the user's choices are still there to save
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(storedInteger("Repeat"), 0);
    EXPECT_EQ(storedInteger("Picdis"), 1);
}

TEST_F(SettingsOptionsTest, AFolderThatCannotTakeTheFileIsReportedAndTheDialogStillWorks) {
    fs::remove(windowsFolder());
    std::ofstream(windowsFolder()) << "not a folder";
    sim.start("morvel.scr /C");
    expectBox(MessageBoxKind::Error, kTitle, "Unable to write to " + storeFile() + ".");
    ASSERT_TRUE(dialogOpen());
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(caption("Lblwidth"), "25");
    click("Button3");
    expectBox(MessageBoxKind::Information, "Information",
              "There are no items in the list. Click ADD to add some pictures to the list.");
}

TEST_F(SettingsOptionsTest, AboutSupportAndMoreSoftware) {
    startSettings();
    for (int time = 0; time < 2; ++time) {
        click("cmdhelp");
        const headless::WindowState* about = os.window("Tfrmdisc");
        ASSERT_TRUE(about->visible && about->modal);
        EXPECT_EQ(about->design.caption, "Morvel Screensaver Displayer");
        EXPECT_NE(os.control("Tfrmdisc", "Label1")->caption.find("3.23"), std::string::npos);
        click("Cmdexit");  // the dialog behind the box takes no clicks
        ASSERT_TRUE(dialogOpen());
        ASSERT_TRUE(os.window("Tfrmdisc")->visible);
        sim.click("Tfrmdisc", "Button1");
        EXPECT_FALSE(os.window("Tfrmdisc")->visible);
    }

    click("BitBtn1");
    const headless::Prompt* support = sim.openPrompt();
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->caption, kTitle);
    EXPECT_NE(support->text.find(settings::kSupportEmail), std::string::npos);
    EXPECT_NE(support->text.find("Start menu"), std::string::npos);
    sim.answer();
    EXPECT_TRUE(os.shellOpens.empty());

    const std::string opening =
        "We will now display the software downloads site. Please be sure you are connected to "
        "the internet, then click OK to view more software downloads.";
    os.shellResult = 2;  // no browser
    click("button4");
    expectBox(MessageBoxKind::Plain, kTitle, opening);
    ASSERT_EQ(os.shellOpens.size(), 1u);
    EXPECT_EQ(os.shellOpens[0].target, settings::kWebSite);
    EXPECT_EQ(os.shellOpens[0].show, platform::ShowCommand::Maximized);
    EXPECT_EQ(os.shellOpens[0].parent, os.window("TForm2")->handle);
    expectBox(MessageBoxKind::Plain, kTitle,
              "You cannot view the download site because your browser would not open. You can "
              "still view the download site by opening your web browser and pointing to " +
                  std::string(settings::kWebSite));

    os.shellResult = 42;
    click("button4");
    expectBox(MessageBoxKind::Plain, kTitle, opening);
    EXPECT_EQ(sim.openPrompt(), nullptr);
    EXPECT_TRUE(dialogOpen());
}

}  // namespace
}  // namespace morvel::testing
