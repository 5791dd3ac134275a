// The media engines under Wine: MCI, and Media Foundation where MCI has no device.
// Runs under Wine with a display: scripts/e2e-windows starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/media_engines.h"
#include "platform/win32/owned.h"
#include "platform/win32/panel_compositor.h"

namespace morvel::win32 {
namespace {

// These read what GDI drew into the windows: the graphics card, where the prefix has one,
// is left out (d3d_window_test.cpp covers it).
class ChoosingEngineTest : public ::testing::Test {
  protected:
    void SetUp() override { D3dPanels::Prefer(platform::Renderer::Gdi); }
    void TearDown() override { D3dPanels::Prefer(platform::Renderer::Automatic); }
};

TEST(MciEngineTest, RequestsWithoutAnOpenDeviceFailWithTheDeviceError) {
    MciEngine engine(GetModuleHandleA(nullptr));
    int mode = -1;
    media::VideoRect rect;
    EXPECT_NE(engine.mode(mode), 0u);
    EXPECT_NE(engine.play(), 0u);
    EXPECT_NE(engine.where(rect), 0u);
    EXPECT_NE(engine.close(true), 0u);
    EXPECT_FALSE(engine.hasVideo());
}

TEST(MciEngineTest, AMissingFileFailsToOpenWithAText) {
    MciEngine engine(GetModuleHandleA(nullptr));
    const std::uint32_t code = engine.open("C:\\no\\such\\clip.avi", true);
    EXPECT_NE(code, 0u);
    const auto text = engine.errorText(code);
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
    EXPECT_EQ(engine.errorText(0xFFFFu), std::nullopt);
}

// The end-to-end run copies its clips to C:\clips; without them there is nothing to play.
std::string Clip(const char* name) {
    const std::string path = std::string("C:\\clips\\") + name;
    return std::filesystem::exists(path) ? path : std::string();
}

int ModeOf(media::MediaEngine& engine) {
    int mode = -1;
    EXPECT_EQ(engine.mode(mode), 0u);
    return mode;
}

TEST_F(ChoosingEngineTest, AnMp4PlaysThroughMediaFoundationWithTheSameContract) {
    const std::string mp4 = Clip("blue.mp4");
    if (mp4.empty()) {
        GTEST_SKIP() << "C:\\clips\\blue.mp4 is missing";
    }
    OwnedWindow panel(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    ASSERT_EQ(engine.open(mp4, true), 0u);
    EXPECT_TRUE(engine.hasVideo());
    EXPECT_EQ(engine.setWindow(ToHandle(panel.get())), 0u);
    EXPECT_EQ(ModeOf(engine), media::kStopped);
    media::VideoRect rect;
    EXPECT_EQ(engine.where(rect), 0u);
    EXPECT_EQ(rect, (media::VideoRect{320, 240}));  // the clip's own size until put
    EXPECT_EQ(engine.put({512, 384}), 0u);
    EXPECT_EQ(engine.where(rect), 0u);
    EXPECT_EQ(rect, (media::VideoRect{512, 384}));
    EXPECT_EQ(engine.put({}), 0u);
    EXPECT_EQ(engine.where(rect), 0u);
    EXPECT_EQ(rect, (media::VideoRect{320, 240}));

    // Play does not wait for the session to start: the device reports playing as soon as it
    // returns, with no message processed in between, as the saver polls it at once.
    EXPECT_EQ(engine.play(), 0u);
    EXPECT_EQ(ModeOf(engine), media::kPlaying);
    EXPECT_EQ(engine.pause(), 0u);
    EXPECT_EQ(ModeOf(engine), media::kPaused);
    EXPECT_EQ(engine.resume(), 0u);
    EXPECT_EQ(ModeOf(engine), media::kPlaying);
    // The clip lasts 3 seconds; then the device says it has stopped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ModeOf(engine) == media::kPlaying && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ModeOf(engine), media::kStopped);
    EXPECT_EQ(engine.close(true), 0u);
    int closed = -1;
    EXPECT_NE(engine.mode(closed), 0u);

    // Back to MCI for the next file, in the same engine.
    const std::string avi = Clip("red.avi");
    ASSERT_EQ(engine.open(avi, true), 0u);
    EXPECT_TRUE(engine.hasVideo());
    EXPECT_EQ(engine.close(true), 0u);
}

// A second monitor's video is silenced between open and play: MCI's AVI device (a clip
// without sound) and Media Foundation (a clip with sound) accept it and play on.
TEST_F(ChoosingEngineTest, ASilencedClipPlaysOnThroughEitherEngine) {
    OwnedWindow panel(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    EXPECT_NE(engine.setAudible(false), 0u);  // nothing open: no device to silence
    for (const char* name : {"lime.avi", "blue.mp4"}) {
        SCOPED_TRACE(name);
        const std::string clip = Clip(name);
        if (clip.empty()) {
            GTEST_SKIP() << "C:\\clips\\" << name << " is missing";
        }
        ASSERT_EQ(engine.open(clip, true), 0u);
        EXPECT_EQ(engine.setWindow(ToHandle(panel.get())), 0u);
        EXPECT_EQ(engine.setAudible(false), 0u);
        EXPECT_EQ(engine.setAudible(false), 0u);  // twice is as once
        EXPECT_EQ(engine.play(), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_EQ(ModeOf(engine), media::kPlaying);
        EXPECT_EQ(engine.setAudible(true), 0u);
        EXPECT_EQ(ModeOf(engine), media::kPlaying);
        EXPECT_EQ(engine.close(true), 0u);
    }
}

// Windows N editions, Server Core, a Wine with mf and mfplat switched off: the first call
// into a missing library would end the process, so the engine looks for all of it first.
TEST_F(ChoosingEngineTest, WithoutMediaFoundationAnMp4IsRefusedWithTheReasonAndAnAviStillPlays) {
    EXPECT_TRUE(SystemLibraries(FoundationImports()).present());
    const LibraryImport noLibrary[] = {{"kernel32.dll", "GetTickCount"},
                                       {"morvel-no-such-library.dll", "MFStartup"}};
    const LibraryImport noFunction[] = {{"kernel32.dll", "MorvelNoSuchFunction"}};
    EXPECT_FALSE(SystemLibraries(noLibrary).present());
    EXPECT_FALSE(SystemLibraries(noFunction).present());

    const std::string mp4 = Clip("blue.mp4");
    const std::string avi = Clip("red.avi");
    if (mp4.empty() || avi.empty()) {
        GTEST_SKIP() << "the clips are missing";
    }
    ChoosingEngine engine(GetModuleHandleA(nullptr), noLibrary);
    const std::uint32_t refused = engine.open(mp4, true);
    EXPECT_EQ(refused, kFoundationMissing) << std::hex << refused;
    const auto text = engine.errorText(refused);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("video components (Media Foundation) are missing"), std::string::npos)
        << *text;
    int mode = -1;
    EXPECT_NE(engine.mode(mode), 0u);
    ASSERT_EQ(engine.open(avi, true), 0u);
    EXPECT_EQ(engine.play(), 0u);
    EXPECT_EQ(ModeOf(engine), media::kPlaying);
    EXPECT_EQ(engine.close(true), 0u);
}

// The session answers each command a moment later, on its own threads; an answer to an older
// command, or the end of the last run, must not overwrite what was commanded since.
TEST(MfEngineTest, TheModeIsWhatWasLastCommandedWhateverTheSessionStillHasToSay) {
    const std::string mp4 = Clip("blue.mp4");
    if (mp4.empty()) {
        GTEST_SKIP() << "C:\\clips\\blue.mp4 is missing";
    }
    MfEngine engine;
    ASSERT_EQ(engine.open(mp4, true), 0u);
    ASSERT_EQ(engine.setAudible(false), 0u);
    // The 3-second clip plays to its end unwatched: its end waits in the session's queue.
    ASSERT_EQ(engine.play(), 0u);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    ASSERT_EQ(engine.play(), 0u);
    EXPECT_EQ(ModeOf(engine), media::kPlaying);
    // Paused at once: the answer to the play comes while the pause is under way.
    ASSERT_EQ(engine.pause(), 0u);
    for (int look = 0; look < 20; ++look) {
        EXPECT_EQ(ModeOf(engine), media::kPaused) << "look " << look;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(engine.resume(), 0u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ModeOf(engine) == media::kPlaying && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ModeOf(engine), media::kStopped);
    EXPECT_EQ(engine.close(true), 0u);
}

// Opening and closing wait for the session; meanwhile the thread's windows must still answer
// what other threads send them, or the system takes the program for hung. A wait that did not
// answer could answer no message sent and replied to within it, however slow the machine.
TEST(MfEngineTest, WhileARequestWaitsForTheSessionTheWindowsStillAnswer) {
    const std::string mp4 = Clip("blue.mp4");
    if (mp4.empty()) {
        GTEST_SKIP() << "C:\\clips\\blue.mp4 is missing";
    }
    using Clock = std::chrono::steady_clock;
    using Span = std::pair<Clock::time_point, Clock::time_point>;
    OwnedWindow window(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr));
    std::atomic<bool> done{false};
    std::atomic<bool> finished{false};
    std::vector<Span> answers;  // the other thread's, read once it has finished
    int unanswered = 0;
    std::thread other([&] {
        while (!done) {
            const Clock::time_point sent = Clock::now();
            DWORD_PTR result = 0;
            // Five seconds: the time after which the system takes a window for hung.
            if (SendMessageTimeoutA(window.get(), WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result)) {
                answers.emplace_back(sent, Clock::now());
            } else {
                ++unanswered;
            }
        }
        finished = true;
    });
    std::vector<Span> waits;
    MfEngine engine;
    for (int round = 0; round < 3; ++round) {
        const Clock::time_point opening = Clock::now();
        EXPECT_EQ(engine.open(mp4, true), 0u);
        waits.emplace_back(opening, Clock::now());
        const Clock::time_point closing = Clock::now();
        EXPECT_EQ(engine.close(true), 0u);
        waits.emplace_back(closing, Clock::now());
    }
    done = true;
    while (!finished) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
    other.join();
    const auto within = [&](const Span& answer) {
        return std::any_of(waits.begin(), waits.end(), [&](const Span& wait) {
            return wait.first <= answer.first && answer.second <= wait.second;
        });
    };
    EXPECT_GT(std::count_if(answers.begin(), answers.end(), within), 0)
        << "no message was answered while a request waited";
    EXPECT_EQ(unanswered, 0);
}

// The middle of a window, as the screen shows it.
COLORREF CentreOf(HWND window) {
    RECT area{};
    GetClientRect(window, &area);
    const WindowDc dc(window);
    return GetPixel(dc.get(), area.right / 2, area.bottom / 2);
}

// Near enough to the clip's colour for what its codec keeps of it.
bool Shows(HWND window, COLORREF colour) {
    const COLORREF seen = CentreOf(window);
    auto within = [](int a, int b) { return a - b < 48 && b - a < 48; };
    return within(GetRValue(seen), GetRValue(colour)) &&
           within(GetGValue(seen), GetGValue(colour)) && within(GetBValue(seen), GetBValue(colour));
}

// The same clip on a second monitor: a mirror window shows it as the first does, from Media
// Foundation's one decoding, and from a second MCI device for a file on MCI.
TEST_F(ChoosingEngineTest, AMirrorWindowShowsTheClipThroughEitherEngine) {
    auto window = [](int left) {
        return OwnedWindow(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE, left, 0,
                                           160, 120, nullptr, nullptr, GetModuleHandleA(nullptr),
                                           nullptr));
    };
    const OwnedWindow first = window(0);
    const OwnedWindow mirror = window(200);
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    ASSERT_TRUE(engine.addMirror(ToHandle(mirror.get())));
    for (const auto& [name, colour] :
         {std::pair{"red.avi", RGB(255, 0, 0)}, std::pair{"blue.mp4", RGB(0, 0, 255)}}) {
        SCOPED_TRACE(name);
        const std::string clip = Clip(name);
        if (clip.empty()) {
            GTEST_SKIP() << "C:\\clips\\" << name << " is missing";
        }
        ASSERT_EQ(engine.open(clip, true), 0u);
        EXPECT_FALSE(engine.addMirror(ToHandle(first.get())));  // not while a file is open
        EXPECT_EQ(engine.setWindow(ToHandle(first.get())), 0u);
        EXPECT_EQ(engine.putMirror(0, {160, 120}), 0u);
        EXPECT_NE(engine.putMirror(1, {160, 120}), 0u);
        EXPECT_EQ(engine.put({160, 120}), 0u);
        EXPECT_EQ(engine.play(), 0u);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(Shows(first.get(), colour) && Shows(mirror.get(), colour)) &&
               std::chrono::steady_clock::now() < deadline) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
            Sleep(20);
        }
        EXPECT_TRUE(Shows(first.get(), colour)) << std::hex << CentreOf(first.get());
        EXPECT_TRUE(Shows(mirror.get(), colour)) << std::hex << CentreOf(mirror.get());
        EXPECT_EQ(engine.close(true), 0u);
    }
}

TEST_F(ChoosingEngineTest, WhenBothRefuseTheEngineThatKnowsTheTypeGivesTheReason) {
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    // No MCI device plays .mp4: Media Foundation's reason, an HRESULT with the system's text.
    const std::uint32_t missing = engine.open("C:\\no\\such\\clip.mp4", true);
    EXPECT_NE(missing & 0x80000000u, 0u) << std::hex << missing;
    const auto text = engine.errorText(missing);
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
    // MCI has a device for AVI files: what it says about a corrupt one stands.
    const std::string corrupt = Clip("corrupt.avi");
    if (!corrupt.empty()) {
        const std::uint32_t refused = engine.open(corrupt, true);
        EXPECT_NE(refused, 0u);
        EXPECT_EQ(refused & 0x80000000u, 0u) << std::hex << refused;
        EXPECT_TRUE(engine.errorText(refused).has_value());
    }
    int mode = -1;
    EXPECT_NE(engine.mode(mode), 0u);
}

// With blending preferred an MPEG-1 file goes to Media Foundation rather than MCI's MPEG
// device, and an AVI file's frames are copied from MCI's AVI device: both can fade. Without,
// they go to MCI as ever, straight into the window, and cannot.
TEST_F(ChoosingEngineTest, WithBlendingPreferredMciFilesCanFade) {
    OwnedWindow panel(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    for (const char* name : {"red.avi", "cyan.mpg"}) {
        SCOPED_TRACE(name);
        const std::string clip = Clip(name);
        if (clip.empty()) {
            GTEST_SKIP() << "C:\\clips\\" << name << " is missing";
        }
        for (const bool blending : {false, true}) {
            engine.preferBlending(blending);
            ASSERT_EQ(engine.open(clip, true), 0u);
            EXPECT_EQ(engine.setWindow(ToHandle(panel.get())), 0u);
            EXPECT_EQ(engine.canFade(), blending);
            EXPECT_EQ(engine.fade(0, 1, 100) == 0, blending);
            EXPECT_EQ(engine.close(true), 0u);
        }
    }
}

// 2-minute clips on every engine: MCI's AVI device, drawing itself or through its frames'
// copies, and Media Foundation (an MP4 with sound, an MPEG-1 file with blending preferred).
// The length is told, and a seek before play makes the first picture the one there: the AVI
// clip is lime for its first seconds only.
TEST_F(ChoosingEngineTest, ALongClipTellsItsLengthAndStartsWhereItWasSought) {
    struct Case {
        const char* name;
        bool blending;
        COLORREF colour;
    };
    OwnedWindow panel(CreateWindowExA(0, "STATIC", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
    for (const Case& test :
         {Case{"lime-then-red.avi", false, RGB(255, 0, 0)},
          Case{"lime-then-red.avi", true, RGB(255, 0, 0)},
          Case{"yellow.mov", false, RGB(255, 255, 0)}, Case{"cyan.mpg", true, RGB(0, 255, 255)}}) {
        SCOPED_TRACE(std::string(test.name) + (test.blending ? ", blending" : ""));
        const std::string clip = Clip(test.name);
        if (clip.empty()) {
            GTEST_SKIP() << "C:\\clips\\" << test.name << " is missing";
        }
        ChoosingEngine engine(GetModuleHandleA(nullptr));
        engine.preferBlending(test.blending);
        ASSERT_EQ(engine.open(clip, true), 0u);
        EXPECT_EQ(engine.setWindow(ToHandle(panel.get())), 0u);
        EXPECT_EQ(engine.put({320, 240}), 0u);
        EXPECT_EQ(engine.setVolume(50), 0u);
        std::uint32_t length = 0;
        EXPECT_EQ(engine.length(length), 0u);
        EXPECT_NEAR(length, 120'000, 1'000);
        EXPECT_EQ(engine.seek(60'000), 0u);
        EXPECT_EQ(engine.play(), 0u);
        bool lime = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!Shows(panel.get(), test.colour) && std::chrono::steady_clock::now() < deadline) {
            lime = lime || Shows(panel.get(), RGB(0, 255, 0));
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
            Sleep(5);
        }
        EXPECT_TRUE(Shows(panel.get(), test.colour)) << std::hex << CentreOf(panel.get());
        EXPECT_FALSE(lime);  // never the clip's start
        std::uint32_t position = 0;
        EXPECT_EQ(engine.position(position), 0u);
        EXPECT_GE(position, 60'000u);
        EXPECT_LT(position, 70'000u);
        EXPECT_EQ(engine.close(true), 0u);
    }
}

// The pictures of a dissolve add up over black: half of red and half of blue is purple, and
// a picture smaller than the panel has black around it.
TEST(PanelCompositorTest, WeightedPicturesAddUpOverBlack) {
    const SIZE panel{4, 4};
    const std::uint32_t red = 0xFF0000;
    const std::uint32_t blue = 0x0000FF;
    std::vector<std::uint32_t> sum(16, 0);
    AddWeighted(sum, panel, PixelsView{&red, SIZE{1, 1}}, {4, 4}, kWholeWeight / 2);
    AddWeighted(sum, panel, PixelsView{&blue, SIZE{1, 1}}, {4, 4}, kWholeWeight / 2);
    EXPECT_EQ(sum, std::vector<std::uint32_t>(16, 0x7F007F));

    std::vector<std::uint32_t> framed(16, 0);
    const std::uint32_t picture[] = {red, blue};  // 2 x 1, stretched to 2 x 2 at (1, 1)
    AddWeighted(framed, panel, PixelsView{picture, SIZE{2, 1}}, {2, 2, 1, 1}, kWholeWeight);
    const std::vector<std::uint32_t> expected = {0, 0,   0,    0,  //
                                                 0, red, blue, 0,  //
                                                 0, red, blue, 0,  //
                                                 0, 0,   0,    0};
    EXPECT_EQ(framed, expected);
    // A picture reaching past the panel is cut off by it, and nothing past it is touched.
    std::vector<std::uint32_t> cut(16, 0);
    AddWeighted(cut, panel, PixelsView{&red, SIZE{1, 1}}, {4, 4, 2, 2}, kWholeWeight);
    EXPECT_EQ(std::count(cut.begin(), cut.end(), red), 4);
    EXPECT_EQ(cut[15], red);
}

}  // namespace
}  // namespace morvel::win32
