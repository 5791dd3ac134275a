// The Media Engine in frame-server mode under Wine: a clip's frames arrive in a Direct3D 11
// texture with the clip's colour, its length is told, its end is seen, a file it cannot play
// fails with a text. Needs a display whose OpenGL Wine's Direct3D runs on.
#include <windows.h>

#include <mferror.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win32/me_engine.h"

namespace morvel::win32 {
namespace {

// The end-to-end run copies its clips to C:\clips: blue.mp4 is H.264 with AAC sound, 320x240,
// 3 s.
std::string Clip(const char* name) {
    const std::string path = std::string("C:\\clips\\") + name;
    return std::filesystem::exists(path) ? path : std::string();
}

struct Pixel {
    int red = -1;
    int green = -1;
    int blue = -1;
};

// What the sink saw: how many frames, the centre pixel of the last one read back, and the
// last place in each window.
struct SeenFrames {
    std::mutex lock;
    int count = 0;
    Pixel centre;
    std::map<std::uintptr_t, media::VideoRect> places;
    double weight = 0;
};

Pixel CentreOf(ID3D11Texture2D* texture) {
    D3D11_TEXTURE2D_DESC description;
    texture->GetDesc(&description);
    MeComPtr<ID3D11Device> device;
    texture->GetDevice(&device);
    MeComPtr<ID3D11DeviceContext> context;
    device->GetImmediateContext(&context);
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    MeComPtr<ID3D11Texture2D> staging;
    if (FAILED(device->CreateTexture2D(&description, nullptr, &staging))) {
        return {};
    }
    context->CopyResource(staging.Get(), texture);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped))) {
        return {};
    }
    const auto* row = static_cast<const unsigned char*>(mapped.pData) +
                      static_cast<std::size_t>(description.Height / 2) * mapped.RowPitch;
    const unsigned char* bgra = row + static_cast<std::size_t>(description.Width / 2) * 4;
    const Pixel pixel{bgra[2], bgra[1], bgra[0]};
    context->Unmap(staging.Get(), 0);
    return pixel;
}

EngineFrameSink ReadingBack(SeenFrames& seen) {
    return [&seen](const EngineFrame& frame) {
        const Pixel centre = CentreOf(frame.texture);
        const std::scoped_lock hold(seen.lock);
        ++seen.count;
        seen.centre = centre;
        seen.places[frame.window] = frame.place;
        seen.weight = frame.weight;
    };
}

