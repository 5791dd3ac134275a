// How one clip follows another: dissolves, where long clips start, the state file that
// remembers where they were left, the videos' volume, how the pictures are drawn, and the
// saver going dark after a while or on battery.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "saver/clip_timing.h"
#include "saver_fixture.h"
#include "store/resume_file.h"

namespace morvel::testing {
namespace {

namespace msg = platform::msg;

class FlowTest : public SimulationTest {
  protected:
    void startSaver(const std::vector<std::string>& clips, const std::string& options) {
        os.stateDir = (sim.folder() / "state").string();
        writeSettings(settingsText(clips, options));
        sim.start("morvel.scr /S");
        ASSERT_FALSE(sim.ended());
        startMs_ = os.opens.empty() ? 0 : os.opens.front().atMs;
    }
    // When, since the first open, this file was opened for the nth time (from 0); -1 never.
    std::int64_t openedAt(const std::string& file, int nth = 0) const {
        for (const auto& open : os.opens) {
            if (open.file == file && nth-- == 0) {
                return open.atMs - startMs_;
            }
        }
        return -1;
    }
    // The requests about one file, in order, without the file's name.
    std::vector<std::string> requestsFor(const std::string& file) const {
        std::vector<std::string> requests;
        for (const std::string& request : os.mediaRequests) {
            if (request.ends_with(" " + file)) {
                requests.push_back(request.substr(0, request.size() - file.size() - 1));
            }
        }
        return requests;
    }
    bool sawRequest(const std::string& request) const {
        return std::find(os.mediaRequests.begin(), os.mediaRequests.end(), request) !=
               os.mediaRequests.end();
    }
    std::string resumeFile() const { return os.stateDir + "/resume-points"; }

