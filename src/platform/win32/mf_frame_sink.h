// Where Media Foundation's decoded pictures go: the sample grabber hands each frame, at its
// presentation time, to a FrameSink, which draws it into the display window with GDI.
#pragma once

#include <windows.h>

#include <mfidl.h>

#include <mutex>

namespace morvel::win32 {

// Called by the sample grabber on Media Foundation's threads. It holds no references of its
// own: its engine owns it and shuts the session down before it goes.
class FrameSink final : public IMFSampleGrabberSinkCallback {
  public:
    void setWindow(HWND window);
    void setFrameSize(SIZE size);
    void setDestination(RECT destination);
    RECT destination();

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

    std::mutex mutex_;  // the engine's thread sets what the grabber's threads draw with
    HWND window_ = nullptr;
    SIZE frame_{};
    RECT destination_{};
};

}  // namespace morvel::win32
