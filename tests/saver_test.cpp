#include <gtest/gtest.h>

#include "saver/saver_overlay.h"
#include "saver/saver_window.h"
#include "saver_fixture.h"

namespace morvel::testing {
namespace {

using platform::MessageBoxKind;
using platform::Rect;
namespace msg = platform::msg;

constexpr const char* kNoVideos =
    "You have not entered any video files for display. Simply click the \"settings\" button, "
    "and add your video files for viewing. ";

std::string MissingFileText(const std::string& name) {
    return "File " + name +
           " no longer exists in this location on your system!  Please go into your "
           "screensaver settings and remove this from your viewing list!";
}

std::string CorruptVideoText(const std::string& name) {
    return "An error occurred trying to play the video file " + name +
           ". The video file appears to be corrupt. Please verify that your video files are "
           "viewable.";
}

class SaverTest : public SimulationTest {
  protected:
    void startSaver() {
        sim.start("morvel.scr /S");
        ASSERT_FALSE(sim.ended());
    }
    bool timerRunning() const {
        const auto* form = os.window("TForm1");
        return form != nullptr && os.timerRunning(form->handle, 1);
    }
    const headless::ControlState& label() const { return *os.control("lblinfo"); }
    const headless::ControlState& panel() const { return *os.control("Panel1"); }
    // The message in place of the video: on the screen, wrapped within its box, in a colour
    // that stands out from the white window.
    bool showsMessage() const {
        const headless::WindowState& form = *os.window("TForm1");
        const Rect screen = os.clientArea(form.handle);
        const Rect box = label().bounds;
        const bool onScreen = box.width > 0 && box.height > 0 && box.left >= 0 && box.top >= 0 &&
                              box.left + box.width <= screen.width &&
                              box.top + box.height <= screen.height;
        return label().visible && !panel().visible && onScreen && label().design.wordWrap &&
               form.color == platform::Color::rgb(255, 255, 255) &&
               label().design.font.color != form.color;
    }
};

// --- Set-up ---------------------------------------------------------------------------------

TEST_F(SaverTest, CoversTheScreenAndTellsThePlatformASaverRuns) {
    writeSettings(settingsText({makeMedia("a.avi")}));
    startSaver();
    const headless::WindowState* form = os.window("TForm1");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->design.caption, "Frmmorvel33");
    EXPECT_EQ(form->design.style, platform::WindowStyle::FullScreenTopmost);
    EXPECT_TRUE(form->visible);
    EXPECT_TRUE(form->design.keyPreview);
    EXPECT_EQ(form->color, platform::Color::rgb(0, 0, 0));
    EXPECT_EQ(os.applicationTitle(), "Morvel Screensaver");
    EXPECT_TRUE(os.screenSaverRunning);
    EXPECT_EQ(os.cursorCount, -1);
    EXPECT_TRUE(timerRunning());
    EXPECT_FALSE(label().visible);
    EXPECT_TRUE(os.findWindow("TForm1", "Frmmorvel33"));
}

TEST_F(SaverTest, WithoutASettingsFileItShowsTheNoVideosText) {
    startSaver();
    EXPECT_TRUE(showsMessage());
    EXPECT_EQ(label().caption, kNoVideos);
    EXPECT_FALSE(timerRunning());
    EXPECT_TRUE(os.plays.empty());
    EXPECT_EQ(os.mixer.queries, 0);
}

TEST_F(SaverTest, EmptySlotsInAnyLetterCaseAndBlankOrMissingKeysListNothing) {
    std::string text = "[vidconfig]\nName1=NULL\nname2=null\nNAME3=  \nName4=Null\n";
    text += "Name501=" + makeMedia("beyond.avi") + "\n";
    writeSettings(text);
    startSaver();
    EXPECT_TRUE(showsMessage());
    EXPECT_EQ(label().caption, kNoVideos);
}

TEST_F(SaverTest, EmptySlotsAreSkippedAndTheRestPlayInSlotOrder) {
    const std::string a = makeMedia("a.avi");
    const std::string b = makeMedia("b.avi");
    writeSettings(settingsText({"NULL", "Null", a, "null", b}));
    startSaver();
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{a}));
    EXPECT_EQ(sim.platform().opens.front().file, a);
}

