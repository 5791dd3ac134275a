// The video sound dialog: whether the saver mutes or un-mutes the system's sound when it
// starts and when it ends. Each group of two buttons has a third state, neither checked,
// meaning "leave the mute alone". The dialog never touches the settings file: the settings
// dialog fills it when it is created and saves it on OK.
#pragma once

#include <optional>

#include "platform/platform.h"
#include "platform/window.h"

namespace morvel::settings {

inline constexpr const char* kSoundDialogClassName = "TFrmSound";

class TFrmSound {
  public:
    // Created hidden, owned by the settings dialog, with no button checked.
    TFrmSound(platform::Platform& platform, platform::Handle owner);
    TFrmSound(const TFrmSound&) = delete;
    TFrmSound& operator=(const TFrmSound&) = delete;

    platform::Handle handle() const { return window_.get(); }
    void ShowModal() { platform_.showModal(handle()); }

    // Stored values: 1 un-mute, 0 mute, anything else no change (neither button checked).
    void LoadChoices(int starton, int endon);
    // The value to store for each group, or nothing when neither of its buttons is checked.
    std::optional<int> StartChoice() const;
    std::optional<int> EndChoice() const;

    // Handlers.
    void Button1Click();
    void BitBtn3Click();

  private:
    void createControls();
    platform::Handle createOptionPanel(const char* name, int top);
    platform::Handle createOption(const char* name, platform::Handle panel, platform::Rect bounds,
                                  const char* caption);
    std::optional<int> choice(platform::Handle unmute, platform::Handle mute) const;

    platform::Platform& platform_;
    platform::UniqueWindow window_;
    platform::Handle Radstoff_ = 0;
    platform::Handle Radston_ = 0;
    platform::Handle Radenoff_ = 0;
    platform::Handle Radenon_ = 0;
};

}  // namespace morvel::settings
