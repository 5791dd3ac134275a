// The GStreamer engine against what the saver relies on, on an X display (skipped without
// one): an open never hangs on a path that does not answer, an error while a clip plays is
// reported with its text, and only the latest error is kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/gst_engine.h"

namespace morvel::linux_backend {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

class GstEngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gst_init(nullptr, nullptr);
        gdk_set_allowed_backends("x11");
        hasDisplay_ = gtk_init_check(nullptr, nullptr);
    }

    void SetUp() override {
        if (!hasDisplay_) {
            GTEST_SKIP() << "no X display";
        }
        dir_ = fs::path(::testing::TempDir()) / ("morvel-gst-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    static bool hasDisplay_;
    fs::path dir_;
};

bool GstEngineTest::hasDisplay_ = false;

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