TEST_F(SaverTest, OneMissingFileDiscardsTheWholeListAndNamesIt) {
    const std::string a = makeMedia("a.avi");
    const std::string missing = (sim.folder() / "gone.avi").string();
    writeSettings(settingsText({a, a, missing, a}));
    startSaver();
    EXPECT_TRUE(showsMessage());
    EXPECT_EQ(label().caption, MissingFileText(missing));
    EXPECT_TRUE(os.plays.empty());
    EXPECT_FALSE(timerRunning());
}

TEST_F(SaverTest, AFolderIsNoVideoFile) {
    writeSettings(settingsText({sim.folder().string()}));
    startSaver();
    EXPECT_EQ(label().caption, MissingFileText(sim.folder().string()));
}

TEST_F(SaverTest, AHandEditedFileWithOddValuesFallsBackToDefaults) {
    const std::string a = makeMedia("a.avi", {.width = 321, .height = 241});
    writeSettings(
        "\xEF\xBB\xBF; edited by hand\r\n[OPTIONS]\r\nPicdis=7\r\nPicord=0\r\n"
        "Sound=maybe\r\nStarton=5\r\n[VidConfig]\r\nName1=" +
        a + "\r\ngarbage line\r\n" + std::string(1, '\0') + "\x01\x02\r\n");
    startSaver();
    EXPECT_EQ(sim.platform().mixer.queries, 0);
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(os.plays[0].panel, (Rect{352, 264, 321, 241}));  // own size
}

// The list as an earlier version or a hand edit left it: paths in quotes, and a path written
// in the system's code page (Windows-1252 here) rather than UTF-8. They play as the system's
// own reader of the file names them.
TEST_F(SaverTest, QuotedPathsAndPathsInTheCodePagePlay) {
    const std::string quoted = makeMedia("My Videos.avi", {.lengthMs = 1000});
    const std::string accented = makeMedia("café.avi", {.lengthMs = 1000});
    const std::string cyrillic = makeMedia("видео.avi", {.lengthMs = 1000});
    std::string inCodePage = accented;
    inCodePage.replace(inCodePage.find("é"), std::string_view("é").size(), "\xE9");
    writeSettings(settingsText({"\"" + quoted + "\"", inCodePage, "'" + cyrillic + "'"}));
    startSaver();
    EXPECT_FALSE(label().visible) << label().caption;
    sim.advance(2500);
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{quoted, accented, cyrillic}));
}

// --- Panel sizes ------------------------------------------------------------------------------

TEST(PanelGeometry, RoundsHalvesToTheEvenNeighbour) {
    using saver::RoundHalfEven;
    EXPECT_EQ(RoundHalfEven(341.5), 342);
    EXPECT_EQ(RoundHalfEven(342.5), 342);
    EXPECT_EQ(RoundHalfEven(351.5), 352);
    EXPECT_EQ(RoundHalfEven(263.5), 264);
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4), 2);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
}

struct SizeCase {
    const char* what;
    int picdis;
    std::string extra;
    Rect panel;
    int destinationWidth;
    int destinationHeight;
    std::vector<Rect> screens = {{0, 0, 1024, 768}};
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.what;
}

class SaverSizeTest : public SaverTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SaverSizeTest, PlaysIntoThePanelOfTheChosenSize) {
    const SizeCase& c = GetParam();
    os.screens = c.screens;
    const std::string a = makeMedia("a.avi", {.width = 321, .height = 241});
    writeSettings(settingsText({a}, "Picdis=" + std::to_string(c.picdis) + "\r\n" + c.extra));
    startSaver();
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(os.plays[0].panel, c.panel);
    EXPECT_EQ(os.plays[0].display, panel().handle);
    EXPECT_EQ(os.plays[0].destinationWidth, c.destinationWidth);
    EXPECT_EQ(os.plays[0].destinationHeight, c.destinationHeight);
    EXPECT_TRUE(os.plays[0].onScreen);  // the first frame has a shown window to go to
}