// Waits up to `limit` for `done`, the thread's messages answered meanwhile.
template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class MeEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // Without a Direct3D 11 device there is nothing this engine can do here.
        VideoDevice device;
        const HRESULT made = MakeVideoDevice(device);
        if (FAILED(made)) {
            GTEST_SKIP() << "no Direct3D 11 device on this display: 0x" << std::hex << made;
        }
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(MeEngineTest, AClipsFramesArriveInATextureWithItsColourAndItsEndIsSeen) {
    const std::string mp4 = Clip("blue.mp4");
    if (mp4.empty()) {
        GTEST_SKIP() << "C:\\clips\\blue.mp4 is missing";
    }
    SeenFrames seen;
    MeEngine engine(FoundationImports(), ReadingBack(seen));
    // One decoding for the window and its mirror, each frame handed over for each.
    constexpr std::uintptr_t kWindow = 0x10;
    constexpr std::uintptr_t kMirror = 0x20;
    ASSERT_EQ(engine.setWindow(kWindow), 0u);
    ASSERT_TRUE(engine.addMirror(kMirror));
    const std::uint32_t opened = engine.open(mp4, true);
    if (opened == static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG)) {
        GTEST_SKIP() << "this system has no Media Engine";
    }
    // The clip has sound; the end-to-end run gives Wine a silent sound server.
    if (opened == static_cast<std::uint32_t>(MF_E_NO_AUDIO_PLAYBACK_DEVICE)) {
        GTEST_SKIP() << "no sound device: the engine refuses a clip with sound";
    }
    ASSERT_EQ(opened, 0u) << engine.errorText(opened).value_or("?");
    EXPECT_TRUE(engine.hasVideo());
    EXPECT_TRUE(engine.canFade());
    media::VideoShape shape;
    ASSERT_EQ(engine.describe(shape), 0u);
    EXPECT_EQ(shape, (media::VideoShape{320, 240, 1, 1, 0}));
    std::uint32_t length = 0;
    ASSERT_EQ(engine.length(length), 0u);
    EXPECT_NEAR(length, 3000, 100);
    int mode = -1;
    ASSERT_EQ(engine.mode(mode), 0u);
    EXPECT_EQ(mode, media::kStopped);

    // A picture placed for a window of 640x480 that will be filled, seen at half weight.
    const media::VideoRect place{640, 480, 0, 0, 0};
    const media::VideoRect mirrorPlace{800, 600, 10, 20, 0};
    EXPECT_FALSE(engine.addMirror(0x30)) << "not while a file is open";
    ASSERT_EQ(engine.putMirror(0, mirrorPlace), 0u);
    EXPECT_NE(engine.putMirror(1, mirrorPlace), 0u);
    ASSERT_EQ(engine.put(place), 0u);
    ASSERT_EQ(engine.fade(0.5, 0.5, 0), 0u);
    ASSERT_EQ(engine.setVolume(50), 0u);
    ASSERT_EQ(engine.play(), 0u);
    ASSERT_EQ(engine.mode(mode), 0u);
    EXPECT_EQ(mode, media::kPlaying);
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::scoped_lock hold(seen.lock);
            return seen.count >= 10;
        },
        std::chrono::seconds(10)));
    {
        const std::scoped_lock hold(seen.lock);
        EXPECT_LE(seen.centre.red, 16);
        EXPECT_LE(seen.centre.green, 16);
        EXPECT_GE(seen.centre.blue, 230);
        EXPECT_EQ(seen.places, (std::map<std::uintptr_t, media::VideoRect>{
                                   {kWindow, place}, {kMirror, mirrorPlace}}));
        EXPECT_DOUBLE_EQ(seen.weight, 0.5);
    }
    ASSERT_TRUE(WaitFor(
        [&] {
            int now = -1;
            return engine.mode(now) == 0 && now == media::kStopped;
        },
        std::chrono::seconds(10)));
    std::uint32_t position = 0;
    ASSERT_EQ(engine.position(position), 0u);
    EXPECT_GE(position, 2500u);

    ASSERT_EQ(engine.close(true), 0u);
    const int framesAtClose = seen.count;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(seen.count, framesAtClose);  // no frame after close
    EXPECT_NE(engine.mode(mode), 0u);
}

TEST_F(MeEngineTest, AFileItCannotPlayFailsToOpenWithTheSystemsText) {
    const std::filesystem::path corrupt =
        std::filesystem::temp_directory_path() / "morvel-me-corrupt.mp4";
    {
        std::ofstream file(corrupt, std::ios::binary);
        file << std::string(4096, '\x5a');
    }
    SeenFrames seen;
    MeEngine engine(FoundationImports(), ReadingBack(seen));
    for (const std::string& file : {std::string("C:\\no\\such\\clip.mp4"), corrupt.string()}) {
        SCOPED_TRACE(file);
        const std::uint32_t code = engine.open(file, true);
        if (code == static_cast<std::uint32_t>(REGDB_E_CLASSNOTREG)) {
            GTEST_SKIP() << "this system has no Media Engine";
        }
        EXPECT_NE(code, 0u);
        const auto text = engine.errorText(code);
        ASSERT_TRUE(text.has_value()) << std::hex << code;
        EXPECT_FALSE(text->empty());
        EXPECT_FALSE(engine.hasVideo());
        int mode = -1;
        EXPECT_NE(engine.mode(mode), 0u);
    }
    std::filesystem::remove(corrupt);
    EXPECT_EQ(seen.count, 0);
}

}  // namespace
}  // namespace morvel::win32
