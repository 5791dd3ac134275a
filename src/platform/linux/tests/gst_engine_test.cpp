// The GStreamer engine against what the saver relies on, on an X display (skipped without
// one): an open never hangs on a path that does not answer, an error while a clip plays is
// reported with its text, only the latest error is kept, a clip of another size than the
// one before goes up whole in the panel's new place the moment it plays, and a phone's clip
// is turned as its file says and cut evenly when it fills the panel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/tests/gst_fixture.h"

namespace morvel::linux_backend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

class GstEngineTest : public GstDisplayTest {
  protected:
    void SetUp() override {
        if (!hasDisplay_) {
            GTEST_SKIP() << "no X display";
        }
        makeFolder("morvel-gst");
    }

    struct Shown {
        Handle window;
        Handle panel;
    };
    // A black panel at `bounds` on a shown 300 x 200 form.
    static Shown ShownPanel(LinuxPlatform& platform, platform::Rect bounds) {
        platform::WindowSpec form;
        form.className = "TFormTest";
        form.clientSize = {300, 200};
        const Handle window = platform.createWindow(form);
        platform::ControlSpec design;
        design.kind = platform::ControlKind::Panel;
        design.background = platform::Color::rgb(0, 0, 0);
        design.bounds = bounds;
        const Handle panel = platform.createControl(window, design);
        platform.showWindow(window, true);
        return {window, panel};
    }
};

// The engine has a text for the code, and it holds `part`.
::testing::AssertionResult TextHolds(GstEngine& engine, std::uint32_t code, const char* part) {
    const std::optional<std::string> text = engine.errorText(code);
    if (!text) {
        return ::testing::AssertionFailure() << "no text for " << code;
    }
    if (text->find(part) == std::string::npos) {
        return ::testing::AssertionFailure() << "\"" << *text << "\" lacks \"" << part << '"';
    }
    return ::testing::AssertionSuccess();
}

// Runs a pipeline described as gst-launch does to its end.
void RunToEnd(const std::string& description) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    ASSERT_NE(pipeline, nullptr) << (error != nullptr ? error->message : "");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

// Where the top-level boxes of a QuickTime file of the given type start.
std::vector<std::streamoff> BoxesOfType(const fs::path& file, const std::string& type) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::streamoff> found;
    unsigned char header[8];
    std::streamoff at = 0;
    while (in.seekg(at) && in.read(reinterpret_cast<char*>(header), sizeof header)) {
        const std::uint32_t size =
            (std::uint32_t{header[0]} << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        if (std::string(reinterpret_cast<char*>(header) + 4, 4) == type) {
            found.push_back(at);
        }
        if (size < sizeof header) {
            break;
        }
        at += size;
    }
    return found;
}

