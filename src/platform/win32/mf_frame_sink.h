// Where Media Foundation's decoded pictures go: the sample grabber hands each frame, at its
// presentation time, to a FrameSink, which draws it with GDI into the display window and into
// every mirror window, each at its own destination: one decoding for all of them.
#pragma once

#include <windows.h>

#include <mfidl.h>

#include <cstddef>
#include <mutex>
#include <vector>

namespace morvel::win32 {

// Called by the sample grabber on Media Foundation's threads. It holds no references of its
// own: its engine owns it and shuts the session down before it goes.
class FrameSink final : public IMFSampleGrabberSinkCallback {
  public:
    // Window 0 is the display window; the mirrors follow in the order added.
    void setWindow(HWND window);
    void addMirror(HWND window);
    std::size_t windows();
    HWND window(std::size_t window);
    // A new file: its frame size, and every window's destination at that size.
    void setFrameSize(SIZE size);
    void setDestination(std::size_t window, RECT destination);
    RECT destination(std::size_t window);

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
    void draw(const BYTE* pixels, DWORD size);

    struct Target {
        HWND window = nullptr;
        RECT destination{};
    };

    std::mutex mutex_;  // the engine's thread sets what the grabber's threads draw with
    std::vector<Target> targets_{1};
    SIZE frame_{};
};

}  // namespace morvel::win32
