// The Direct3D 11 renderer of a window: layers added over black, placed and turned, read
// back from the back buffer; a lost device reported, and a new one made after it. Runs under
// Wine with a display (Mesa's software OpenGL is enough), as the backend's other tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/d3d_window.h"
#include "platform/win32/media_engines.h"
#include "win32_platform_fixture.h"

namespace morvel::win32 {
namespace {

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kBlue = 0xff0000ff;

struct Picture {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;

    D3dLayer layer(media::VideoRect place, double weight) const {
        D3dLayer made;
        made.pixels = pixels.data();
        made.stride = width * 4;
        made.width = width;
        made.height = height;
        made.place = place;
        made.weight = weight;
        return made;
    }
};

Picture Plain(std::uint32_t colour) {
    return {8, 8, std::vector<std::uint32_t>(64, colour)};
}

// Whether Wine's 3D is turned off for this program (the end-to-end lab turns it off in its
// prefix, for Wine's own MPEG renderer, and on for one program at a time): then no Direct3D
// 11 device can be made, as on a machine without one. The program's own setting comes first.
bool WineWithout3d() {
    const auto renderer = [](const std::wstring& key) {
        wchar_t value[16] = {};
        DWORD size = sizeof(value);
        return RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"renderer", RRF_RT_REG_SZ, nullptr,
                            value, &size) == ERROR_SUCCESS
                   ? std::wstring(value)
                   : std::wstring();
    };
    const std::wstring own =
        renderer(L"Software\\Wine\\AppDefaults\\morvel_win32_tests.exe\\Direct3D");
    return (own.empty() ? renderer(L"Software\\Wine\\Direct3D") : own) == L"gdi";
}

class D3dWindowTest : public Win32PlatformTest {
  protected:
    void SetUp() override {
        if (WineWithout3d()) {
            GTEST_SKIP() << "Wine's Direct3D renderer is set to gdi in this prefix";
        }
        window_ = form("TD3dTest");  // 400 x 300
        platform_.showWindow(window_, true);
        renderer_ = D3dWindow::Create(ToHwnd(window_));
        ASSERT_NE(renderer_, nullptr) << "no Direct3D 11 device or swap chain";
    }
    void TearDown() override {
        renderer_.reset();
        if (window_ != 0) {
            platform_.destroyWindow(window_);
        }
    }

    // The back buffer's colour at (x, y), as 0xRRGGBB, after composing these layers.
    std::uint32_t composedAt(const std::vector<D3dLayer>& layers, int x, int y) {
        EXPECT_TRUE(renderer_->compose(layers));
        int width = 0;
        int height = 0;
        EXPECT_TRUE(renderer_->readBackBuffer(pixels_, width, height));
        EXPECT_EQ(width, 400);
        EXPECT_EQ(height, 300);
        return pixels_.at(static_cast<std::size_t>(y * width + x)) & 0xffffff;
    }

    static bool Near(std::uint32_t colour, std::uint32_t expected) {
        for (int shift : {0, 8, 16}) {
            const int got = static_cast<int>((colour >> shift) & 0xff);
            const int want = static_cast<int>((expected >> shift) & 0xff);
            if (std::abs(got - want) > 2) {
                return false;
            }
        }
        return true;
    }

    Handle window_ = 0;
    std::unique_ptr<D3dWindow> renderer_;
    std::vector<std::uint32_t> pixels_;
};

// Red at half weight over all of the window, blue at half over its left half: the left is
// their sum, the right red alone over black; a picture turned a quarter clockwise shows its
// left column at the top.
TEST_F(D3dWindowTest, LayersAddUpOverBlackWhereTheyArePlacedAndTurned) {
    const Picture red = Plain(kRed);
    const Picture blue = Plain(kBlue);
    const std::vector<D3dLayer> dissolve{red.layer({400, 300, 0, 0}, 0.5),
                                         blue.layer({200, 300, 0, 0}, 0.5)};
    EXPECT_PRED2(Near, composedAt(dissolve, 100, 150), 0x800080u);
    EXPECT_PRED2(Near, pixels_[150 * 400 + 300] & 0xffffff, 0x800000u);
    EXPECT_TRUE(renderer_->present());

    const std::vector<D3dLayer> small{red.layer({100, 100, 50, 50}, 1.0)};
    EXPECT_PRED2(Near, composedAt(small, 100, 100), 0xff0000u);
    EXPECT_PRED2(Near, pixels_[10 * 400 + 10] & 0xffffff, 0x000000u) << "black around it";

    // Stored: red on the left, blue on the right; turned: red above, blue below.
    Picture halves{2, 1, {kRed, kBlue}};
    const std::vector<D3dLayer> turned{halves.layer({400, 300, 0, 0, 90}, 1.0)};
    EXPECT_PRED2(Near, composedAt(turned, 200, 20), 0xff0000u);
    EXPECT_PRED2(Near, pixels_[280 * 400 + 200] & 0xffffff, 0x0000ffu);
    EXPECT_TRUE(renderer_->present());

    renderer_.reset();  // a window has one swap chain at a time
    EXPECT_EQ(D3dWindow::Create(ToHwnd(window_), platform::Renderer::Gdi), nullptr);
    EXPECT_NE(D3dWindow::Create(ToHwnd(window_), platform::Renderer::Automatic), nullptr)
        << "Wine's device is no software one";
}

// A lost device fails the next show without a word; the next window gets a new device.
TEST_F(D3dWindowTest, ALostDeviceIsReportedAndANewOneServesTheNextWindow) {
    const Picture red = Plain(kRed);
    const std::vector<D3dLayer> layers{red.layer({400, 300, 0, 0}, 1.0)};
    ASSERT_TRUE(renderer_->show(layers));
    const std::shared_ptr<D3dDevice> lost = renderer_->device();
    lost->forceLossForTesting();
    EXPECT_FALSE(renderer_->show(layers));
    EXPECT_FALSE(renderer_->show(layers)) << "stays failed";

    const std::shared_ptr<D3dDevice> next = SharedD3dDevice();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, lost);
    renderer_.reset();
    renderer_ = D3dWindow::Create(ToHwnd(window_));
    ASSERT_NE(renderer_, nullptr);
    EXPECT_EQ(renderer_->device(), next);
    EXPECT_PRED2(Near, composedAt(layers, 200, 150), 0xff0000u);
    EXPECT_TRUE(renderer_->present());
}