// The panel is centred on the primary screen, halves rounded to the even neighbour; the
// other screens, wherever they lie, change nothing.
const std::vector<Rect> kWideWithASecondScreen = {{0, 0, 1366, 768}, {-1280, -256, 1280, 1024}};

INSTANTIATE_TEST_SUITE_P(
    AllSizes, SaverSizeTest,
    ::testing::Values(
        SizeCase{"large", 1, "", {0, 0, 1024, 768}, 1024, 768},
        SizeCase{"medium", 2, "", {256, 192, 512, 384}, 512, 384},
        SizeCase{"small", 3, "", {384, 288, 256, 192}, 256, 192},
        SizeCase{"medium, wide", 2, "", {342, 192, 683, 384}, 683, 384, kWideWithASecondScreen},
        SizeCase{"small, wide", 3, "", {512, 288, 342, 192}, 342, 192, kWideWithASecondScreen},
        SizeCase{"custom", 4, "Width=640\r\nHeight=200\r\n", {192, 284, 640, 200}, 640, 200},
        SizeCase{
            "custom, larger", 4, "Width=1500\r\nHeight=900\r\n", {-238, -66, 1500, 900}, 1500, 900},
        SizeCase{"custom, odd",
                 4,
                 "Width=2000\r\nHeight=1001\r\n",
                 {-488, -116, 2000, 1001},
                 2000,
                 1001},
        // Beyond what a window can be (X11 and Win32 hold 32767): the largest, centred.
        SizeCase{"custom, beyond a window's limit",
                 4,
                 "Width=65536\r\nHeight=100000\r\n",
                 {-15872, -16000, 32767, 32767},
                 32767,
                 32767},
        // Below a pixel, or missing from the file: a pixel, which shows the clip all the same.
        SizeCase{"custom, too wide and negative",
                 4,
                 "Width=100000\r\nHeight=-5\r\n",
                 {-15872, 384, 32767, 1},
                 32767,
                 1},
        SizeCase{"custom, missing", 4, "", {512, 384, 1, 1}, 1, 1},
        SizeCase{"own", 5, "Width=640\r\nHeight=200\r\n", {352, 264, 321, 241}, 321, 241},
        SizeCase{"own, out of range", 0, "", {352, 264, 321, 241}, 321, 241}));

TEST_F(SaverTest, OwnSizeFollowsEachVideoAndASoundOnlyFileGetsAnEmptyPanel) {
    const std::string big = makeMedia("big.avi", {.lengthMs = 1500, .width = 800, .height = 600});
    const std::string audio = makeMedia("song.mpg", {.lengthMs = 1500, .hasVideo = false});
    writeSettings(settingsText({big, audio}));
    startSaver();
    sim.advance(2000);
    ASSERT_EQ(os.plays.size(), 2u);
    EXPECT_EQ(os.plays[0].panel, (Rect{112, 84, 800, 600}));
    EXPECT_EQ(os.plays[1].display, 0u);
    EXPECT_EQ(panel().bounds, (Rect{512, 384, 0, 0}));
}

// A clip whose own size is more than a window can be (a broken header): the largest, centred.
TEST_F(SaverTest, OwnSizeBeyondWhatAWindowCanBeFillsTheLargestCentred) {
    const std::string wide = makeMedia("wide.avi", {.width = 40000, .height = 300});
    writeSettings(settingsText({wide}));
    startSaver();
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_EQ(os.plays[0].panel, (Rect{-15872, 234, 32767, 300}));
    EXPECT_EQ(os.plays[0].destinationWidth, 32767);
    EXPECT_EQ(os.plays[0].destinationHeight, 300);
}

// --- The sequencer ----------------------------------------------------------------------------

