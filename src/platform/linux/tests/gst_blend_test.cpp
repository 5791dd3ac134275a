// The GStreamer engine's dissolves and seeking: the compositor's weighted sum over black, the
// fade's ramp, two engines blending into one panel, a clip's length, and a seek that shows the
// frame it lands on first, with and without blending. The screen cases need an X display
// and ffmpeg, and are skipped without them.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/gst_compositor.h"
#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/tests/gst_fixture.h"

namespace morvel::linux_backend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A BGRx picture of one colour (0xRRGGBB).
std::vector<std::uint8_t> Solid(int width, int height, unsigned long colour) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t at = 0; at < pixels.size(); at += 4) {
        pixels[at] = colour & 0xFF;
        pixels[at + 1] = (colour >> 8) & 0xFF;
        pixels[at + 2] = (colour >> 16) & 0xFF;
        pixels[at + 3] = 0xFF;
    }
    return pixels;
}

unsigned long PixelAt(const std::vector<std::uint8_t>& panel, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return (panel[at + 2] << 16) | (panel[at + 1] << 8) | panel[at];
}

TEST(ComposeOverBlack, AddsWeightedPicturesOnlyWhereTheyLieAndKeepsTheRestBlack) {
    constexpr int kWidth = 8;
    constexpr int kHeight = 6;
    const std::vector<std::uint8_t> red = Solid(kWidth, kHeight, 0xFF0000);
    const std::vector<std::uint8_t> blue = Solid(4, 2, 0x0000FF);
    const std::vector<std::uint8_t> white = Solid(4, 4, 0xFFFFFF);
    std::vector<std::uint8_t> panel = Solid(kWidth, kHeight, 0x123456);  // last sum's leftovers

    // Red over the whole panel at half, blue at half in a 4x2 rectangle at (2, 2), and white
    // whole hanging past the bottom right corner from (6, 4).
    ComposeOverBlack(panel.data(), kWidth * 4, kWidth, kHeight,
                     {{red.data(), kWidth * 4, kWidth, kHeight, 0, 0, FixedWeight(0.5)},
                      {blue.data(), 4 * 4, 4, 2, 2, 2, FixedWeight(0.5)},
                      {white.data(), 4 * 4, 4, 4, 6, 4, 256}});
    EXPECT_EQ(PixelAt(panel, kWidth, 3, 3), 0x800080u) << "half red and half blue";
    EXPECT_EQ(PixelAt(panel, kWidth, 1, 1), 0x800000u) << "half red over black";
    EXPECT_EQ(PixelAt(panel, kWidth, 6, 2), 0x800000u) << "just right of the blue";
    EXPECT_EQ(PixelAt(panel, kWidth, 7, 5), 0xFFFFFFu) << "white over red stays white";

    // A picture smaller than the panel alone: black around it, whatever was there before.
    ComposeOverBlack(panel.data(), kWidth * 4, kWidth, kHeight,
                     {{blue.data(), 4 * 4, 4, 2, 2, 2, 256}});
    EXPECT_EQ(PixelAt(panel, kWidth, 2, 2), 0x0000FFu);
    EXPECT_EQ(PixelAt(panel, kWidth, 5, 3), 0x0000FFu);
    for (const auto [x, y] : {std::array{1, 2}, {6, 3}, {3, 1}, {3, 4}, {0, 0}, {7, 5}}) {
        EXPECT_EQ(PixelAt(panel, kWidth, x, y), 0u) << x << "," << y;
    }
}

class GstBlendTest : public GstDisplayTest {
  protected:
    void SetUp() override {
        if (!hasDisplay_) {
            GTEST_SKIP() << "no X display";
        }
        makeFolder("morvel-blend");
    }

    // An H.264 clip of `colours` a second each at 10 frames a second, one key frame only: a
    // seek has to decode its way from the start.
    fs::path MakeClip(const std::string& name, const std::vector<std::string>& colours) {
        const fs::path clip = dir_ / (name + ".mp4");
        std::string command = "ffmpeg -loglevel error -y";
        for (const std::string& colour : colours) {
            command += " -f lavfi -i color=c=" + colour + ":s=160x120:d=1:r=10";
        }
        command += " -filter_complex concat=n=" + std::to_string(colours.size()) +
                   ":v=1 -c:v libx264 -g 1000 -pix_fmt yuv420p " + clip.string();
        if (std::system(command.c_str()) != 0) {
            return {};
        }
        return clip;
    }

    // A black 200 x 100 panel on a shown form.
    Handle ShownPanel(LinuxPlatform& platform) {
        platform::WindowSpec form;
        form.className = "TFormTest";
        form.clientSize = {300, 200};
        window_ = platform.createWindow(form);
        platform::ControlSpec design;
        design.kind = platform::ControlKind::Panel;
        design.background = platform::Color::rgb(0, 0, 0);
        design.bounds = {0, 0, 200, 100};
        const Handle panel = platform.createControl(window_, design);
        platform.showWindow(window_, true);
        return panel;
    }

    // The screen's colour at a point of the panel's form, 0xRRGGBB.
    static unsigned long ColourAt(Handle panel, int x, int y) {
        return ScreenColourAt(gtk_widget_get_toplevel(reinterpret_cast<GtkWidget*>(panel)), x, y);
    }

