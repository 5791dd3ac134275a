#include "platform/win32/mci_frame_pump.h"

#include <mmsystem.h>

#include <digitalv.h>

#include "platform/win32/mf_frame_sink.h"
#include "platform/win32/panel_compositor.h"

namespace morvel::win32 {

namespace {

// Some forty frames a second: smooth for the fade, whatever the clip's own rate.
constexpr UINT kFrameIntervalMs = 25;
constexpr UINT_PTR kPumpTimer = 1;

}  // namespace

void MciFramePump::start(UINT device, SIZE frame, HWND panel) {
    if (running() || frame.cx <= 0 || frame.cy <= 0 || panel == nullptr) {
        return;
    }
    BITMAPINFO format = TopDownFormat(frame);
    void* bits = nullptr;
    dc_ = Owned<HDC, MemoryDcCloser>(CreateCompatibleDC(nullptr));
    picture_ = Owned<HBITMAP, GdiObjectCloser>(
        CreateDIBSection(dc_.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc_ || !picture_ || bits == nullptr) {
        return;
    }
    unselected_ = SelectObject(dc_.get(), picture_.get());
    pixels_ = static_cast<const std::uint32_t*>(bits);
    device_ = device;
    frame_ = frame;
    panel_ = panel;
    if (to_.right == 0 || to_.bottom == 0) {
        to_ = media::VideoRect{frame.cx, frame.cy};
    }
    SetWindowLongPtrW(timers_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetTimer(timers_, kPumpTimer, kFrameIntervalMs, Tick);
}

void MciFramePump::fade(double from, double to, std::uint32_t durationMs) {
    ramp_.start(from, to, durationMs, FadeRamp::Clock::now());
}

void MciFramePump::stop() {
    if (running()) {
        KillTimer(timers_, kPumpTimer);
        SetWindowLongPtrW(timers_, GWLP_USERDATA, 0);
        PanelCompositor::Leave(panel_, this);
        SelectObject(dc_.get(), unselected_);
    }
    picture_ = {};
    dc_ = {};
    pixels_ = nullptr;
    device_ = 0;
    panel_ = nullptr;
    to_ = media::VideoRect{};
    ramp_ = FadeRamp{};
}

void CALLBACK MciFramePump::Tick(HWND window, UINT, UINT_PTR, DWORD) {
    if (auto* pump = reinterpret_cast<MciFramePump*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
        pump->copyFrame();
    }
}

void MciFramePump::copyFrame() {
    MCI_DGV_UPDATE_PARMS update{};
    update.hDC = dc_.get();
    update.rc = RECT{0, 0, frame_.cx, frame_.cy};
    if (mciSendCommandW(device_, MCI_UPDATE, MCI_DGV_UPDATE_HDC | MCI_DGV_RECT | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&update)) != 0) {
        return;
    }
    GdiFlush();
    if (PanelCompositor::Show(panel_, this, PixelsView{pixels_, frame_}, to_, ramp_)) {
        return;
    }
    RECT client{};
    GetClientRect(panel_, &client);
    const WindowDc window(panel_);
    DrawClipped(window.get(), SIZE{client.right, client.bottom}, pixels_, frame_, to_);
}

}  // namespace morvel::win32