TEST_F(SaverTest, PlaysInSequenceRoundAndRoundClosingEachVideoBeforeTheNext) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 2510});
    const std::string b = makeMedia("b.avi", {.lengthMs = 1000});
    const std::string c = makeMedia("c.avi", {.lengthMs = 500});
    writeSettings(settingsText({a, b, c}));
    startSaver();
    sim.advance(7000);
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{a, b, c, a, b}));
    // The end of a video is seen within the next 50 ms tick, not a second later.
    std::vector<std::int64_t> times;
    for (const auto& play : os.plays) {
        times.push_back(play.atMs);
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 2550, 3550, 4050, 6600}));
    EXPECT_EQ(os.mediaCloses, 4);
}

TEST_F(SaverTest, AVideoThatNeverStartsPlayingIsLeftAfterASecondNotAtEveryTick) {
    const std::string a = makeMedia("a.avi", {.playError = 263});
    const std::string b = makeMedia("b.avi", {.playError = 263});
    writeSettings(settingsText({a, b}));
    startSaver();
    sim.advance(3000);
    std::vector<std::int64_t> times;
    for (const auto& open : os.opens) {
        times.push_back(open.atMs);
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 1000, 2000, 3000}));
}

TEST_F(SaverTest, OneVideoPlaysAgainAndAgainInEitherOrder) {
    for (const char* order : {"1", "2"}) {
        CheckedSimulation run{std::string("Picord=") + order};
        auto& platform = run.platform();
        const auto video = run.folder() / "only.avi";
        std::ofstream(video) << "x";
        platform.media[video.string()] = {.lengthMs = 900};
        std::ofstream(run.folder() / "morvel4.ini")
            << settingsText({video.string()}, std::string("Picord=") + order + "\r\n");
        run.start("morvel.scr /S");
        run.advance(5000);
        EXPECT_EQ(platform.plays.size(), 6u) << order;
        EXPECT_EQ(platform.opens.size(), 6u) << order;
    }
}

TEST_F(SaverTest, RandomOrderDrawsFromTheWholeListReseededFromTheClock) {
    std::vector<std::string> videos;
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
        videos.push_back(makeMedia(name, {.lengthMs = 400}));
    }
    writeSettings(settingsText(videos, "Picord=1\r\n"));
    startSaver();
    sim.advance(60'000);
    ASSERT_EQ(os.plays.size(), 151u);  // each video followed at once by the next
    std::set<std::string> seen;
    bool repeated = false;
    for (std::size_t i = 0; i < os.plays.size(); ++i) {
        seen.insert(os.plays[i].file);
        repeated = repeated || (i > 0 && os.plays[i].file == os.plays[i - 1].file);
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_TRUE(repeated) << "random order may repeat a video";
}

TEST_F(SaverTest, ACorruptVideoHaltsPlaybackWithTheErrorAndAKeyStillEndsTheSaver) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 1000});
    const std::string bad =
        makeMedia("bad.avi", {.openError = 277, .openErrorText = "Not a video."});
    const std::string song = makeMedia("song.wav", {.lengthMs = 60'000, .hasVideo = false});
    writeSettings(settingsText({a, bad}, "", song));
    startSaver();
    sim.advance(1000);
    headless::Prompt* box = sim.openPrompt();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->boxKind, MessageBoxKind::Error);
    EXPECT_EQ(box->text, CorruptVideoText(bad));
    EXPECT_FALSE(timerRunning());
    box->seen = true;
    // Nothing moves behind the box; a key pressed in it ends the saver.
    sim.advance(5000);
    EXPECT_EQ(os.plays.size(), 2u);  // the first video and the sound
    sim.post(msg::kKeyDown, 'A');
    EXPECT_TRUE(sim.ended());
    EXPECT_FALSE(os.screenSaverRunning);
}

