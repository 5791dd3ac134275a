// The saver on several monitors: the layout of each arrangement, what plays where, the
// orders across monitors, sound, failures and the notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "saver_fixture.h"

namespace morvel::testing {
namespace {

using platform::Handle;
using platform::Rect;
using platform::WindowStyle;
using Plays = std::vector<headless::PlayRecord>;

// The files each display (Panel1, Panel2, ...; 0 for the sound) played, in order.
std::map<Handle, std::vector<std::string>> PlaysByDisplay(const Plays& plays) {
    std::map<Handle, std::vector<std::string>> byDisplay;
    for (const auto& play : plays) {
        byDisplay[play.display].push_back(play.file);
    }
    return byDisplay;
}

// Fails on a clip started on one panel while another still shows it.
void ExpectNoClipTwiceAtOnce(const Plays& plays, const std::string& context) {
    std::map<Handle, std::string> showing;
    for (const auto& play : plays) {
        for (const auto& [display, file] : showing) {
            EXPECT_FALSE(display != play.display && file == play.file)
                << context << ": " << play.file << " started at " << play.atMs
                << " while shown elsewhere";
        }
        showing[play.display] = play.file;
    }
}
namespace msg = platform::msg;

// The primary; one to its left and above it, smaller; one to its right, larger. Listed out
// of order: the saver takes them primary first, then left to right. The window spans
// {-800, -100, 3104 x 1124}: the primary lies at (800, 100) on it.
const std::vector<Rect> kThreeScreens = {
    {0, 0, 1024, 768}, {1024, 0, 1280, 1024}, {-800, -100, 800, 600}};

class MonitorsTest : public SimulationTest {
  protected:
    void SetUp() override { os.screens = kThreeScreens; }

