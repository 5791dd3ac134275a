// The media engine over Media Foundation, for what MCI has no device for (MP4, MOV, MKV...).
//
// A media session plays the file: its sound goes to the system's audio renderer, its
// pictures to a sample grabber that hands each decoded frame, at its presentation time, to
// a FrameSink, which draws it into the display window with GDI. Drawing ourselves keeps the
// picture where MCI draws its own (a child window) and needs no Direct3D device.
#pragma once

#include <windows.h>

#include <mfidl.h>
#include <wrl/client.h>

#include <mutex>
#include <vector>

#include "media/media_engine.h"

namespace morvel::win32 {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

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

// The system's text for a Media Foundation result code, if it has one.
std::optional<std::string> FoundationErrorText(std::uint32_t code);

class MfEngine final : public media::MediaEngine {
  public:
    MfEngine();
    ~MfEngine() override;
    MfEngine(const MfEngine&) = delete;
    MfEngine& operator=(const MfEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return hasVideo_; }
    std::uint32_t setWindow(std::uintptr_t display) override;
    std::uint32_t put(media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t where(media::VideoRect& rect) override;
    std::uint32_t play() override;
    std::uint32_t stop(bool wait) override;
    std::uint32_t pause() override;
    std::uint32_t resume() override;
    std::uint32_t close(bool wait) override;
    std::uint32_t mode(int& mode) override;
    std::optional<std::string> errorText(std::uint32_t code) override {
        return FoundationErrorText(code);
    }

  private:
    HRESULT startSession(const std::wstring& url, bool withSound);
    HRESULT waitForEvent(MediaEventType awaited);
    void takeEvent(IMFMediaEvent& event);
    void drainEvents();
    void release();

    bool started_ = false;  // Media Foundation is started for this engine
    ComPtr<IMFMediaSource> source_;
    ComPtr<IMFMediaSession> session_;
    bool hasVideo_ = false;
    bool playsSound_ = false;  // the session has a branch to the audio renderer
    SIZE ownSize_{};
    int mode_ = media::kNotReady;
    FrameSink frames_;
};

}  // namespace morvel::win32