TEST_F(SaverTest, AFirstVideoThatCannotOpenIsNotReportedAndTheSoundStillRepeats) {
    const std::string bad = makeMedia("bad.avi", {.openError = 277});
    const std::string good = makeMedia("good.avi");
    const std::string song = makeMedia("song.wav", {.lengthMs = 1500, .hasVideo = false});
    writeSettings(settingsText({bad, good}, "", song));
    startSaver();
    EXPECT_TRUE(timerRunning());
    sim.advance(6000);
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{song, song, song, song}));
}

// --- Background sound -----------------------------------------------------------------------

TEST_F(SaverTest, TheSoundStartsWithoutWaitingAndRepeatsAfterItEnds) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 60'000});
    const std::string song = makeMedia("song.mid", {.lengthMs = 2000, .hasVideo = false});
    writeSettings(settingsText({a}, "Sound=1\r\nRepeat=1\r\n", song));
    startSaver();
    ASSERT_GE(os.opens.size(), 2u);
    EXPECT_EQ(os.opens[0].file, song);
    EXPECT_FALSE(os.opens[0].wait);
    EXPECT_TRUE(os.opens[1].wait);
    sim.advance(4500);
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{song, a, song, song}));
}

TEST_F(SaverTest, SoundPlaysOnceWithRepeatOffOrWithoutVideos) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 60'000});
    const std::string song = makeMedia("song.wav", {.lengthMs = 500, .hasVideo = false});
    writeSettings(settingsText({a}, "Repeat=0\r\n", song));
    startSaver();
    sim.advance(5000);
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{song, a}));

    CheckedSimulation empty{"no videos"};
    std::ofstream(empty.folder() / "morvel4.ini") << settingsText({}, "", song);
    empty.platform().media = os.media;
    empty.start("morvel.scr /S");
    empty.advance(5000);
    EXPECT_EQ(empty.platform().plays.size(), 1u);
}

TEST_F(SaverTest, SoundOffOrAMissingOrBrokenSoundFileIsQuietlySkipped) {
    const std::string a = makeMedia("a.avi");
    const std::string song = makeMedia("song.wav", {.hasVideo = false});
    writeSettings(settingsText({a}, "Sound=0\r\n", song));
    startSaver();
    EXPECT_EQ(playedFiles(), (std::vector<std::string>{a}));

    CheckedSimulation missing{"missing sound"};
    std::ofstream(missing.folder() / "morvel4.ini")
        << settingsText({}, "", (missing.folder() / "none.wav").string());
    missing.start("morvel.scr /S");
    EXPECT_TRUE(missing.platform().opens.empty());

    CheckedSimulation broken{"broken sound"};
    const auto wav = broken.folder() / "broken.wav";
    std::ofstream(wav) << "x";
    broken.platform().media[wav.string()] = {.openError = 277};
    std::ofstream(broken.folder() / "morvel4.ini") << settingsText({}, "", wav.string());
    broken.start("morvel.scr /S");
    broken.advance(3000);
    EXPECT_EQ(broken.platform().opens.size(), 1u);
}

TEST_F(SaverTest, ASoundThatFailsToRestartIsReportedWhileVideosGoOnBehindTheBox) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 500});
    const std::string b = makeMedia("b.avi", {.lengthMs = 500});
    const std::string song = makeMedia("song.wav", {.lengthMs = 1500, .hasVideo = false});
    writeSettings(settingsText({a, b}, "", song));
    startSaver();
    os.media[song].openError = 277;  // the file went bad while it played
    sim.advance(2000);
    headless::Prompt* box = sim.openPrompt();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, "The sound file is corrupt and cannot be played!");
    EXPECT_EQ(box->caption, "Error");
    box->seen = true;
    const std::size_t before = os.plays.size();
    sim.advance(3000);
    EXPECT_GT(os.plays.size(), before);
    sim.answer();
    EXPECT_EQ(sim.openPrompt(), nullptr) << "the sound is not tried again";
}

// --- Dismissal ----------------------------------------------------------------------------------