    void startSaver() {
        sim.start("morvel.scr /S");
        ASSERT_FALSE(sim.ended());
    }
    Handle panelOf(int monitor) const {
        return os.control("Panel" + std::to_string(monitor))->handle;
    }
    std::vector<std::string> makeClips(const std::vector<int>& lengthsMs) {
        std::vector<std::string> clips;
        for (std::size_t i = 0; i < lengthsMs.size(); ++i) {
            clips.push_back(makeMedia(std::string(1, static_cast<char>('a' + i)) + ".avi",
                                      {.lengthMs = lengthsMs[i], .width = 321, .height = 241}));
        }
        return clips;
    }
};

// --- Layouts ----------------------------------------------------------------------------------

struct LayoutCase {
    const char* what;
    std::string options;
    WindowStyle style;
    std::vector<int> played;  // entries of the list (a, b, c) on Panel1, Panel2, ...
    std::vector<Rect> panels;
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.what;
}

class MonitorLayoutTest : public MonitorsTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(MonitorLayoutTest, EachMonitorGetsItsPanelAndClip) {
    const LayoutCase& c = GetParam();
    const std::vector<std::string> clips = makeClips({60'000, 60'000, 60'000});
    writeSettings(settingsText(clips, c.options));
    startSaver();
    EXPECT_EQ(os.window("TForm1")->design.style, c.style);
    ASSERT_EQ(os.plays.size(), c.panels.size());
    for (std::size_t i = 0; i < os.plays.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(os.plays[i].display, panelOf(static_cast<int>(i) + 1));
        EXPECT_EQ(os.plays[i].file, clips[static_cast<std::size_t>(c.played[i])]);
        EXPECT_EQ(os.plays[i].panel, c.panels[i]);
        EXPECT_EQ(os.plays[i].destinationWidth, c.panels[i].width);
        EXPECT_TRUE(os.plays[i].onScreen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllArrangements, MonitorLayoutTest,
    ::testing::Values(
        LayoutCase{"no Monitors key: the primary alone, as ever",
                   "Picdis=2\r\n",
                   WindowStyle::FullScreenTopmost,
                   {0},
                   {{256, 192, 512, 384}}},
        LayoutCase{"an unknown value: the primary alone",
                   "Picdis=2\r\nMonitors=4\r\n",
                   WindowStyle::FullScreenTopmost,
                   {0},
                   {{256, 192, 512, 384}}},
        // Half of each monitor, centred on it.
        LayoutCase{"the same clip, medium",
                   "Picdis=2\r\nMonitors=1\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0, 0, 0},
                   {{1056, 292, 512, 384}, {200, 150, 400, 300}, {2144, 356, 640, 512}}},
        // Each clip's own size (321 x 241) centred on each monitor, halves to even.
        LayoutCase{"the same clip, own size",
                   "Monitors=1\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0, 0, 0},
                   {{1152, 364, 321, 241}, {240, 180, 321, 241}, {2304, 492, 321, 241}}},
        // In sequence monitor k starts at entry k; a custom size is the same on each.
        LayoutCase{"a clip each, custom",
                   "Picdis=4\r\nWidth=640\r\nHeight=200\r\nMonitors=2\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0, 1, 2},
                   {{992, 384, 640, 200}, {80, 200, 640, 200}, {2144, 512, 640, 200}}},
        LayoutCase{"spread across, large",
                   "Picdis=1\r\nMonitors=3\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0},
                   {{0, 0, 3104, 1124}}},
        LayoutCase{"spread across, medium",
                   "Picdis=2\r\nMonitors=3\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0},
                   {{776, 281, 1552, 562}}}));

// Where the engine draws one decoding into several windows, the primary's device draws the
// same clip into every panel: each clip opens once, is heard, and moves on for all at once.
class MirroredLayoutTest : public MonitorLayoutTest {};

TEST_P(MirroredLayoutTest, OneDeviceDrawsTheSameClipIntoEveryPanel) {
    const LayoutCase& c = GetParam();
    os.mediaMirrors = true;
    const std::vector<std::string> clips = makeClips({1000, 700});
    writeSettings(settingsText(clips, c.options));
    startSaver();
    sim.advance(1000);
    const auto& [a, b] = std::pair(clips[0], clips[1]);
    EXPECT_EQ(os.mediaRequests, (std::vector<std::string>{"play " + a, "close " + a, "play " + b}));
    ASSERT_EQ(os.plays.size(), 2 * c.panels.size());
    for (std::size_t i = 0; i < os.plays.size(); ++i) {
        SCOPED_TRACE(i);
        const std::size_t monitor = i % c.panels.size();
        EXPECT_EQ(os.plays[i].display, panelOf(static_cast<int>(monitor) + 1));
        EXPECT_EQ(os.plays[i].mirrored, monitor > 0);
        EXPECT_EQ(os.plays[i].file, i < c.panels.size() ? a : b);
        EXPECT_EQ(os.plays[i].atMs, i < c.panels.size() ? 0 : 1000);
        EXPECT_EQ(os.plays[i].panel, c.panels[monitor]);
        EXPECT_EQ(os.plays[i].destinationWidth, c.panels[monitor].width);
        EXPECT_EQ(os.plays[i].destinationHeight, c.panels[monitor].height);
        EXPECT_TRUE(os.plays[i].onScreen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SameClip, MirroredLayoutTest,
    ::testing::Values(
        LayoutCase{"medium: each panel has its own size",
                   "Picdis=2\r\nMonitors=1\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0, 0, 0},
                   {{1056, 292, 512, 384}, {200, 150, 400, 300}, {2144, 356, 640, 512}}},
        LayoutCase{"own size: each panel takes the clip's size, centred on its monitor",
                   "Monitors=1\r\n",
                   WindowStyle::FullScreenEveryMonitor,
                   {0, 0, 0},
                   {{1152, 364, 321, 241}, {240, 180, 321, 241}, {2304, 492, 321, 241}}}));

// --- What plays where ------------------------------------------------------------------------

TEST_F(MonitorsTest, TheSameClipMovesOnOnEveryMonitorTogetherHeardOnThePrimaryAlone) {
    const std::vector<std::string> clips = makeClips({1000, 700});
    const std::string song = makeMedia("song.wav", {.lengthMs = 60'000, .hasVideo = false});
    writeSettings(settingsText(clips, "Monitors=1\r\n", song));
    startSaver();
    sim.advance(1000);
    const auto& [a, b] = std::pair(clips[0], clips[1]);
    // Where the engine cannot draw into several windows (the default here): the sound is heard
    // as ever; each clip opens on all three devices (the two beside the primary silenced), then
    // starts on each.
    EXPECT_EQ(os.mediaRequests,
              (std::vector<std::string>{"play " + song, "silent " + a, "silent " + a, "play " + a,
                                        "play " + a, "play " + a, "close " + a, "close " + a,
                                        "close " + a, "silent " + b, "silent " + b, "play " + b,
                                        "play " + b, "play " + b}));
    for (std::size_t i = 4; i < os.plays.size(); ++i) {
        EXPECT_EQ(os.plays[i].atMs, 1000);
    }
}

TEST_F(MonitorsTest, InSequenceEachMonitorMovesOnByItselfFromItsOwnStart) {
    const std::vector<std::string> clips = makeClips({1000, 310, 2000, 500, 700});
    writeSettings(settingsText(clips, "Monitors=2\r\n"));
    startSaver();
    sim.advance(3400);
    const auto& [a, b, c, d, e] = std::tuple(clips[0], clips[1], clips[2], clips[3], clips[4]);
    auto byDisplay = PlaysByDisplay(os.plays);
    EXPECT_EQ(byDisplay[panelOf(1)], (std::vector<std::string>{a, b, c, d}));
    EXPECT_EQ(byDisplay[panelOf(2)], (std::vector<std::string>{b, c, d, e}));
    EXPECT_EQ(byDisplay[panelOf(3)], (std::vector<std::string>{c, d, e, a}));
    // Each end is acted on within the 50 ms tick: b ends at 310 on the second monitor.
    std::vector<std::int64_t> secondMonitor;
    for (const auto& play : os.plays) {
        if (play.display == panelOf(2)) {
            secondMonitor.push_back(play.atMs);
        }
    }
    EXPECT_EQ(secondMonitor, (std::vector<std::int64_t>{0, 350, 2350, 2850}));
    // Only the primary's video is heard.
    EXPECT_EQ(std::count_if(os.mediaRequests.begin(), os.mediaRequests.end(),
                            [](const std::string& r) { return r.starts_with("audible"); }),
              0);
    EXPECT_EQ(std::count(os.mediaRequests.begin(), os.mediaRequests.end(), "silent " + a), 1);
    EXPECT_EQ(std::count(os.mediaRequests.begin(), os.mediaRequests.end(), "silent " + b), 1);
}

// A locker lends a window on each monitor and starts the saver in each: the one on the
// third monitor starts at the third entry, as that monitor does on the saver's own screen.
TEST_F(MonitorsTest, InALockersWindowEachMonitorStartsAtItsOwnEntry) {
    const std::vector<std::string> clips = makeClips({1000, 1000, 1000, 1000});
    for (const char* monitors : {"2", "0", "1", "3"}) {
        CheckedSimulation run{std::string("Monitors=") + monitors};
        auto& platform = run.platform();
        platform.screens = {{0, 0, 1280, 1024}};
        platform.firstMonitor = 2;
        std::ofstream(run.folder() / "morvel4.ini", std::ios::binary)
            << settingsText(clips, std::string("Monitors=") + monitors + "\r\n");
        for (const std::string& clip : clips) {
            platform.media[clip] = os.media[clip];
        }
        run.start("morvel.scr /S");
        run.advance(2500);
        std::vector<std::string> played;
        for (const auto& play : platform.plays) {
            played.push_back(play.file);
        }
        // Every other choice plays the list from its first entry in the window, as before.
        const std::vector<std::string> expected =
            std::string(monitors) == "2" ? std::vector<std::string>{clips[2], clips[3], clips[0]}
                                         : std::vector<std::string>{clips[0], clips[1], clips[2]};
        EXPECT_EQ(played, expected) << "Monitors=" << monitors;
    }
}

TEST_F(MonitorsTest, RandomAndShuffledOrdersNeverShowAClipOnTwoMonitorsAtOnce) {
    for (const char* order : {"1", "3"}) {
        const std::string context = std::string("Picord=") + order;
        CheckedSimulation run{context};
        auto& platform = run.platform();
        platform.screens = kThreeScreens;
        std::vector<std::string> clips;
        for (int i = 0; i < 4; ++i) {
            const auto path = run.folder() / ("clip" + std::to_string(i) + ".avi");
            std::ofstream(path) << "x";
            platform.media[path.string()] = {.lengthMs = 150 + 100 * i};
            clips.push_back(path.string());
        }
        std::ofstream(run.folder() / "morvel4.ini")
            << settingsText(clips, "Monitors=2\r\n" + context + "\r\n");
        run.start("morvel.scr /S");
        run.advance(30'000);
        EXPECT_GT(platform.plays.size(), 200u) << context;
        ExpectNoClipTwiceAtOnce(platform.plays, context);
        const auto byDisplay = PlaysByDisplay(platform.plays);
        EXPECT_EQ(byDisplay.size(), 3u) << context;
        for (const auto& [display, files] : byDisplay) {
            EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), 4u)
                << context << ": every clip comes to every monitor";
        }
    }
}

TEST_F(MonitorsTest, ShuffledRoundsPlayEveryClipOnceAndNeverRepeatAcrossTheirBoundary) {
    os.screens = {{0, 0, 1024, 768}};
    const std::vector<std::string> clips = makeClips({100, 150, 200, 250});
    writeSettings(settingsText(clips, "Picord=3\r\n"));
    startSaver();
    sim.advance(20'000);
    const std::vector<std::string> played = playedFiles();
    ASSERT_GT(played.size(), 80u);
    std::set<std::vector<std::string>> orders;
    for (std::size_t start = 0; start + 4 <= played.size(); start += 4) {
        std::vector<std::string> round(played.begin() + static_cast<long>(start),
                                       played.begin() + static_cast<long>(start) + 4);
        orders.insert(round);
        std::sort(round.begin(), round.end());
        EXPECT_EQ(round, clips) << "round from play " << start;
    }
    EXPECT_EQ(std::adjacent_find(played.begin(), played.end()), played.end());
    EXPECT_GT(orders.size(), 5u) << "each round in a new order";
}

// --- Failures and the notice -----------------------------------------------------------------

TEST_F(MonitorsTest, ACorruptClipHaltsItsMonitorAloneWithTheMessage) {
    const std::vector<std::string> clips = makeClips({60'000, 1200, 1000});
    const std::string bad =
        makeMedia("bad.avi", {.openError = 277, .openErrorText = "Not a video."});
    const std::string song = makeMedia("song.wav", {.lengthMs = 500, .hasVideo = false});
    writeSettings(settingsText({clips[0], clips[1], clips[2], bad}, "Monitors=2\r\n", song));
    const std::string corrupt = "An error occurred trying to play the video file " + bad +
                                ". The video file appears to be corrupt. Please verify that "
                                "your video files are viewable.";
    startSaver();
    sim.advance(1000);  // the third monitor follows c with the corrupt clip
    headless::Prompt* box = sim.openPrompt();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->caption, "Error");
    EXPECT_EQ(box->text, corrupt);
    box->seen = true;
    sim.advance(500);  // behind the box the second monitor moves on to c at 1200
    sim.answer();
    auto byDisplay = PlaysByDisplay(os.plays);
    EXPECT_EQ(byDisplay[panelOf(1)], (std::vector<std::string>{clips[0]}));
    EXPECT_EQ(byDisplay[panelOf(2)], (std::vector<std::string>{clips[1], clips[2]}));
    EXPECT_EQ(byDisplay[panelOf(3)], (std::vector<std::string>{clips[2]}));
    EXPECT_TRUE(os.timerRunning(os.window("TForm1")->handle, 1));

    sim.advance(1000);  // at 2200 the second monitor meets the same clip
    expectBox(platform::MessageBoxKind::Error, "Error", corrupt);
    sim.advance(2000);
    EXPECT_EQ(sim.openPrompt(), nullptr) << "halted monitors stay quiet";
    byDisplay = PlaysByDisplay(os.plays);
    EXPECT_EQ(byDisplay[panelOf(1)], (std::vector<std::string>{clips[0]}));
    EXPECT_EQ(byDisplay[panelOf(2)].size(), 2u);
    EXPECT_EQ(byDisplay[panelOf(3)].size(), 1u);
    EXPECT_EQ(byDisplay[0].size(), 5u) << "the sound still repeats every second";

    sim.post(msg::kMouseMove);
    EXPECT_FALSE(sim.ended());
    sim.post(msg::kKeyDown, 'A');
    EXPECT_TRUE(sim.ended());
    EXPECT_EQ(os.enginesAlive, 0);
}

TEST_F(MonitorsTest, WithoutVideosTheNoticeTakesThePrimaryAndTheOthersStayBlack) {
    writeSettings(settingsText({}, "Monitors=3\r\n"));
    startSaver();
    const headless::WindowState& form = *os.window("TForm1");
    EXPECT_EQ(form.design.style, WindowStyle::FullScreenEveryMonitor);
    EXPECT_EQ(form.color, platform::Color::rgb(255, 255, 255));
    const headless::ControlState& label = *os.control("lblinfo");
    EXPECT_TRUE(label.visible);
    EXPECT_EQ(label.bounds, (Rect{868, 147, 469, 106}));
    EXPECT_FALSE(os.control("Panel1")->visible);
    for (const auto& [name, area] : {std::pair("Cover2", Rect{0, 0, 800, 600}),
                                     std::pair("Cover3", Rect{1824, 100, 1280, 1024})}) {
        const headless::ControlState* cover = os.control(name);
        ASSERT_NE(cover, nullptr) << name;
        EXPECT_TRUE(cover->visible);
        EXPECT_EQ(cover->bounds, area);
        EXPECT_EQ(cover->design.background, platform::Color::rgb(0, 0, 0));
    }
    // The notice itself is the control seen on the primary monitor.
    EXPECT_EQ(os.controlAt(form.handle, 900, 160), &label);
    EXPECT_TRUE(os.plays.empty());
}

}  // namespace
}  // namespace morvel::testing
