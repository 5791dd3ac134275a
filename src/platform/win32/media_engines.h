// The media engine every MediaDevice on Windows gets: MCI for what it has a device for,
// Media Foundation for the rest (MP4, MOV, MKV...). The callers see one engine.
#pragma once

#include <windows.h>

#include <memory>
#include <span>

#include "media/media_engine.h"
#include "platform/win32/mci_engine.h"
#include "platform/win32/mf_engine.h"

namespace morvel::win32 {

class ChoosingEngine final : public media::MediaEngine {
  public:
    // `foundation`: what Media Foundation needs of the system (see mf_library.h).
    explicit ChoosingEngine(HINSTANCE instance,
                            std::span<const LibraryImport> foundation = FoundationImports())
        : mci_(instance), foundationImports_(foundation) {}
    ChoosingEngine(const ChoosingEngine&) = delete;
    ChoosingEngine& operator=(const ChoosingEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return current_->hasVideo(); }
    std::uint32_t setWindow(std::uintptr_t display) override {
        return current_->setWindow(display);
    }
    std::uint32_t put(media::VideoRect rect) override { return current_->put(rect); }
    std::uint32_t where(media::VideoRect& rect) override { return current_->where(rect); }
    std::uint32_t setAudible(bool audible) override { return current_->setAudible(audible); }
    std::uint32_t play() override { return current_->play(); }
    std::uint32_t stop(bool wait) override { return current_->stop(wait); }
    std::uint32_t pause() override { return current_->pause(); }
    std::uint32_t resume() override { return current_->resume(); }
    std::uint32_t close(bool wait) override { return current_->close(wait); }
    std::uint32_t mode(int& mode) override { return current_->mode(mode); }
    std::optional<std::string> errorText(std::uint32_t code) override;

  private:
    MciEngine mci_;
    std::span<const LibraryImport> foundationImports_;
    // Made at the first file MCI refuses: starting Media Foundation costs time.
    std::unique_ptr<MfEngine> foundation_;
    media::MediaEngine* current_ = &mci_;  // the engine of the open file, else MCI
};

}  // namespace morvel::win32
