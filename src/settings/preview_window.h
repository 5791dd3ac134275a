// The preview window: plays one video of the list in a window of its own. The settings
// dialog makes a new one for every preview, puts the video's full path into `Lblname`,
// shows it modally and destroys it when it closes, which closes its device.
#pragma once

#include <memory>
#include <string>

#include "media/media_device.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace morvel::settings {

inline constexpr const char* kPreviewClassName = "TFrmviddis";

class TFrmviddis {
  public:
    TFrmviddis(platform::Platform& platform, platform::Handle owner);
    TFrmviddis(const TFrmviddis&) = delete;
    TFrmviddis& operator=(const TFrmviddis&) = delete;

    platform::Handle handle() const { return window_.get(); }
    void SetVideo(const std::string& path) { platform_.setCaption(Lblname_, path); }
    void ShowModal() { platform_.showModal(handle()); }

    // Handlers.
    void cmdplayClick();
    void cmdpauseClick();
    void cmdstopClick();
    void BitBtn4Click();

  private:
    platform::WindowSpec windowSpec(platform::Handle owner) const;
    void createControls();
    platform::Handle createButton(const char* name, platform::Rect bounds, const char* caption,
                                  const char* image, void (TFrmviddis::*handler)());
    void StopIfPlaying();
    void ShowError(const std::string& text);

    platform::Platform& platform_;
    platform::UniqueWindow window_;
    platform::Handle Panel1_ = 0;
    platform::Handle Lblname_ = 0;
    // Declared after the window, so the device is closed before its display goes.
    std::unique_ptr<media::MediaDevice> MediaPlayer1;
};

}  // namespace morvel::settings
