// The media engine over the Media Control Interface: one MCI device per engine.
//
// A file is opened on the device its extension names. A file that must not be heard, and may
// have a sound track, moves to the MPEG (DirectShow) device, whose volume every system
// honours: Wine's AVI and wave devices accept "audio off" and play on aloud, and take a
// volume as they take it, without a change.
//
// Every device counts time in milliseconds. MCI devices draw straight into their window; with
// blending preferred, a file on the AVI device draws unseen and its frames are copied into
// the panel (see mci_frame_pump.h), so that it can fade. Wine's AVI device takes no volume:
// its sound does not fade.
#pragma once

#include <windows.h>

#include <string>

#include "media/media_engine.h"
#include "platform/win32/mci_frame_pump.h"
#include "platform/win32/owned.h"
#include "platform/win32/video_panel.h"

namespace morvel::win32 {

class MciEngine final : public media::MediaEngine {
  public:
    explicit MciEngine(HINSTANCE instance);
    ~MciEngine() override;
    MciEngine(const MciEngine&) = delete;
    MciEngine& operator=(const MciEngine&) = delete;

    std::uint32_t open(const std::string& file, bool wait) override;
    bool hasVideo() const override { return hasVideo_; }
    std::uint32_t setWindow(std::uintptr_t display) override;
    std::uint32_t put(media::VideoRect rect) override;
    std::uint32_t setAudible(bool audible) override;
    std::uint32_t length(std::uint32_t& ms) override;
    std::uint32_t position(std::uint32_t& ms) override;
    std::uint32_t seek(std::uint32_t ms) override;
    std::uint32_t setVolume(int percent) override;
    void preferBlending(bool blending) override { blending_ = blending; }
    bool canFade() const override { return device_ != 0 && blends_; }
    std::uint32_t fade(double from, double to, std::uint32_t durationMs) override;
    std::uint32_t where(media::VideoRect& rect) override;
    std::uint32_t describe(media::VideoShape& shape) override;
    std::uint32_t play() override;
    std::uint32_t stop(bool wait) override;
    std::uint32_t pause() override;
    std::uint32_t resume() override;
    std::uint32_t close(bool wait) override;
    std::uint32_t mode(int& mode) override;
    std::optional<std::string> errorText(std::uint32_t code) override;

  private:
    std::uint32_t openDevice(const std::string& file, const char* type, bool wait);
    std::uint32_t send(UINT command, DWORD_PTR flags, void* parameters);
    void repaintInto(HDC dc);
    bool onMpegDevice();
    void moveToMpegDevice();
    bool queryHasVideo();
    bool queryHasAudio();
    bool withoutSoundTrack();
    std::uint32_t whereRect(DWORD_PTR which, RECT& rect);
    void takenAsEdges(const media::VideoRect& rect);
    std::uint32_t status(DWORD_PTR item, std::uint32_t& value);
    std::uint32_t sendVolume(DWORD level);

    UINT device_ = 0;  // 0: no device open
    bool hasVideo_ = false;
    std::string file_;            // of the open device
    const char* type_ = nullptr;  // the device type it was opened on, if one was named
    int volume_ = 100;            // percent of the device's full volume, while heard
    bool blending_ = false;       // preferred: AVI pictures go through the pump
    bool blends_ = false;         // the open device's pictures go through the pump
    media::VideoRect blendedTo_;  // where the pump puts them in the panel
    OwnedWindow hiddenWindow_;    // where a blended device draws, unseen
    HWND window_ = nullptr;       // the open device draws here
    PanelMark panel_;             // of the window drawn into, while a file is open
    // Receives the completion notices of play requests; nothing else goes there.
    OwnedWindow notifyWindow_;
    MciFramePump pump_{notifyWindow_.get()};  // its timer goes to the notice window
};

}  // namespace morvel::win32
