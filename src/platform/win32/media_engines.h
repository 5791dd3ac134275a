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
// whose other devices cannot fade, and the program cuts to it. The same holds wherever the
// graphics card draws the pictures (d3d_panels.h); there a file goes to the Media Engine
// first (decoding on the graphics card, its frames textures, one decoding for the window and
// its mirrors), one engine per file. A clip it refuses (no sound device, a format) goes to
// the session engine; so does the rest of a clip it cannot seek into (Wine's has no
// seeking), whose window went back to GDI, or that stops moving (Wine's now and then never
// ends a clip).
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "media/media_engine.h"
#include "media/progress_watch.h"
#include "platform/win32/mci_engine.h"
#include "platform/win32/me_engine.h"
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
    void expectWindow(std::uintptr_t display) override { display_ = display; }
    std::uint32_t put(media::VideoRect rect) override;
    std::uint32_t where(media::VideoRect& rect) override { return current_->where(rect); }
    std::uint32_t describe(media::VideoShape& shape) override { return current_->describe(shape); }
    bool addMirror(std::uintptr_t display) override;
    std::uint32_t putMirror(std::size_t mirror, media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t length(std::uint32_t& ms) override { return current_->length(ms); }
    std::uint32_t position(std::uint32_t& ms) override { return current_->position(ms); }
    std::uint32_t seek(std::uint32_t ms) override;
    // Only the first device is heard; its mirrors' stay silent.
    std::uint32_t setVolume(int percent) override;
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
    std::uint32_t openOnMediaEngine(const std::string& file, bool wait);
    // The Media Engine's clip goes on in the session engine from `ms`: where the Media Engine
    // cannot seek (Wine's), where its window went back to GDI (a lost device), or where the
    // clip stopped moving.
    std::uint32_t handOver(std::uint32_t ms);
    // At each poll of the Media Engine's clip: to the session engine where its window went
    // back to GDI or the clip stopped moving, ended where it stopped at its end.
    void watchMediaEngine();
    // The device's window and its mirrors': where the Media Engine's frames go.
    std::vector<HWND> framedWindows() const;
    bool allComposed() const;
    void releaseFramedWindows();
    bool onMci() const { return current_ == &mci_; }
    bool onMediaEngine() const { return media_ && current_ == media_.get(); }
    // The same request to the first device, then to each MCI mirror's; the first's answer.
    template <typename Request>
    std::uint32_t everyDevice(Request request);

    HINSTANCE instance_;
    MciEngine mci_;
    std::span<const LibraryImport> foundationImports_;
    // Made at the first file MCI refuses: starting Media Foundation costs time.
    std::unique_ptr<MfEngine> foundation_;
    // Where the graphics card composes the window, for every file but an AVI: its frames are
    // textures of the shared device (d3d_panels.h).
    std::unique_ptr<MeEngine> media_;
    media::MediaEngine* current_ = &mci_;  // the engine of the open file, else MCI
    std::uintptr_t display_ = 0;           // the window the last file was drawn into
    std::vector<MciMirror> mciMirrors_;
    bool blending_ = false;  // files go to Media Foundation first, whose pictures blend
    // What the callers asked of the open file, told again to the engine it is handed to.
    std::string file_;
    std::optional<media::VideoRect> placed_;
    std::map<std::size_t, media::VideoRect> mirrorsPlaced_;
    struct Fade {
        double from;
        double to;
        std::uint32_t durationMs;
    };
    std::optional<Fade> fading_;  // the last asked for, begun again where the clip moves
    bool audible_ = true;
    int volume_ = 100;
    bool playing_ = false;
    media::ProgressWatch progress_;
};

}  // namespace morvel::win32