    static bool Near(unsigned long seen, unsigned long colour, int tolerance = 40) {
        for (int shift : {0, 8, 16}) {
            const int difference = static_cast<int>((seen >> shift) & 0xFF) -
                                   static_cast<int>((colour >> shift) & 0xFF);
            if (difference > tolerance || difference < -tolerance) {
                return false;
            }
        }
        return true;
    }

    // Runs GTK until `done` or five seconds.
    template <typename Done>
    static void RunUntil(Done done) {
        const auto deadline = steady_clock::now() + std::chrono::seconds(5);
        while (!done() && steady_clock::now() < deadline) {
            g_main_context_iteration(nullptr, FALSE);
            std::this_thread::sleep_for(milliseconds(5));
        }
    }

    Handle window_ = 0;
};

TEST_F(GstBlendTest, TwoEnginesInOnePanelAddUpTheirWeightedPicturesOverBlack) {
    const fs::path red = MakeClip("red", {"red", "red", "red"});
    const fs::path blue = MakeClip("blue", {"blue", "blue", "blue"});
    if (red.empty() || blue.empty()) {
        GTEST_SKIP() << "no ffmpeg to make the clips with";
    }
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const Handle panel = ShownPanel(platform);
    GstEngine redEngine;
    GstEngine blueEngine;
    // Red over the whole panel, blue at half its size in the middle, each at half.
    for (auto [engine, clip, rect] :
         {std::tuple{&redEngine, red, media::VideoRect{200, 100}},
          std::tuple{&blueEngine, blue, media::VideoRect{100, 50, 50, 25}}}) {
        engine->preferBlending(true);
        ASSERT_EQ(engine->open(clip, true), 0u);
        EXPECT_TRUE(engine->canFade());
        ASSERT_EQ(engine->setWindow(panel), 0u);
        ASSERT_EQ(engine->put(rect), 0u);
        ASSERT_EQ(engine->fade(0.5, 0.5, 0), 0u);
        ASSERT_EQ(engine->play(), 0u);
    }
    RunUntil([&] { return Near(ColourAt(panel, 100, 50), 0x800080, 12); });
    EXPECT_TRUE(Near(ColourAt(panel, 100, 50), 0x800080, 12))
        << std::hex << ColourAt(panel, 100, 50) << " in the middle";
    EXPECT_TRUE(Near(ColourAt(panel, 20, 10), 0x800000, 12))
        << std::hex << ColourAt(panel, 20, 10) << " where only red lies";
    EXPECT_TRUE(Near(ColourAt(panel, 250, 50), 0x000000, 12)) << "drawn past the panel";

    // The red one fades in to whole as the blue one goes: red alone, whole.
    ASSERT_EQ(redEngine.fade(0.5, 1.0, 200), 0u);
    ASSERT_EQ(blueEngine.close(true), 0u);
    RunUntil([&] { return Near(ColourAt(panel, 100, 50), 0xFF0000, 12); });
    EXPECT_TRUE(Near(ColourAt(panel, 100, 50), 0xFF0000, 12))
        << std::hex << ColourAt(panel, 100, 50) << " once the blue one has left";
    EXPECT_EQ(redEngine.close(true), 0u);
    platform.destroyWindow(window_);
}

TEST_F(GstBlendTest, AClipTellsItsLengthWithoutBlendingToo) {
    const fs::path clip = MakeClip("three", {"red", "lime", "blue"});
    if (clip.empty()) {
        GTEST_SKIP() << "no ffmpeg to make the clip with";
    }
    GstEngine engine;
    std::uint32_t length = 0;
    EXPECT_NE(engine.length(length), 0u) << "not open";
    ASSERT_EQ(engine.open(clip, true), 0u);
    ASSERT_EQ(engine.length(length), 0u);
    EXPECT_NEAR(length, 3000, 100);
    EXPECT_FALSE(engine.canFade()) << "its pictures go straight to the window";
    EXPECT_EQ(engine.fade(0, 1, 100), media::kUnsupportedRequest);
}

// Red for a second, then blue: a seek 1.5 s in shows blue first, never the red of the start
// or of the key frame the decoding starts from.
class GstSeekTest : public GstBlendTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GstSeekTest, ASeekBeforePlayShowsTheFrameItLandsOnFirst) {
    const fs::path clip = MakeClip("red-blue", {"red", "blue"});
    if (clip.empty()) {
        GTEST_SKIP() << "no ffmpeg to make the clip with";
    }
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const Handle panel = ShownPanel(platform);
    GstEngine engine;
    engine.preferBlending(GetParam());
    ASSERT_EQ(engine.open(clip, true), 0u);
    ASSERT_EQ(engine.setWindow(panel), 0u);
    ASSERT_EQ(engine.put({200, 100}), 0u);
    ASSERT_EQ(engine.seek(1500), 0u);
    std::uint32_t position = 0;
    ASSERT_EQ(engine.position(position), 0u);
    EXPECT_NEAR(position, 1500, 60);
    ASSERT_EQ(engine.play(), 0u);
    unsigned long first = 0;
    RunUntil([&] {
        first = ColourAt(panel, 100, 50);
        return first != 0;  // the panel is black until the first frame
    });
    EXPECT_TRUE(Near(first, 0x0000FF)) << std::hex << first << " shown first";
    EXPECT_EQ(engine.close(true), 0u);
    platform.destroyWindow(window_);
}

INSTANTIATE_TEST_SUITE_P(DrawnStraightOrBlended, GstSeekTest, ::testing::Bool());

}  // namespace
}  // namespace morvel::linux_backend
