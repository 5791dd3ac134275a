// More options: how the picture takes the screen, what shows over it, how one clip follows
// another, and power. Like the video sound dialog, it never touches the settings file: the
// settings dialog fills it when it is created and saves it on OK. It holds one group per
// question, in two columns.
#pragma once

#include <array>
#include <string>

#include "platform/platform.h"
#include "platform/window.h"

namespace morvel::settings {

inline constexpr const char* kMoreDialogClassName = "TFrmMore";

// The stored values the dialog shows and gives back, as the settings file holds them.
struct MoreChoices {
    int fit = 0;      // 0 stretch, 1 fit, 2 fill
    int clock = 0;    // 0 nothing, 1 the time, 2 the time and date
    int caption = 0;  // 1 the name of each video
    int nextKey = 0;  // 1 the right arrow plays the next video
    int fade = 0;     // the dissolve in milliseconds; 0 a cut
    int startAt = 0;  // 0 the beginning, 1 a random point, 2 where they stopped
    int dark = 0;     // minutes; 0 never
    int battery = 0;  // 1 black on battery
    int volume = 100;
    int renderer = 0;  // 0 the graphics card where it can, 1 never, 2 the card asked for
    friend bool operator==(const MoreChoices&, const MoreChoices&) = default;
};

class TFrmMore {
  public:
    // Created hidden, owned by the settings dialog, with nothing checked but the graphics card.
    TFrmMore(platform::Platform& platform, platform::Handle owner);
    TFrmMore(const TFrmMore&) = delete;
    TFrmMore& operator=(const TFrmMore&) = delete;

    platform::Handle handle() const { return window_.get(); }
    void ShowModal() { platform_.showModal(handle()); }

    // A value a group does not list checks nothing there.
    void LoadChoices(const MoreChoices& choices);
    // What to store: a group with nothing checked stores 0, as the saver reads no key, but
    // for a dissolve the dialog has no button for (a hand-edited file's), which is stored
    // again as it was read.
    MoreChoices Choices() const;

    // Handlers.
    void BitBtn1Click();
    void sldvolumeScroll();

  private:
    void createControls();
    void createPictureColumn();
    void createFlowColumn();
    platform::Handle createGroup(const char* name, platform::Rect bounds, const char* caption);
    platform::Handle createChoice(platform::ControlKind kind, const char* name,
                                  platform::Handle group, int top, const char* caption,
                                  const char* hint);
    // The minutes typed, where they are a number the saver takes.
    std::optional<int> TypedDarkMinutes() const;

    platform::Platform& platform_;
    platform::UniqueWindow window_;
    std::array<platform::Handle, 3> fitButtons_{};    // Radfitstretch, Radfitwhole, Radfitfill
    std::array<platform::Handle, 3> clockButtons_{};  // Radshownone, Radshowtime, Radshowdate
    platform::Handle chkname_ = 0;
    platform::Handle chknext_ = 0;
    platform::Handle sldvolume_ = 0;
    platform::Handle lblvolume_ = 0;
    // Radfadecut, Radfadehalf, Radfadeone, Radfadetwo
    std::array<platform::Handle, 4> fadeButtons_{};
    // Radstartbegin, Radstartrandom, Radstartstopped
    std::array<platform::Handle, 3> startButtons_{};
    platform::Handle txtdark_ = 0;
    platform::Handle chkbattery_ = 0;
    platform::Handle chkgraphics_ = 0;
    int loadedFade_ = 0;      // as read: kept where no button shows it
    int loadedDark_ = 0;      // as the saver reads it: kept where the minutes typed are not taken
    int loadedRenderer_ = 0;  // as read: a 2 stays while the graphics card stays checked
};

}  // namespace morvel::settings