// A saver's window (panels and overlays only) is composed whole, under the automatic choice
// too; a panel among other controls gets a swap chain of its own only where Direct3D is asked
// for. A device lost in the middle of play hands the window to GDI at once, the clip playing
// on; the next file draws on a new device.
TEST_F(D3dWindowTest, ASaverWindowIsComposedWholeAndGoesToGdiWhenTheDeviceIsLostInPlay) {
    const std::string clip = "C:\\clips\\blue.mp4";
    if (GetFileAttributesA(clip.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << clip << " is missing";
    }
    renderer_.reset();  // the window's canvas takes it
    const HWND saver = ToHwnd(window_);
    const HWND panel = ToHwnd(control(window_, ControlKind::Panel, {50, 40, 200, 150}));
    control(window_, ControlKind::Overlay, {0, 240, 400, 60});
    const auto blueByGdi = [&] {
        const HDC dc = GetDC(panel);
        const COLORREF colour = GetPixel(dc, 100, 75);
        ReleaseDC(panel, dc);
        return GetBValue(colour) > 200 && GetRValue(colour) < 60;
    };
    const auto waitFor = [](const auto& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return condition();
    };
    D3dPanels::Prefer(platform::Renderer::Automatic);
    // As the saver does: the window told before the open, which makes it ready, so the file
    // plays on the Media Engine where the system has one.
    ChoosingEngine engine(GetModuleHandleA(nullptr));
    engine.expectWindow(ToHandle(panel));
    ASSERT_EQ(engine.open(clip, true), 0u);
    ASSERT_EQ(engine.setWindow(ToHandle(panel)), 0u);
    ASSERT_EQ(engine.put({200, 150}), 0u);
    ASSERT_EQ(engine.play(), 0u);
    const auto played = [&] {
        std::uint32_t at = 0;
        return engine.position(at) == 0 && at > 500;
    };
    ASSERT_TRUE(waitFor(played));
    EXPECT_TRUE(D3dPanels::Composes(saver));
    EXPECT_FALSE(blueByGdi()) << "the graphics card draws the frames, not GDI";

    SharedD3dDevice()->forceLossForTesting();
    // The saver polls the mode; the Media Engine's clip goes to the session engine there.
    int mode = media::kNotReady;
    EXPECT_TRUE(waitFor([&] { return engine.mode(mode) == 0 && blueByGdi(); }))
        << "GDI takes the frames over";
    EXPECT_FALSE(D3dPanels::Composes(saver));
    EXPECT_EQ(engine.mode(mode), 0u);
    EXPECT_EQ(mode, media::kPlaying) << "the clip plays on";
    EXPECT_EQ(engine.close(true), 0u);

    ASSERT_EQ(engine.open(clip, true), 0u);
    ASSERT_EQ(engine.setWindow(ToHandle(panel)), 0u);
    ASSERT_EQ(engine.put({200, 150}), 0u);
    // Where the Media Engine cannot seek (Wine's), the session engine takes the clip from
    // there.
    ASSERT_EQ(engine.seek(1500), 0u);
    ASSERT_EQ(engine.play(), 0u);
    std::uint32_t at = 0;
    EXPECT_TRUE(waitFor([&] { return engine.position(at) == 0 && at > 0; }));
    EXPECT_GE(at, 1400u) << "it starts where it was sought";
    EXPECT_TRUE(D3dPanels::Composes(saver)) << "on a new device";
    EXPECT_TRUE(waitFor([&] { return engine.position(at) == 0 && at > 2000; }));
    EXPECT_TRUE(D3dPanels::Composes(saver));
    EXPECT_EQ(engine.close(true), 0u);

    // Among other controls, a panel draws on the graphics card only when asked to.
    const std::vector<std::uint32_t> frame(64, kRed);
    const int owner = 0;
    platform_.destroyWindow(window_);
    window_ = form("TD3dTest");
    control(window_, ControlKind::Button, {300, 0, 80, 24});
    const HWND inDialog = ToHwnd(control(window_, ControlKind::Panel, {0, 0, 100, 80}));
    const auto previewShown = [&] {
        return D3dPanels::ShowPicture(inDialog, &owner, frame.data(), SIZE{8, 8}, {100, 80, 0, 0});
    };
    EXPECT_FALSE(previewShown());
    D3dPanels::Release(inDialog, &owner);
    D3dPanels::Prefer(platform::Renderer::Direct3D);
    EXPECT_TRUE(previewShown());
    D3dPanels::Release(inDialog, &owner);
    D3dPanels::Prefer(platform::Renderer::Gdi);
    EXPECT_FALSE(previewShown());
    D3dPanels::Release(inDialog, &owner);
    D3dPanels::Prefer(platform::Renderer::Automatic);
}

}  // namespace
}  // namespace morvel::win32
