// More options: how the picture takes the screen and what shows over it. Like the video
// sound dialog, it never touches the settings file: the settings dialog fills it when it is
// created and saves it on OK. It holds one group per question, and more can join them.
#pragma once

#include <array>

#include "platform/platform.h"
#include "platform/window.h"

namespace morvel::settings {

inline constexpr const char* kMoreDialogClassName = "TFrmMore";

class TFrmMore {
  public:
    // Created hidden, owned by the settings dialog, with nothing checked.
    TFrmMore(platform::Platform& platform, platform::Handle owner);
    TFrmMore(const TFrmMore&) = delete;
    TFrmMore& operator=(const TFrmMore&) = delete;

    platform::Handle handle() const { return window_.get(); }
    void ShowModal() { platform_.showModal(handle()); }

    // Stored values: Fit 0 stretch, 1 fit, 2 fill; Clock 0 nothing, 1 the time, 2 the time
    // and date; Caption 1 the name of each video; NextKey 1 the right arrow plays the next
    // video. A value not listed checks nothing.
    void LoadChoices(int fit, int clock, int caption, int nextKey);
    // What to store: a group with nothing checked stores 0, as the saver reads no key.
    int FitChoice() const;
    int ClockChoice() const;
    int CaptionChoice() const;
    int NextKeyChoice() const;

    // Handlers.
    void BitBtn1Click();

  private:
    void createControls();
    platform::Handle createGroup(const char* name, platform::Rect bounds, const char* caption);
    platform::Handle createChoice(platform::ControlKind kind, const char* name,
                                  platform::Handle group, int top, const char* caption,
                                  const char* hint);

    platform::Platform& platform_;
    platform::UniqueWindow window_;
    std::array<platform::Handle, 3> fitButtons_{};    // Radfitstretch, Radfitwhole, Radfitfill
    std::array<platform::Handle, 3> clockButtons_{};  // Radshownone, Radshowtime, Radshowdate
    platform::Handle chkname_ = 0;
    platform::Handle chknext_ = 0;
};

}  // namespace morvel::settings
