// The media engine every MediaDevice on Windows gets: MCI for what it has a device for,
// Media Foundation for the rest (MP4, MOV, MKV...). The callers see one engine.
//
// It draws into mirror windows with either: Media Foundation draws its one decoding into
// each; an MCI device draws into one window only, so for a file on MCI each mirror has a
// silent MCI device of its own, opened, commanded and closed with the first.
//
// MCI devices draw their pictures straight into the window, where they cannot be blended,
// but for the AVI device, which can hand over its frames (see mci_frame_pump.h). With
// blending preferred an AVI file goes to MCI as ever, every other file to Media Foundation
// first (Wine's plays MPEG-1 and MP4, not Video 1 AVI); a file it cannot play goes to MCI,
// whose other devices cannot fade, and the program cuts to it.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <vector>

#include "media/media_engine.h"
#include "platform/win32/mci_engine.h"
#include "platform/win32/mf_engine.h"

namespace morvel::win32 {

class ChoosingEngine final : public media::MediaEngine {
  public:
    // `foundation`: what Media Foundation needs of the system (see mf_library.h).
    explicit ChoosingEngine(HINSTANCE instance,
                            std::span<const LibraryImport> foundation = FoundationImports())
        : instance_(instance), mci_(instance), foundationImports_(foundation) {}
    ChoosingEngine(const ChoosingEngine&) = delete;
    ChoosingEngine& operator=(const ChoosingEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return current_->hasVideo(); }
    std::uint32_t setWindow(std::uintptr_t display) override;
    std::uint32_t put(media::VideoRect rect) override { return current_->put(rect); }
    std::uint32_t where(media::VideoRect& rect) override { return current_->where(rect); }
    std::uint32_t describe(media::VideoShape& shape) override { return current_->describe(shape); }
    bool addMirror(std::uintptr_t display) override;
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override { return current_->setAudible(audible); }
    std::uint32_t length(std::uint32_t& ms) override { return current_->length(ms); }
    std::uint32_t position(std::uint32_t& ms) override { return current_->position(ms); }
    std::uint32_t seek(std::uint32_t ms) override;
    // Only the first device is heard; its mirrors' stay silent.
    std::uint32_t setVolume(int percent) override { return current_->setVolume(percent); }
    void preferBlending(bool blending) override;
    bool canFade() const override;
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override;
    std::uint32_t play() override;
    std::uint32_t stop(bool wait) override;
    std::uint32_t pause() override;
    std::uint32_t resume() override;
    std::uint32_t close(bool wait) override;
    std::uint32_t mode(int& mode) override;
    std::optional<std::string> errorText(std::uint32_t code) override;

  private:
    struct MciMirror {
        std::uintptr_t display;
        std::unique_ptr<MciEngine> engine;
    };

    std::uint32_t openMciMirrors(const std::string& file, bool wait);
    std::uint32_t openOnFoundation(const std::string& file, bool wait);
    bool onMci() const { return current_ == &mci_; }
    // The same request to the first device, then to each MCI mirror's; the first's answer.
    template <typename Request>
    std::uint32_t everyDevice(Request request);

    HINSTANCE instance_;
    MciEngine mci_;
    std::span<const LibraryImport> foundationImports_;
    // Made at the first file MCI refuses: starting Media Foundation costs time.
    std::unique_ptr<MfEngine> foundation_;
    media::MediaEngine* current_ = &mci_;  // the engine of the open file, else MCI
    std::uintptr_t display_ = 0;           // the window the last file was drawn into
    std::vector<MciMirror> mciMirrors_;
    bool blending_ = false;  // files go to Media Foundation first, whose pictures blend
};

}  // namespace morvel::win32