TEST_F(GstEngineTest, AFifoIsRefusedAtOnceAsAFileThatCannotBePlayed) {
    const fs::path fifo = dir_ / "clip.mp4";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Should the open wait for a writer, writers come after two seconds and go at once,
    // each one ending a wait: the open then fails late rather than hang the test.
    std::mutex lock;
    std::condition_variable_any never;
    const std::jthread writers([&](std::stop_token stop) {
        std::unique_lock hold(lock);
        const auto deadline = steady_clock::now() + std::chrono::seconds(2);
        never.wait_until(hold, stop, deadline, [] { return false; });
        while (!stop.stop_requested()) {
            if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) {
                ::close(fd);
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
    });

    GstEngine engine;
    const auto start = steady_clock::now();
    const std::uint32_t code = engine.open(fifo, true);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    EXPECT_NE(code, 0u);
    EXPECT_TRUE(TextHolds(engine, code, "pipe"));
    int mode = -1;
    EXPECT_NE(engine.mode(mode), 0u) << "not open";
}

TEST_F(GstEngineTest, AnErrorWhileTheClipPlaysIsToldOnceByModeWithItsText) {
    // Three seconds of pictures in fragments of a fifth of a second each: the player reads
    // each fragment's header only as it comes to it.
    const fs::path clip = dir_ / "clip.mov";
    RunToEnd(
        "videotestsrc num-buffers=90 ! video/x-raw,width=160,height=120,framerate=30/1 ! "
        "jpegenc ! qtmux fragment-duration=200 ! filesink location=" +
        clip.string());
    const std::vector<std::streamoff> fragments = BoxesOfType(clip, "moof");
    ASSERT_GE(fragments.size(), 10u);

    GstEngine engine;
    ASSERT_EQ(engine.open(clip, true), 0u);
    ASSERT_EQ(engine.play(), 0u);
    {
        // Junk over the header of a fragment two seconds in, while the first one plays.
        std::fstream file(clip, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(fragments[fragments.size() * 2 / 3]);
        file.write("\x7f\xff\xff\xff", 4);
    }

    std::uint32_t result = 0;
    int mode = media::kPlaying;
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (result == 0 && mode == media::kPlaying && steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(20));
        result = engine.mode(mode);
    }
    ASSERT_NE(result, 0u) << "the clip ended as if it had played whole";
    EXPECT_EQ(mode, media::kStopped);
    EXPECT_TRUE(TextHolds(engine, result, "invalid"));
    EXPECT_EQ(engine.mode(mode), 0u) << "told once";
    EXPECT_EQ(mode, media::kStopped);
    EXPECT_EQ(engine.close(true), 0u);
}

// As the saver plays a list at the clips' own size: the panel takes each clip's size and
// place between the open and the play, and no picture of the new clip may show black, or
// land where the clip before was.
constexpr unsigned long kRed = 0xFF0000;
constexpr unsigned long kBlue = 0x0000FF;

bool Near(unsigned long seen, unsigned long colour) {
    for (int shift : {0, 8, 16}) {
        const int difference =
            static_cast<int>((seen >> shift) & 0xFF) - static_cast<int>((colour >> shift) & 0xFF);
        if (difference > 40 || difference < -40) {
            return false;
        }
    }
    return true;
}

TEST_F(GstEngineTest, AClipOfAnotherSizeGoesUpWholeInThePanelsNewPlaceTheMomentItPlays) {
    const fs::path red = dir_ / "red.mov";
    const fs::path blue = dir_ / "blue.mov";
    for (const auto& [clip, pattern, size] : {std::tuple{red, "red", "width=160,height=120"},
                                              std::tuple{blue, "blue", "width=80,height=60"}}) {
        RunToEnd(std::string("videotestsrc num-buffers=10 pattern=") + pattern + " ! video/x-raw," +
                 size + ",framerate=10/1 ! jpegenc ! qtmux ! filesink location=" + clip.string());
    }
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const auto [window, panel] = ShownPanel(platform, {0, 0, 1, 1});
    GtkWidget* toplevel = gtk_widget_get_toplevel(reinterpret_cast<GtkWidget*>(panel));

    GstEngine engine;
    // Opens the clip, gives the panel the clip's own size at `left`, `top` and plays.
    auto playAt = [&](const fs::path& clip, int left, int top) {
        ASSERT_EQ(engine.open(clip, true), 0u);
        ASSERT_EQ(engine.setWindow(panel), 0u);
        ASSERT_EQ(engine.put({0, 0}), 0u);
        media::VideoRect own;
        ASSERT_EQ(engine.where(own), 0u);
        platform.setBounds(panel, {left, top, own.right, own.bottom});
        ASSERT_EQ(engine.put(own), 0u);
        ASSERT_EQ(engine.play(), 0u);
    };

    playAt(red, 20, 20);  // 160x120: to 180, 140
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (!Near(ScreenColourAt(toplevel, 100, 80), kRed) && steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(milliseconds(5));
    }
    ASSERT_TRUE(Near(ScreenColourAt(toplevel, 100, 80), kRed)) << "the first clip never showed";
    ASSERT_EQ(engine.close(true), 0u);

    playAt(blue, 130, 90);  // 80x60: to 210, 150, over the red clip's corner
    // Before GTK runs again: the new clip's first frame is up, where the panel now is.
    EXPECT_TRUE(Near(ScreenColourAt(toplevel, 150, 110), kBlue))
        << std::hex << ScreenColourAt(toplevel, 150, 110) << " where both clips show";
    EXPECT_TRUE(Near(ScreenColourAt(toplevel, 200, 140), kBlue))
        << std::hex << ScreenColourAt(toplevel, 200, 140) << " where only the new one shows";
    EXPECT_FALSE(Near(ScreenColourAt(toplevel, 40, 40), kBlue))
        << "the new clip at the old clip's place";
    EXPECT_EQ(engine.close(true), 0u);

    // Played with no rectangle given, as the preview plays: its first frame is whole too.
    ASSERT_EQ(engine.open(red, true), 0u);
    ASSERT_EQ(engine.setWindow(panel), 0u);
    ASSERT_EQ(engine.play(), 0u);
    EXPECT_TRUE(Near(ScreenColourAt(toplevel, 150, 110), kRed))
        << std::hex << ScreenColourAt(toplevel, 150, 110) << " at once when played with no put";
    EXPECT_EQ(engine.close(true), 0u);
    platform.destroyWindow(window);
}

// A phone's clip: stored on its side, 320x240, its left 120 columns blue, the rest red, with
// the tag that turns it a quarter clockwise: upright, 120 rows of blue over 200 of red.
TEST_F(GstEngineTest, ATurnedClipSaysItsTurnAndAFillShowsTheMiddleOfTheUprightPicture) {
    // GStreamer's muxers leave the tag out of the file: ffmpeg writes it, as a phone does.
    // Its 5.1 takes the value counter-clockwise: 270 is a quarter clockwise.
    const fs::path sideways = dir_ / "sideways.mp4";
    const fs::path phone = dir_ / "phone.mp4";
    const std::string make =
        "ffmpeg -loglevel error -y -f lavfi -i color=c=blue:s=120x240:d=1:r=10,pad=320:240:0:0:red"
        " -c:v mjpeg " +
        sideways.string() + " && ffmpeg -loglevel error -y -i " + sideways.string() +
        " -c copy -metadata:s:v:0 rotate=270 " + phone.string();
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "no ffmpeg to make the clip with";
    }
    LinuxPlatform platform(std::make_unique<OwnScreenHost>());
    const auto [window, panel] = ShownPanel(platform, {0, 0, 200, 100});
    GtkWidget* toplevel = gtk_widget_get_toplevel(reinterpret_cast<GtkWidget*>(panel));

    GstEngine engine;
    ASSERT_EQ(engine.open(phone, true), 0u);
    media::VideoShape shape;
    ASSERT_EQ(engine.describe(shape), 0u);
    EXPECT_EQ(shape, (media::VideoShape{320, 240, 1, 1, 90}));
    ASSERT_EQ(engine.setWindow(panel), 0u);
    // The upright 240x320 over the 200x100 panel: 200x267, its middle 100 rows shown.
    ASSERT_EQ(engine.put({200, 267, 0, -83, 90}), 0u);
    ASSERT_EQ(engine.play(), 0u);
    const auto deadline = steady_clock::now() + std::chrono::seconds(10);
    while (!Near(ScreenColourAt(toplevel, 100, 5), kBlue) && steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(milliseconds(5));
    }
    // Blue over red, the line between them 100 rows down the 267 of the picture: 17 rows
    // down the panel (squeezed whole into the panel, it would be 37 down).
    for (const auto& [x, y, colour] : {std::tuple{5, 8, kBlue}, std::tuple{195, 12, kBlue},
                                       std::tuple{5, 24, kRed}, std::tuple{195, 95, kRed}}) {
        EXPECT_TRUE(Near(ScreenColourAt(toplevel, x, y), colour))
            << std::hex << ScreenColourAt(toplevel, x, y) << " at " << std::dec << x << "," << y;
    }
    EXPECT_FALSE(Near(ScreenColourAt(toplevel, 250, 50), kBlue)) << "drawn past the panel";
    EXPECT_EQ(engine.close(true), 0u);
    platform.destroyWindow(window);
}

TEST_F(GstEngineTest, OnlyTheLatestErrorsTextIsKept) {
    GstEngine engine;
    const std::uint32_t first = engine.open(dir_ / "gone.mpg", true);
    const std::uint32_t second = engine.open(dir_ / "gone too.mpg", true);
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(engine.errorText(first), std::nullopt);
    EXPECT_TRUE(TextHolds(engine, second, "not found"));
}

}  // namespace
}  // namespace morvel::linux_backend
