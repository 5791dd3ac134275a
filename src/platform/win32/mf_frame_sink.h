// Where Media Foundation's decoded pictures go: the sample grabber hands each frame, at its
// presentation time, to a FrameSink, which draws it with GDI into the display window and into
// every mirror window, each at its own destination: one decoding for all of them. While the
// file fades, the frames go to each window's compositor instead.
//
// A destination is a media::VideoRect: the picture turned (on the CPU, once per frame for
// every window), scaled to right x bottom with its corner at (left, top). Only the part the
// window shows is scaled: a fill, larger than its window, costs no more than a stretch.
#pragma once

#include <windows.h>

#include <mfidl.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "media/fade_ramp.h"
#include "media/media_engine.h"

namespace morvel::win32 {

using media::FadeRamp;

// Called by the sample grabber on Media Foundation's threads. It holds no references of its
// own: its engine owns it and shuts the session down before it goes.
class FrameSink final : public IMFSampleGrabberSinkCallback {
  public:
    // Called on the frames' threads after each frame of a fading file, without the sink's lock.
    void afterEachFrame(std::function<void()> hook) { afterFrame_ = std::move(hook); }
    // Window 0 is the display window; the mirrors follow in the order added.
    void setWindow(HWND window);
    void addMirror(HWND window);
    std::size_t windows();
    HWND window(std::size_t window);
    // A new file: its frame size, and every window's destination at that size, upright.
    void setFrameSize(SIZE size);
    void setDestination(std::size_t window, media::VideoRect destination);
    media::VideoRect destination(std::size_t window);
    // From now until the file ends its frames are weighted as the fade says and summed with
    // the other devices' in each window (see panel_compositor.h); before, they go straight
    // to the windows, as ever.
    void fade(double from, double to, std::uint32_t durationMs);
    // The fade's weight now: 1 without one.
    double weight();
    // The file's last frame is drawn: its pictures leave the windows' sums.
    void endFile();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID id, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    // IMFClockStateSink
    STDMETHODIMP OnClockStart(MFTIME, LONGLONG) override { return S_OK; }
    STDMETHODIMP OnClockStop(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockPause(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockRestart(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockSetRate(MFTIME, float) override { return S_OK; }
    // IMFSampleGrabberSinkCallback
    STDMETHODIMP OnSetPresentationClock(IMFPresentationClock*) override { return S_OK; }
    STDMETHODIMP OnProcessSample(REFGUID majorType, DWORD flags, LONGLONG time, LONGLONG duration,
                                 const BYTE* buffer, DWORD size) override;
    STDMETHODIMP OnShutdown() override { return S_OK; }

  private:
    // One picture in memory, 32 bits a pixel, top row first.
    struct Picture {
        const std::uint32_t* pixels = nullptr;
        LONG width = 0;
        LONG height = 0;
    };
    struct Target {
        HWND window = nullptr;
        media::VideoRect destination{};
    };

    // Whether the file fades.
    bool draw(const BYTE* pixels, DWORD size);
    Picture turned(Picture stored, int rotation);

    std::function<void()> afterFrame_;  // set before any session delivers a frame
    std::mutex mutex_;  // the engine's thread sets what the grabber's threads draw with
    std::vector<Target> targets_{1};
    SIZE frame_{};
    bool blending_ = false;  // a fade was asked for the open file
    FadeRamp ramp_;
    std::vector<std::uint32_t> turned_;  // the last frame turned, reused from frame to frame
};

// `stored` (size.cx x size.cy, top row first) turned clockwise by 90, 180 or 270 degrees into
// `out`, top row first (sideways: size.cy wide).
void TurnClockwise(const std::uint32_t* stored, SIZE size, int rotation,
                   std::vector<std::uint32_t>& out);
// Draws `source` (width x height, top row first) into `dc` scaled to the destination, cut to
// the window's `client` area first: only the visible source pixels are handed to GDI.
void DrawClipped(HDC dc, SIZE client, const std::uint32_t* source, SIZE size,
                 const media::VideoRect& to);

}  // namespace morvel::win32
