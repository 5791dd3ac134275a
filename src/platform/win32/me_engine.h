// A playback device over Media Foundation's Media Engine in frame-server mode: the engine
// decodes (on the graphics card where the system can) into the program's Direct3D 11 device,
// and this class transfers each new frame into a BGRA texture of the video's size and hands
// it to a frame sink, which composes the picture. It draws into no window itself: the sink is
// told the window and place of each frame, once for the device's window and once for each
// mirror, so that a clip on several monitors is decoded once.
//
// Threads: requests come on the user-interface thread, as for every engine. The Media Engine
// gives its notices on threads of its own; a frame pump, a thread of this class, asks the
// engine for new frames and calls the sink. The sink is called on the pump's thread only,
// never after close() has returned.
#pragma once

#include <windows.h>

#include <d3d11.h>
#include <wrl/client.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "media/fade_ramp.h"
#include "media/media_engine.h"
#include "platform/win32/d3d_device.h"
#include "platform/win32/me_engine_notices.h"
#include "platform/win32/me_video_device.h"
#include "platform/win32/mf_library.h"
#include "platform/win32/mf_media_engine_api.h"

namespace morvel::win32 {

template <typename T>
using MeComPtr = Microsoft::WRL::ComPtr<T>;

// One frame for the compositor: the texture (BGRA, the video's size) is the engine's and
// valid only during the call; `place` is where the picture goes in its window (put) and
// `weight` its weight over black (fade).
struct EngineFrame {
    ID3D11Texture2D* texture = nullptr;
    media::VideoRect place;
    double weight = 1.0;
    LONGLONG presentationTime = 0;  // 100 ns units from the clip's start
    std::uintptr_t window = 0;      // setWindow's
    const void* engine = nullptr;   // the engine that made it
};
using EngineFrameSink = std::function<void(const EngineFrame&)>;

class MeEngine final : public media::MediaEngine {
  public:
    // `sink` receives every new frame; `imports` is what Media Foundation must offer.
    MeEngine(std::span<const LibraryImport> imports, EngineFrameSink sink);
    ~MeEngine() override;
    MeEngine(const MeEngine&) = delete;
    MeEngine& operator=(const MeEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override;
    std::uint32_t setWindow(std::uintptr_t display) override;
    std::uint32_t put(media::VideoRect rect) override;
    std::uint32_t where(media::VideoRect& rect) override;
    std::uint32_t describe(media::VideoShape& shape) override;
    bool addMirror(std::uintptr_t display) override;
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t length(std::uint32_t& ms) override;
    std::uint32_t position(std::uint32_t& ms) override;
    std::uint32_t seek(std::uint32_t ms) override;
    std::uint32_t setVolume(int percent) override;
    void preferBlending(bool) override {}
    bool canFade() const override { return engine_ != nullptr; }
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override;
    std::uint32_t play() override;
    std::uint32_t stop(bool wait) override;
    std::uint32_t pause() override;
    std::uint32_t resume() override;
    std::uint32_t close(bool wait) override;
    std::uint32_t mode(int& mode) override;
    std::optional<std::string> errorText(std::uint32_t code) override;

    // The device the frames are made on; empty until the first open.
    ID3D11Device* device() const { return device_.device.Get(); }

  private:
    HRESULT prepare();
    HRESULT createEngine();
    HRESULT waitForLoad();
    HRESULT loadFailure();
    HRESULT makeFrameTexture();
    void startPump();
    void stopPump();
    void pumpFrames(std::stop_token stop);
    void deliverFrame(LONGLONG presentationTime);
    media::VideoRect placeOrOwnSize(media::VideoRect rect) const;
    void shutDown();

    SystemLibraries libraries_;
    EngineFrameSink sink_;
    bool started_ = false;
    VideoDevice device_;
    std::shared_ptr<D3dDevice> shared_;  // keeps the windows' device while the engine uses it
    MeComPtr<IMFDXGIDeviceManager> manager_;
    MeComPtr<mediaengine::IMFMediaEngineClassFactory> factory_;
    EngineNotices notices_;
    MeComPtr<mediaengine::IMFMediaEngine> engine_;
    MeComPtr<ID3D11Texture2D> frame_;
    media::VideoShape shape_;
    int mode_ = media::kNotReady;

    // Shared with the pump: what the sink is told and how loud the sound is.
    std::mutex lock_;
    std::condition_variable_any wake_;
    media::VideoRect place_;
    std::uintptr_t window_ = 0;
    struct Mirror {
        std::uintptr_t window;
        media::VideoRect place;
    };
    std::vector<Mirror> mirrors_;
    media::FadeRamp fade_;
    int volumePercent_ = 100;
    std::jthread pump_;
};

}  // namespace morvel::win32