TEST_F(SaverTest, EachKeyOrButtonPressEndsTheSaverAndIsStillDelivered) {
    for (std::uint32_t id : {msg::kKeyDown, msg::kKeyUp, msg::kSysKeyDown, msg::kSysKeyUp,
                             msg::kLButtonDown, msg::kRButtonDown, msg::kMButtonDown}) {
        CheckedSimulation run{"message " + std::to_string(id)};
        auto& platform = run.platform();
        const auto video = run.folder() / "a.avi";
        std::ofstream(video) << "x";
        std::ofstream(run.folder() / "morvel4.ini")
            << settingsText({video.string()}, "Starton=0\r\nEndon=1\r\n");
        run.start("morvel.scr /S");
        run.post(id, 0x41);
        EXPECT_TRUE(run.ended()) << id;
        EXPECT_EQ(platform.screenSaverRunningCalls, (std::vector<bool>{true, false})) << id;
        EXPECT_EQ(platform.mixer.muteValues, (std::vector<bool>{true, false})) << id;
        EXPECT_EQ(platform.enginesAlive, 0) << id;
        ASSERT_FALSE(platform.delivered.empty()) << id;
        EXPECT_EQ(platform.delivered.front().id, id);
    }
}

TEST_F(SaverTest, MovingTheMouseAndOtherMessagesNeverEndTheSaver) {
    writeSettings(settingsText({makeMedia("a.avi")}));
    startSaver();
    for (std::uint32_t id : {msg::kMouseMove, msg::kLButtonUp, msg::kRButtonUp, msg::kMButtonUp,
                             msg::kLButtonDblClk, msg::kMouseWheel, msg::kChar}) {
        sim.post(id, 0xFFFF);
        EXPECT_FALSE(sim.ended()) << id;
    }
    EXPECT_TRUE(os.screenSaverRunning);
    EXPECT_TRUE(timerRunning());
}