    std::int64_t startMs_ = 0;
};

// --- Dissolves ------------------------------------------------------------------------------

struct DissolveCase {
    const char* what;
    int fadeMs;
    int lengthMs;
    std::uint32_t dissolveMs;  // how long the change takes
};

class DissolveTest : public FlowTest, public ::testing::WithParamInterface<DissolveCase> {};

// The first clip fades in from black; the next opens a dissolve before the end on the second
// device, fades in as the first fades out over the same time, and the first closes after.
TEST_P(DissolveTest, TheNextClipStartsOneDissolveBeforeTheEndAndTheOldClosesAfterIt) {
    const DissolveCase& c = GetParam();
    const std::string a = makeMedia("a.mp4", {.lengthMs = c.lengthMs});
    const std::string b = makeMedia("b.mp4", {.lengthMs = c.lengthMs});
    startSaver({a, b}, "Fade=" + std::to_string(c.fadeMs) + "\r\n");
    const std::string ramp = std::to_string(c.dissolveMs);
    const std::int64_t due = c.lengthMs - static_cast<std::int64_t>(c.dissolveMs);
    // The clip before closes once its dissolve has passed.
    sim.advance(due + c.dissolveMs - 60);
    EXPECT_FALSE(sawRequest("close " + a));
    sim.advance(120);
    EXPECT_TRUE(sawRequest("close " + a));

    EXPECT_GE(openedAt(b), due);
    EXPECT_LE(openedAt(b), due + 50) << "within a tick";
    const std::vector<std::string> forA = requestsFor(a);
    ASSERT_GE(forA.size(), 4u);
    EXPECT_EQ(
        std::vector(forA.begin(), forA.begin() + 4),
        (std::vector<std::string>{"fade 0-100 " + ramp, "play", "fade 100-0 " + ramp, "close"}));
    const std::vector<std::string> forB = requestsFor(b);
    ASSERT_GE(forB.size(), 2u);
    EXPECT_EQ(forB[0], "fade 0-100 " + ramp);
    EXPECT_EQ(forB[1], "play");
    EXPECT_EQ(os.plays[0].display, os.plays[1].display) << "one panel, two devices";
    EXPECT_EQ(os.enginesAlive, 3) << "two for the video, one for the sound";
}

INSTANTIATE_TEST_SUITE_P(Lengths, DissolveTest,
                         ::testing::Values(DissolveCase{"one second", 1000, 10'000, 1000},
                                           DissolveCase{
                                               "a clip shorter than two fades for half its length",
                                               2000, 3000, 1500},
                                           DissolveCase{"the longest", 5000, 60'000, 5000}),
                         [](const auto& info) { return std::to_string(info.index); });

// Without Fade, and with a value out of range, the saver cuts as it always has: one device,
// nothing asked of it that it was not asked before.
TEST_F(FlowTest, WithoutADissolveTheClipsCutAsBefore) {
    for (const char* fade : {"", "Fade=0\r\n", "Fade=5001\r\n", "Fade=-500\r\n"}) {
        CheckedSimulation run(fade);
        headless::HeadlessPlatform& machine = run.platform();
        const std::filesystem::path clip = run.folder() / "a.avi";
        std::ofstream(clip) << "x";
        machine.media[clip.string()] = {.lengthMs = 2000};
        std::ofstream(run.folder() / "morvel4.ini", std::ios::binary)
            << settingsText({clip.string()}, fade);
        run.start("morvel.scr /S");
        run.advance(2100);
        EXPECT_EQ(machine.enginesAlive, 2) << fade;
        EXPECT_EQ(machine.mediaRequests,
                  (std::vector<std::string>{"play " + clip.string(), "close " + clip.string(),
                                            "play " + clip.string()}))
            << fade;
    }
}

// A clip whose pictures cannot be blended is cut in and out; a clip of no known length
// dissolves into nothing and is cut at its end; the clips around them still dissolve.
TEST_F(FlowTest, AClipThatCannotFadeOrTellItsLengthIsCut) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 4000});
    const std::string b = makeMedia("b.mpg", {.lengthMs = 4000, .canFade = false});
    const std::string c = makeMedia("c.mp4", {.lengthMs = 4000, .tellsLength = false});
    startSaver({a, b, c}, "Fade=1000\r\n");
    sim.advance(4000 + 4000 + 4000 + 100);
    // a dissolves into b, which cannot fade: a closes as b opens, and b plays at once.
    EXPECT_EQ(requestsFor(a).at(2), "close");
    EXPECT_EQ(requestsFor(b), (std::vector<std::string>{"play", "close"}));
    EXPECT_GE(openedAt(c), 3000 + 4000) << "b played to its end";
    EXPECT_EQ(requestsFor(c).at(0), "play") << "no length: no fade in";
    EXPECT_GE(openedAt(a, 1), 3000 + 4000 + 4000) << "c played to its end, then a is cut in";
}

// The right arrow dissolves too, from where the clip is; a key that ends the saver stops
// both clips of a dissolve at once.
TEST_F(FlowTest, TheRightArrowDissolvesAndAKeyEndsADissolveAtOnce) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 30'000});
    const std::string b = makeMedia("b.mp4", {.lengthMs = 30'000});
    startSaver({a, b}, "Fade=2000\r\nNextKey=1\r\n");
    sim.advance(5000);
    sim.pressKey(0x27);
    EXPECT_TRUE(sawRequest("fade 0-100 2000 " + b));
    EXPECT_TRUE(sawRequest("fade 100-0 2000 " + a));
    sim.advance(500);
    sim.pressKey(0x41);
    EXPECT_TRUE(sim.ended());
    EXPECT_TRUE(sawRequest("stop " + a));
    EXPECT_TRUE(sawRequest("stop " + b));
}

// The same clip on every monitor: one device draws into every panel, and so does the second,
// so that both clips of a dissolve are blended on each.
TEST_F(FlowTest, EveryMonitorDissolvesTheSameClipFromOneDecoding) {
    os.screens = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
    os.mediaMirrors = true;
    const std::string a = makeMedia("a.mp4", {.lengthMs = 3000, .width = 640, .height = 360});
    const std::string b = makeMedia("b.mp4", {.lengthMs = 3000, .width = 320, .height = 240});
    startSaver({a, b}, "Monitors=1\r\nFade=500\r\n");
    sim.advance(2600);
    ASSERT_EQ(os.plays.size(), 4u);
    EXPECT_EQ(os.enginesAlive, 3);
    for (std::size_t monitor = 0; monitor < 2; ++monitor) {
        const headless::PlayRecord& first = os.plays[monitor];
        const headless::PlayRecord& next = os.plays[monitor + 2];
        EXPECT_EQ(next.display, first.display);
        EXPECT_EQ(next.panel, first.panel) << "the panel keeps its monitor while both show";
        EXPECT_EQ(next.panel, os.screens[monitor]) << "the whole monitor";
    }
    // Own size, centred in the panel that is the whole monitor.
    EXPECT_EQ(os.plays[2].picture, (media::VideoRect{320, 240, 352, 264}));
}

// --- Where long clips start -----------------------------------------------------------------

TEST(ClipTimingTest, RandomPointsKeepClearOfTheEndAndShortClipsStartAtTheirStart) {
    std::mt19937 random(7);
    EXPECT_EQ(saver::RandomStart(59'999, 0, random), 0u);
    EXPECT_EQ(saver::LatestStart(100'000, 0), 90'000u) << "anywhere but the last tenth";
    EXPECT_EQ(saver::LatestStart(60'000, 5000), 50'000u) << "never within two dissolves";
    std::set<std::uint32_t> seen;
    for (int n = 0; n < 2000; ++n) {
        const std::uint32_t start = saver::RandomStart(100'000, 1000, random);
        ASSERT_LT(start, 90'000u);
        seen.insert(start / 10'000);
    }
    EXPECT_EQ(seen.size(), 9u) << "spread over the whole range";
    EXPECT_EQ(saver::ResumedStart(100'000, 1000, 89'999), 89'999u);
    EXPECT_EQ(saver::ResumedStart(100'000, 1000, 95'000), 0u) << "left at its very end";
    EXPECT_EQ(saver::ResumedStart(30'000, 0, 10'000), 0u) << "a short clip";
    EXPECT_EQ(saver::ResumedStart(100'000, 0, std::nullopt), 0u);
}

// Each time a long clip comes up it gets a new point; a short one always starts at its start.
TEST_F(FlowTest, ARandomStartIsChosenAfreshEachTimeALongClipComesUp) {
    const std::string hour = makeMedia("fire.mp4", {.lengthMs = 3'600'000});
    const std::string shortClip = makeMedia("short.mp4", {.lengthMs = 20'000});
    startSaver({hour, shortClip}, "StartAt=1\r\nNextKey=1\r\n");
    for (int n = 0; n < 5; ++n) {
        sim.pressKey(0x27);
    }
    std::set<std::string> seeks;
    for (const std::string& request : requestsFor(hour)) {
        if (request.starts_with("seek ")) {
            seeks.insert(request);
            EXPECT_LT(std::stoul(request.substr(5)), 3'240'000u);
        }
    }
    EXPECT_EQ(seeks.size(), 3u) << "three turns of the long clip, three points";
    for (const std::string& request : requestsFor(shortClip)) {
        EXPECT_FALSE(request.starts_with("seek")) << request;
    }
}

// Where they stopped: the point a clip was left at is kept in the saver's own file, read at
// the next start; a clip that played to its end starts again from its start.
TEST_F(FlowTest, WhereTheyStoppedIsKeptInTheStateFileAcrossRuns) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 120'000});
    const std::string b = makeMedia("b.mp4", {.lengthMs = 61'000});
    startSaver({a, b}, "StartAt=2\r\nNextKey=1\r\n");
    sim.advance(40'000);
    sim.pressKey(0x27);   // a left at 40 s
    sim.advance(61'100);  // b plays to its end, a comes up again at 40 s
    EXPECT_TRUE(sawRequest("seek 40000 " + a));
    sim.advance(10'000);
    sim.pressKey(0x41);  // the saver ends with a at 50 s
    ASSERT_TRUE(sim.ended());

    const store::ResumePoints points = store::ResumePoints::Load(resumeFile());
    ASSERT_TRUE(points.find(a).has_value());
    EXPECT_NEAR(*points.find(a), 50'000, 100);
    EXPECT_EQ(points.find(b), std::nullopt) << "played to its end";
    std::ifstream settings(settingsPath(), std::ios::binary);
    const std::string settingsNow{std::istreambuf_iterator<char>(settings), {}};
    EXPECT_EQ(settingsNow, settingsText({a, b}, "StartAt=2\r\nNextKey=1\r\n"))
        << "the saver never writes the settings file";
}

// The file keeps the last 500 files left; a torn, cut or edited file reads as empty.
TEST(ResumePointsTest, TheFileIsBoundedAndAnythingButAWholeFileReadsAsEmpty) {
    store::ResumePoints points;
    for (int n = 0; n < 501; ++n) {
        points.remember("/v/" + std::to_string(n) + ".mp4", static_cast<std::uint32_t>(n));
    }
    points.remember("/v/7.mp4", 777);
    points.remember("bad\nname", 1);
    EXPECT_EQ(points.size(), store::ResumePoints::kMaxFiles);
    EXPECT_EQ(points.find("/v/0.mp4"), std::nullopt) << "the oldest went";
    EXPECT_EQ(points.find("/v/7.mp4"), 777u);
    const std::string text = points.text();
    const store::ResumePoints again = store::ResumePoints::Parse(text);
    EXPECT_EQ(again.size(), points.size());
    EXPECT_EQ(again.text(), text);

    const std::string whole = "[Morvel resume points 1]\n5\t/a b.mp4\n[end 1]\n";
    EXPECT_EQ(store::ResumePoints::Parse(whole).find("/a b.mp4"), 5u);
    for (const std::string& broken :
         {whole.substr(0, whole.size() - 1), whole.substr(0, 30), std::string("5\t/a.mp4\n"),
          std::string("[Morvel resume points 1]\nx\t/a.mp4\n[end 1]\n"),
          std::string("[Morvel resume points 1]\n5\t/a.mp4\n[end 2]\n"),
          std::string("[Morvel resume points 1]\n5/a.mp4\n[end 1]\n"), std::string("\n\n")}) {
        EXPECT_EQ(store::ResumePoints::Parse(broken).size(), 0u) << broken;
    }
}

// A corrupt state file costs the points, never the saver, and is written whole again.
TEST_F(FlowTest, ACorruptStateFileStartsClipsAtTheirStart) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 120'000});
    std::filesystem::create_directories(sim.folder() / "state");
    std::ofstream(sim.folder() / "state" / "resume-points", std::ios::binary)
        << "[Morvel resume points 1]\n40000\t" << a << "\n[end 7]\n";
    startSaver({a}, "StartAt=2\r\n");
    EXPECT_EQ(requestsFor(a).at(0), "play");
    sim.advance(1000);
    sim.pressKey(0x41);
    EXPECT_EQ(store::ResumePoints::Load(resumeFile()).find(a), 1000u) << "rewritten whole";
}

// --- Volume ---------------------------------------------------------------------------------

TEST_F(FlowTest, TheVideosVolumeGoesToTheHeardDeviceOnly) {
    os.screens = {{0, 0, 1024, 768}, {1024, 0, 1024, 768}};
    const std::string a = makeMedia("a.mp4");
    const std::string b = makeMedia("b.mp4");
    startSaver({a, b}, "Monitors=2\r\nVolume=35\r\n");
    EXPECT_EQ(requestsFor(a), (std::vector<std::string>{"volume 35", "play"}));
    EXPECT_EQ(requestsFor(b), (std::vector<std::string>{"silent", "play"}));
    EXPECT_TRUE(os.mixer.muteValues.empty()) << "never the system's volume";
    for (const char* volume : {"Volume=100\r\n", "Volume=101\r\n", "Volume=-1\r\n", ""}) {
        CheckedSimulation run(volume);
        const std::filesystem::path clip = run.folder() / "a.avi";
        std::ofstream(clip) << "x";
        run.platform().media[clip.string()] = {};
        std::ofstream(run.folder() / "morvel4.ini", std::ios::binary)
            << settingsText({clip.string()}, volume);
        run.start("morvel.scr /S");
        EXPECT_EQ(run.platform().mediaRequests, std::vector<std::string>{"play " + clip.string()})
            << volume;
    }
}

// --- How the pictures are drawn ----------------------------------------------------------

// The platform hears the stored choice once, with the other settings; a value the saver does
// not know, or none, leaves the choice to the platform.
TEST_F(FlowTest, TheStoredRendererReachesThePlatformOnce) {
    using platform::Renderer;
    const std::pair<const char*, Renderer> cases[] = {
        {"Renderer=0\r\n", Renderer::Automatic},   {"Renderer=1\r\n", Renderer::Gdi},
        {"Renderer=2\r\n", Renderer::Direct3D},    {"Renderer=3\r\n", Renderer::Automatic},
        {"Renderer=gpu\r\n", Renderer::Automatic}, {"", Renderer::Automatic}};
    for (const auto& [option, expected] : cases) {
        CheckedSimulation run(option);
        const std::filesystem::path clip = run.folder() / "a.mp4";
        std::ofstream(clip) << "x";
        run.platform().media[clip.string()] = {};
        std::ofstream(run.folder() / "morvel4.ini", std::ios::binary)
            << settingsText({clip.string()}, option);
        run.start("morvel.scr /S");
        EXPECT_EQ(run.platform().rendererChoices, std::vector<Renderer>{expected}) << option;
    }
}

// --- Going dark -----------------------------------------------------------------------------

// After Dark's minutes everything stops and the monitors show black; nothing is held awake;
// a key still ends the saver, the right arrow too.
TEST_F(FlowTest, AfterDarksMinutesTheSaverStopsEverythingAndShowsBlack) {
    os.screens = {{0, 0, 1024, 768}, {1024, 0, 1024, 768}};
    const std::string a = makeMedia("a.mp4", {.lengthMs = 30'000});
    const std::string b = makeMedia("b.mp4", {.lengthMs = 30'000});
    const std::string sound = makeMedia("rain.wav", {.hasVideo = false});
    writeSettings(settingsText({a, b}, "Monitors=2\r\nDark=2\r\nClock=1\r\nNextKey=1\r\n", sound));
    os.stateDir = (sim.folder() / "state").string();
    sim.start("morvel.scr /S");
    sim.advance(119'000);
    EXPECT_TRUE(os.control("Panel1")->visible);
    EXPECT_EQ(os.keepAwakeReleases, 0);
    const std::size_t opens = os.opens.size();
    sim.advance(1500);
    EXPECT_EQ(os.keepAwakeReleases, 1);
    EXPECT_EQ(os.mediaRequests.back().substr(0, 5), "close");
    for (const char* name : {"Panel1", "Panel2", "lbltime"}) {
        EXPECT_FALSE(os.control(name)->visible) << name;
    }
    EXPECT_EQ(os.window("TForm1")->color, platform::Color::rgb(0, 0, 0));
    sim.advance(10 * 60'000);
    EXPECT_EQ(os.opens.size(), opens) << "nothing opens in the dark, the sound neither";
    sim.pressKey(0x27);
    EXPECT_TRUE(sim.ended());
}

// On battery the saver starts dark and plays when the mains comes back, and goes dark again
// when it leaves; without the choice the power source changes nothing.
TEST_F(FlowTest, OnBatteryTheSaverIsDarkUntilTheMainsComesBack) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 30'000});
    os.battery = true;
    startSaver({a}, "Battery=1\r\nClock=1\r\n");
    EXPECT_TRUE(os.plays.empty());
    EXPECT_EQ(os.keepAwakeReleases, 1);
    EXPECT_EQ(os.control("lbltime"), nullptr) << "no clock before anything plays";
    os.setOnBattery(false);
    sim.advance(100);
    ASSERT_EQ(os.plays.size(), 1u);
    EXPECT_TRUE(os.control("Panel1")->visible);
    EXPECT_TRUE(os.control("lbltime")->visible);
    os.setOnBattery(true);
    sim.advance(100);
    EXPECT_EQ(os.mediaRequests.back(), "close " + a);
    EXPECT_FALSE(os.control("Panel1")->visible);
    sim.post(msg::kLButtonDown);
    EXPECT_TRUE(sim.ended());
}

TEST_F(FlowTest, WithoutTheBatteryChoiceThePowerSourceChangesNothing) {
    const std::string a = makeMedia("a.mp4", {.lengthMs = 30'000});
    os.battery = true;
    startSaver({a}, "Battery=2\r\n");
    os.setOnBattery(false);
    os.setOnBattery(true);
    sim.advance(100);
    EXPECT_EQ(os.mediaRequests, std::vector<std::string>{"play " + a});
    EXPECT_EQ(os.keepAwakeReleases, 0);
}

}  // namespace
}  // namespace morvel::testing
