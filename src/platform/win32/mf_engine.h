// The media engine over Media Foundation, for what MCI has no device for (MP4, MOV, MKV...).
//
// A media session plays the file: its sound goes to the system's audio renderer, its
// pictures to a sample grabber whose FrameSink draws them into the display window, and into
// every mirror window, with GDI.
// Drawing ourselves keeps the picture where MCI draws its own (a child window) and needs no
// Direct3D device.
//
// The mode is what the caller last commanded; the session's answers come later, on its own
// threads, and change it only when they say the command failed, or that the clip has ended
// with no command under way. Every file's objects are shut down as Media Foundation asks
// (session closed, then source, session and sinks shut down) before the next file opens;
// only the audio renderer serves every file, and goes with the engine.
//
// A seek is kept until play, which starts the session there: the first frame shown is the
// one there. A fade weights the pictures (see FrameSink) and the sound alike.
#pragma once

#include <windows.h>

#include <mfidl.h>
#include <wrl/client.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "media/media_engine.h"
#include "platform/win32/mf_frame_sink.h"
#include "platform/win32/mf_library.h"
#include "platform/win32/video_panel.h"

namespace morvel::win32 {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

class MfEngine final : public media::MediaEngine {
  public:
    // `imports`: what the engine needs of the system; without any of it every open fails
    // with kFoundationMissing and no Media Foundation call is ever made.
    explicit MfEngine(std::span<const LibraryImport> imports = FoundationImports());
    ~MfEngine() override;
    MfEngine(const MfEngine&) = delete;
    MfEngine& operator=(const MfEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return hasVideo_; }
    std::uint32_t setWindow(std::uintptr_t display) override;
    bool addMirror(std::uintptr_t display) override;
    std::uint32_t put(media::VideoRect rect) override;
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t length(std::uint32_t& ms) override;
    std::uint32_t position(std::uint32_t& ms) override;
    std::uint32_t seek(std::uint32_t ms) override;
    std::uint32_t setVolume(int percent) override;
    void preferBlending(bool) override {}  // its pictures can always be blended
    bool canFade() const override { return session_.Get() != nullptr; }
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override;
    std::uint32_t where(media::VideoRect& rect) override;
    std::uint32_t describe(media::VideoShape& shape) override;
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
    std::uint32_t putInto(std::size_t window, media::VideoRect rect);
    HRESULT startSession(const std::wstring& url, bool withSound);
    HRESULT waitForEvent(MediaEventType awaited);
    void takeEvent(IMFMediaEvent& event);
    void takeAnswer(MediaEventType type, HRESULT status);
    HRESULT speakersStream(ComPtr<IMFStreamSink>& stream);
    void drainEvents();
    void commanded(int mode);
    void shutDown();
    void markWindows();
    void findStreamVolume();
    void applyVolume();

    SystemLibraries libraries_;  // held until after MFShutdown
    bool started_ = false;       // Media Foundation is started for this engine
    ComPtr<IMFMediaSource> source_;
    ComPtr<IMFMediaSession> session_;
    std::vector<ComPtr<IMFActivate>> sinks_;  // of this file's output nodes
    ComPtr<IMFMediaSink> speakers_;           // the audio renderer, kept from file to file
    bool hasVideo_ = false;
    bool playsSound_ = false;  // the session has a branch to the audio renderer
    media::VideoShape shape_;  // of the open file's picture
    LONGLONG duration_ = 0;    // of the open file, in 100 ns units; 0 where the source cannot tell
    // Where the next play starts, in 100 ns units (a seek's); none: where the session is.
    std::optional<LONGLONG> startAt_;
    // The sound's level: the volume asked for times the fade's weight, set on the audio
    // renderer's stream (its own, not the session's shared volume) at every request and
    // every frame; the frames' threads set it too, hence the lock.
    std::mutex volumeMutex_;
    ComPtr<IMFAudioStreamVolume> streamVolume_;
    std::atomic<int> volume_ = 100;
    int mode_ = media::kNotReady;
    int unanswered_ = 0;            // Start, Pause and Stop commands whose answer has not come yet
    FrameSink frames_;              // outlives the session, which draws through it
    std::vector<PanelMark> marks_;  // of the windows drawn into, while a file is open
};

}  // namespace morvel::win32
