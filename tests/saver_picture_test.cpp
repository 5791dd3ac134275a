// What the saver's picture looks like: each fit of clips of several proportions on screens of
// several shapes, pixels that are not square, clips turned upright, and the clock and the
// caption over the video.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <ostream>

#include "saver/saver_overlay.h"
#include "saver_fixture.h"

namespace morvel::testing {
namespace {

using media::VideoRect;
using platform::Rect;

constexpr Rect kFullHd{0, 0, 1920, 1080};

class PictureTest : public SimulationTest {
  protected:
    void startSaver(const std::vector<std::string>& clips, const std::string& options) {
        writeSettings(settingsText(clips, options));
        sim.start("morvel.scr /S");
        ASSERT_FALSE(sim.ended());
    }
    const headless::ControlState* line(const char* name) const { return os.control(name); }
    bool shows(const char* name) const { return line(name) != nullptr && line(name)->visible; }
};

// --- Where the picture goes -----------------------------------------------------------------

struct Placed {
    Rect panel;
    VideoRect picture;
};

struct PictureCase {
    const char* what;
    std::string options;
    headless::MediaScript clip;
    std::vector<Rect> screens;
    std::vector<Placed> expected;  // one per device that played, in order
};

void PrintTo(const PictureCase& c, std::ostream* out) {
    *out << c.what;
}

class PicturePlaceTest : public PictureTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PicturePlaceTest, EachMonitorShowsTheClipInItsProportions) {
    const PictureCase& c = GetParam();
    os.screens = c.screens;
    startSaver({makeMedia("a.avi", c.clip)}, c.options);
    ASSERT_EQ(os.plays.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(os.plays[i].panel, c.expected[i].panel) << "play " << i;
        EXPECT_EQ(os.plays[i].picture, c.expected[i].picture) << "play " << i;
    }
}

constexpr headless::MediaScript kFourByThree{.width = 640, .height = 480};
constexpr headless::MediaScript kWide{.width = 1920, .height = 1080};
// A phone held upright stores its picture on its side and says to turn it.
constexpr headless::MediaScript kPhone{.width = 1920, .height = 1080, .rotation = 90};

INSTANTIATE_TEST_SUITE_P(
    Fits, PicturePlaceTest,
    ::testing::Values(
        PictureCase{"4:3 on 16:9, stretched as ever",
                    "Picdis=1\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{kFullHd, {1920, 1080}}}},
        PictureCase{"4:3 on 16:9, fit: bars left and right",
                    "Picdis=1\r\nFit=1\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{{240, 0, 1440, 1080}, {1440, 1080}}}},
        PictureCase{"4:3 on 16:9, fill: top and bottom cut off evenly",
                    "Picdis=1\r\nFit=2\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{kFullHd, {1920, 1440, 0, -180}}}},
        PictureCase{"16:9 on 32:9, fit",
                    "Picdis=1\r\nFit=1\r\n",
                    kWide,
                    {{0, 0, 5120, 1440}},
                    {{{1280, 0, 2560, 1440}, {2560, 1440}}}},
        PictureCase{"16:9 on 32:9, fill",
                    "Picdis=1\r\nFit=2\r\n",
                    kWide,
                    {{0, 0, 5120, 1440}},
                    {{{0, 0, 5120, 1440}, {5120, 2880, 0, -720}}}},
        PictureCase{"16:9 on a portrait monitor, fit: halves to the even neighbour",
                    "Picdis=1\r\nFit=1\r\n",
                    kWide,
                    {{0, 0, 1080, 1920}},
                    {{{0, 656, 1080, 608}, {1080, 608}}}},
        PictureCase{"16:9 on a portrait monitor, fill",
                    "Picdis=1\r\nFit=2\r\n",
                    kWide,
                    {{0, 0, 1080, 1920}},
                    {{{0, 0, 1080, 1920}, {3413, 1920, -1166, 0}}}},
        // 720 x 576 with pixels 16/15 wide is 4:3 to the eye, though 5:4 in pixels.
        PictureCase{"pixels that are not square count",
                    "Picdis=1\r\nFit=1\r\n",
                    {.width = 720, .height = 576, .pixelAspectNum = 16, .pixelAspectDen = 15},
                    {kFullHd},
                    {{{240, 0, 1440, 1080}, {1440, 1080}}}},
        PictureCase{"medium: the fit is within the medium panel",
                    "Picdis=2\r\nFit=1\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{{600, 270, 720, 540}, {720, 540}}}},
        PictureCase{"the own size is the clip's, whatever the fit",
                    "Picdis=5\r\nFit=2\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{{640, 300, 640, 480}, {640, 480}}}},
        PictureCase{"a value not listed stretches",
                    "Picdis=1\r\nFit=7\r\n",
                    kFourByThree,
                    {kFullHd},
                    {{kFullHd, {1920, 1080}}}},
        PictureCase{"a phone clip, fit: upright and narrow",
                    "Picdis=1\r\nFit=1\r\n",
                    kPhone,
                    {kFullHd},
                    {{{656, 0, 608, 1080}, {608, 1080, 0, 0, 90}}}},
        PictureCase{"a phone clip, stretched: upright all the same",
                    "Picdis=1\r\n",
                    kPhone,
                    {kFullHd},
                    {{kFullHd, {1920, 1080, 0, 0, 90}}}},
        PictureCase{"a phone clip at its own size: the panel stands upright",
                    "Picdis=5\r\n",
                    {.width = 640, .height = 360, .rotation = 270},
                    {kFullHd},
                    {{{780, 220, 360, 640}, {360, 640, 0, 0, 270}}}},
        PictureCase{"one video across two monitors, fill: the area is both",
                    "Picdis=1\r\nFit=2\r\nMonitors=3\r\n",
                    kFourByThree,
                    {kFullHd, {1920, 0, 1920, 1080}},
                    {{{0, 0, 3840, 1080}, {3840, 2880, 0, -900}}}},
        PictureCase{"the same clip on a landscape and a portrait monitor: each its own fit",
                    "Picdis=1\r\nFit=1\r\nMonitors=1\r\n",
                    kWide,
                    {kFullHd, {1920, 0, 1080, 1920}},
                    {{kFullHd, {1920, 1080}}, {{1920, 656, 1080, 608}, {1080, 608}}}}));

// Two clips of other proportions in turn: each takes its own place before it plays.
TEST_F(PictureTest, EachClipOfAListTakesItsOwnProportions) {
    os.screens = {kFullHd};
    const std::string narrow =
        makeMedia("narrow.avi", {.lengthMs = 1000, .width = 640, .height = 480});
    const std::string wide =
        makeMedia("wide.mp4", {.lengthMs = 1000, .width = 2560, .height = 1080});
    startSaver({narrow, wide}, "Picdis=1\r\nFit=1\r\n");
    sim.advance(2100);
    ASSERT_GE(os.plays.size(), 3u);
    EXPECT_EQ(os.plays[0].panel, (Rect{240, 0, 1440, 1080}));
    EXPECT_EQ(os.plays[1].panel, (Rect{0, 135, 1920, 810}));
    EXPECT_EQ(os.plays[2].panel, (Rect{240, 0, 1440, 1080}));
}

// --- The clock and the caption --------------------------------------------------------------

TEST(OverlayLayout, SitsInTheLowerRightScaledToTheMonitorAndDriftsAFewPixels) {
    const saver::OverlayLayout layout = saver::LayOutOverlay({0, 0, 1920, 1080}, true, 0);
    EXPECT_EQ(layout.time, (saver::OverlayLine{{924, 883, 960, 81}, 54}));
    EXPECT_EQ(layout.date, (saver::OverlayLine{{924, 964, 960, 40}, 27}));
    EXPECT_EQ(layout.caption, (saver::OverlayLine{{924, 1004, 960, 40}, 27}));
    // Without a caption the clock keeps to the corner; on a monitor to the left of the
    // window's origin it moves with it.
    const saver::OverlayLayout alone = saver::LayOutOverlay({-1920, 0, 1920, 1080}, false, 0);
    EXPECT_EQ(alone.date.bounds, (Rect{-996, 1004, 960, 40}));
    for (int step = 0; step < 16; ++step) {
        const saver::Drift drift = saver::DriftOffset(step);
        EXPECT_LE(std::abs(drift.dx), 8);
        EXPECT_LE(std::abs(drift.dy), 8);
        const saver::Drift before = saver::DriftOffset(step + 1);
        EXPECT_TRUE(drift.dx != before.dx || drift.dy != before.dy) << "step " << step;
    }
}

TEST(OverlayCaption, IsTheFileNameWithoutFolderAndExtension) {
    EXPECT_EQ(saver::CaptionText("C:\\clips\\Holiday at the sea.avi"), "Holiday at the sea");
    EXPECT_EQ(saver::CaptionText("/home/ann/Видео/поезд.final.mp4"), "поезд.final");
    EXPECT_EQ(saver::CaptionText("/home/ann/.hidden"), ".hidden");
    EXPECT_EQ(saver::CaptionText("no extension"), "no extension");
}

TEST_F(PictureTest, WithoutTheKeysNothingShowsOverTheVideo) {
    startSaver({makeMedia("a.avi")}, "Picdis=1\r\nClock=3\r\nCaption=2\r\n");
    EXPECT_EQ(line("lbltime"), nullptr);
    EXPECT_EQ(line("lblname"), nullptr);
}

TEST_F(PictureTest, TheClockChangesOnTheMinuteTheCaptionGoesAfterFiveSecondsAndBothDrift) {
    os.screens = {kFullHd};
    const std::string a = makeMedia("a.avi", {.lengthMs = 20'000});
    const std::string b = makeMedia("b clip.mpg", {.lengthMs = 200'000});
    startSaver({a, b}, "Picdis=1\r\nClock=2\r\nCaption=1\r\n");
    ASSERT_TRUE(shows("lbltime") && shows("lbldate") && shows("lblname"));
    EXPECT_EQ(line("lbltime")->caption, "12:00");
    EXPECT_EQ(line("lbldate")->caption, "Thursday, 10 December 2026");
    EXPECT_EQ(line("lblname")->caption, "a");
    EXPECT_EQ(line("lbltime")->design.kind, platform::ControlKind::Overlay);
    EXPECT_EQ(line("lbltime")->bounds, (Rect{924, 883, 960, 81}));

    sim.advance(4500);
    EXPECT_TRUE(shows("lblname"));
    sim.advance(1000);
    EXPECT_FALSE(shows("lblname"));
    EXPECT_TRUE(shows("lbltime"));

    sim.advance(15'000);  // 20.5 s: the next clip, and its name
    EXPECT_TRUE(shows("lblname"));
    EXPECT_EQ(line("lblname")->caption, "b clip");
    sim.advance(40'000);  // 60.5 s
    EXPECT_EQ(line("lbltime")->caption, "12:01");
    EXPECT_FALSE(shows("lblname"));

    sim.advance(120'000);  // 180.5 s: a few pixels on
    EXPECT_EQ(line("lbltime")->bounds, (Rect{920, 881, 960, 81}));
    EXPECT_EQ(line("lbltime")->caption, "12:03");

    // A click on the clock reaches the saver as anywhere else.
    sim.clickAt("TForm1", 1800, 920);
    EXPECT_TRUE(sim.ended());
}

TEST_F(PictureTest, TheClockShowsWithTheNoticeButNeverOverIt) {
    os.screens = {kFullHd};
    startSaver({}, "Clock=1\r\n");
    EXPECT_TRUE(shows("lbltime"));
    EXPECT_TRUE(os.control("lblinfo")->visible);

    CheckedSimulation small("a monitor too small for both");
    small.platform().screens = {{0, 0, 640, 160}};
    std::ofstream((small.folder() / "morvel4.ini"), std::ios::binary)
        << settingsText({}, "Clock=1\r\n");
    small.start("morvel.scr /S");
    EXPECT_FALSE(small.platform().control("lbltime")->visible);
}

}  // namespace
}  // namespace morvel::testing