TEST_F(SaverTest, FinishingStopsPlaybackAndClosesTheWindow) {
    const std::string a = makeMedia("a.avi", {.lengthMs = 60'000});
    const std::string song = makeMedia("song.wav", {.lengthMs = 60'000, .hasVideo = false});
    writeSettings(settingsText({a}, "", song));
    startSaver();
    sim.advance(2500);
    sim.post(msg::kLButtonDown);
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.window("TForm1"), nullptr);
    EXPECT_EQ(os.cursorCount, 0) << "the close query shows the cursor again";
    EXPECT_EQ(os.mixer.queries, 0);
}

TEST_F(SaverTest, InputWaitingDuringTheCloseQueryIsIgnored) {
    writeSettings(settingsText({makeMedia("a.avi")}, "Endon=0\r\n"));
    startSaver();
    os.enqueue({0, msg::kKeyDown, 'A', 0});
    os.enqueue({0, msg::kKeyDown, 'B', 0});
    os.enqueue({0, msg::kLButtonDown, 0, 0});
    sim.advance(0);
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.mixer.muteValues, (std::vector<bool>{true}));
    EXPECT_EQ(os.screenSaverRunningCalls, (std::vector<bool>{true, false}));
    EXPECT_EQ(os.delivered.size(), 3u);
}

class PasswordTest : public SaverTest {
  protected:
    void SetUp() override {
        os.platformIdValue = 1;
        os.registry["Control Panel\\desktop"]["ScreenSaveUsePassword"] = 1u;
        os.libraries[library()].entryPoints = {"VerifyScreenSavePwd"};
        writeSettings(settingsText({makeMedia("a.avi", {.lengthMs = 60'000})}));
    }
    std::string library() const { return os.systemDir + os.pathSeparator() + "PASSWORD.CPL"; }
    headless::Prompt* passwordPrompt() {
        headless::Prompt* prompt = sim.openPrompt();
        return prompt != nullptr && prompt->kind == headless::Prompt::Kind::Password ? prompt
                                                                                     : nullptr;
    }
};

TEST_F(PasswordTest, AWrongPasswordKeepsTheVideosPlayingAndAsksAgainAtTheNextKey) {
    startSaver();
    sim.post(msg::kKeyDown);
    headless::Prompt* prompt = passwordPrompt();
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->owner, os.window("TForm1")->handle);
    EXPECT_EQ(os.cursorCount, 0) << "the cursor shows while the dialog is up";
    // Input inside the dialog does not start a second check; videos go on.
    sim.post(msg::kKeyDown);
    sim.advance(3000);
    EXPECT_EQ(passwordPrompt(), prompt);
    EXPECT_TRUE(timerRunning());
    sim.answerPassword(false);
    EXPECT_FALSE(sim.ended());
    EXPECT_EQ(os.cursorCount, -1);
    EXPECT_EQ(os.librariesLoaded, 0);

    sim.post(msg::kRButtonDown);
    ASSERT_NE(passwordPrompt(), nullptr);
    sim.answerPassword(true);
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.libraryLoads, (std::vector<std::string>{library(), library()}));
    EXPECT_EQ(os.librariesLoaded, 0);
}

// NextKey=1: the right arrow's press moves every monitor on and neither it nor its release
// ends the saver; every other key, release and button still goes through the check.
TEST_F(PasswordTest, TheRightArrowWhereChosenMovesEveryMonitorOnAndEverythingElseStillAsks) {
    constexpr std::uintptr_t kRight = 0x27;
    constexpr std::uintptr_t kLeft = 0x25;
    os.screens = {{0, 0, 1024, 768}, {1024, 0, 1024, 768}};
    std::vector<std::string> clips;
    for (const char* name : {"a.avi", "b.avi", "c.avi", "d.avi"}) {
        clips.push_back(makeMedia(name, {.lengthMs = 60'000}));
    }
    writeSettings(settingsText(clips, "Monitors=2\r\nNextKey=1\r\nCaption=1\r\n"));
    startSaver();
    ASSERT_EQ(os.plays.size(), 2u);
    sim.pressKey(kRight);
    sim.post(msg::kKeyDown, kRight);  // held: each press moves on again
    EXPECT_FALSE(sim.ended());
    EXPECT_EQ(passwordPrompt(), nullptr);
    ASSERT_EQ(os.plays.size(), 6u);
    for (std::size_t i = 2; i < 6; ++i) {
        EXPECT_EQ(os.plays[i].display, os.plays[i % 2].display) << "play " << i;
        EXPECT_NE(os.plays[i].file, os.plays[i - 2].file) << "play " << i;
    }
    EXPECT_EQ(os.control("lblname")->caption, saver::CaptionText(os.plays[4].file));

    for (const auto& [id, key] :
         {std::pair{msg::kKeyDown, kLeft}, std::pair{msg::kKeyUp, kLeft},
          std::pair{msg::kSysKeyDown, kRight}, std::pair{msg::kLButtonDown, std::uintptr_t{0}}}) {
        sim.post(id, key);
        ASSERT_NE(passwordPrompt(), nullptr) << id << " " << key;
        sim.answerPassword(false);
        EXPECT_FALSE(sim.ended());
    }
    sim.post(msg::kKeyDown, kLeft);
    sim.answerPassword(true);
    EXPECT_TRUE(sim.ended());
}

TEST_F(SaverTest, WithoutTheChoiceTheRightArrowEndsTheSaverAsEveryKey) {
    writeSettings(settingsText({makeMedia("a.avi")}, "NextKey=2\r\n"));
    startSaver();
    sim.pressKey(0x27);
    EXPECT_TRUE(sim.ended());
}

TEST_F(PasswordTest, TheHostsEndRequestEndsTheSaverWithoutACheckStoppingItsMediaAndUnmuting) {
    writeSettings(
        settingsText({makeMedia("a.avi", {.lengthMs = 60'000})}, "Starton=0\r\nEndon=1\r\n"));
    startSaver();
    sim.requestEnd();
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.libraryLoads, std::vector<std::string>{}) << "the locker asked for it";
    EXPECT_EQ(os.mediaRequests.back(), "close " + os.opens.back().file);
    EXPECT_EQ(os.mixer.muteValues, (std::vector<bool>{true, false}));
    EXPECT_FALSE(os.screenSaverRunning);
}

TEST_F(PasswordTest, TheSaverEndsWithoutACheckWhenThePasswordIsOffOrCannotBeChecked) {
    struct Case {
        const char* what;
        std::function<void(headless::HeadlessPlatform&)> arrange;
    };
    const Case cases[] = {
        {"NT family", [](auto& p) { p.platformIdValue = 2; }},
        {"value 0",
         [](auto& p) { p.registry["Control Panel\\desktop"]["ScreenSaveUsePassword"] = 0u; }},
        {"value missing", [](auto& p) { p.registry["Control Panel\\desktop"].clear(); }},
        {"key missing", [](auto& p) { p.registry.clear(); }},
        {"library missing", [](auto& p) { p.libraries.clear(); }},
        {"entry point missing", [](auto& p) { p.libraries.begin()->second.entryPoints.clear(); }},
    };
    for (const Case& c : cases) {
        CheckedSimulation run{c.what};
        auto& platform = run.platform();
        platform.platformIdValue = 1;
        platform.registry = os.registry;
        platform.libraries[platform.systemDir + platform.pathSeparator() + "PASSWORD.CPL"]
            .entryPoints = {"VerifyScreenSavePwd"};
        c.arrange(platform);
        run.start("morvel.scr /S");
        run.post(msg::kKeyDown);
        EXPECT_TRUE(run.ended()) << c.what;
        EXPECT_EQ(platform.librariesLoaded, 0) << c.what;
    }
}

// --- Mute
// -----------------------------------------------------------------------------------------

TEST_F(SaverTest, MutesAtTheStartAndUnmutesAtTheEndAsChosen) {
    writeSettings(settingsText({makeMedia("a.avi")}, "Starton=0\r\nEndon=1\r\n"));
    startSaver();
    EXPECT_EQ(os.mixer.muteValues, (std::vector<bool>{true}));
    sim.post(msg::kKeyDown);
    EXPECT_EQ(os.mixer.muteValues, (std::vector<bool>{true, false}));
}

TEST_F(SaverTest, OtherMuteChoicesLeaveTheMixerAlone) {
    writeSettings(settingsText({makeMedia("a.avi")}, "Starton=2\r\nEndon=-1\r\n"));
    startSaver();
    sim.post(msg::kKeyDown);
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.mixer.queries, 0);
}

TEST_F(SaverTest, AStartMuteFailureIsReportedAndStopsTheSetUp) {
    const std::string song = makeMedia("song.wav", {.hasVideo = false});
    writeSettings(settingsText({makeMedia("a.avi")}, "Starton=1\r\n", song));
    os.mixer.controlResult = 1025;
    startSaver();
    expectBox(MessageBoxKind::Error, "Morvel Screensaver",
              "Volume setting error... error is #1025.");
    EXPECT_TRUE(os.mixer.muteValues.empty());
    EXPECT_TRUE(os.plays.empty());
    EXPECT_FALSE(timerRunning());
    EXPECT_FALSE(label().visible);
    EXPECT_TRUE(os.window("TForm1")->visible);
    EXPECT_EQ(os.window("TForm1")->color, platform::Color::rgb(0, 0, 0));
    sim.post(msg::kKeyDown);
    EXPECT_TRUE(sim.ended());
}

TEST_F(SaverTest, AnEndMuteFailureEndsTheProcessWithAReport) {
    writeSettings(settingsText({makeMedia("a.avi")}, "Endon=0\r\n"));
    os.mixer.lineResult = 1024;
    startSaver();
    sim.post(msg::kKeyDown);
    EXPECT_TRUE(sim.ended());
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_EQ(os.fatalReport, "Volume setting error... error is #1024.");
    EXPECT_FALSE(os.screenSaverRunning);
    os.fatalReport.reset();
}

}  // namespace
}  // namespace morvel::testing
