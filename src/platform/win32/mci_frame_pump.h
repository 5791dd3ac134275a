// Blending for MCI's AVI device, which draws its pictures straight into a window: it is given
// a hidden window of its own to draw into, and while it plays a timer asks it for its current
// frame (MCI_UPDATE into a memory picture) some forty times a second and hands that to the
// panel's compositor, with the destination and the fade the panel asked for. The timer runs
// on the thread that opened the device: Wine's MCI answers a device's requests on that thread
// only. Wine's MPEG device refuses MCI_UPDATE: its files blend through Media Foundation.
#pragma once

#include <windows.h>

#include <cstdint>

#include "media/fade_ramp.h"
#include "media/media_engine.h"
#include "platform/win32/owned.h"

namespace morvel::win32 {

using media::FadeRamp;

struct MemoryDcCloser {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

class MciFramePump {
  public:
    // `timers`: a window of the device's thread that the pump's timer goes to; the pump uses
    // its user data.
    explicit MciFramePump(HWND timers) : timers_(timers) {}
    MciFramePump(const MciFramePump&) = delete;
    MciFramePump& operator=(const MciFramePump&) = delete;
    ~MciFramePump() { stop(); }

    // Starts copying frames of `frame` size from the open `device` into `panel`; the
    // destination and fade set before stay.
    void start(UINT device, SIZE frame, HWND panel);
    void setDestination(const media::VideoRect& to) { to_ = to; }
    void fade(double from, double to, std::uint32_t durationMs);
    // No more frames (the device closes): the picture leaves the panel's sum.
    void stop();
    bool running() const { return device_ != 0; }

  private:
    static void CALLBACK Tick(HWND window, UINT, UINT_PTR, DWORD);
    void copyFrame();

    HWND timers_;
    UINT device_ = 0;
    SIZE frame_{};
    HWND panel_ = nullptr;
    media::VideoRect to_{};
    FadeRamp ramp_;
    Owned<HDC, MemoryDcCloser> dc_;
    Owned<HBITMAP, GdiObjectCloser> picture_;
    HGDIOBJ unselected_ = nullptr;
    const std::uint32_t* pixels_ = nullptr;
};

}  // namespace morvel::win32
