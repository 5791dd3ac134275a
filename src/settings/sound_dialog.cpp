#include "settings/sound_dialog.h"

#include "settings/form_controls.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

constexpr const char* kIntroduction =
    "Turn your sound on or off while your videos are playing. Many videos have different "
    "volumes, so this feature will allow you to turn video sound off.";

constexpr int kUnmute = 1;
constexpr int kMute = 0;

}  // namespace

TFrmSound::TFrmSound(platform::Platform& platform, Handle owner)
    : platform_(platform),
      window_(platform, ReturnDialogSpec(kSoundDialogClassName, "Video Sound", {344, 243}, owner)) {
    createControls();
}

void TFrmSound::createControls() {
    platform::ControlSpec intro = MakeSpec(ControlKind::Label, "Label2", 0, Rect{9, 5, 319, 47},
                                           kIntroduction, ArialPixels(12));
    intro.wordWrap = true;
    platform_.createControl(handle(), intro);

    const Handle startPanel = createOptionPanel("Panel1", 64);
    Radstoff_ = createOption("Radstoff", startPanel, Rect{8, 6, 299, 17},
                             "MUTE system when screensaver STARTS (No Sound)");
    Radston_ = createOption("Radston", startPanel, Rect{8, 24, 307, 17},
                            "UN-MUTE system when screensaver STARTS (Sound On)");
    const Handle endPanel = createOptionPanel("Panel2", 116);
    Radenoff_ = createOption("Radenoff", endPanel, Rect{8, 6, 279, 17},
                             "MUTE system when screensaver ENDS (No Sound)");
    Radenon_ = createOption("Radenon", endPanel, Rect{8, 24, 298, 17},
                            "UN-MUTE system when screensaver ENDS (Sound On)");

    platform::ControlSpec clear = MakeSpec(ControlKind::Button, "Button1", 0, Rect{6, 170, 75, 16},
                                           "Clear Settings", ArialPixels(11));
    clear.hint = "Clear the button settings. Ignore volume settings.";
    clear.onClick = [this] { Button1Click(); };
    platform_.createControl(handle(), clear);

    platform::ControlSpec back = MakeSpec(ControlKind::Button, "BitBtn3", 0, Rect{251, 177, 75, 25},
                                          "Return", ArialPixels(12));
    back.defaultButton = true;
    back.onClick = [this] { BitBtn3Click(); };
    platform_.createControl(handle(), back);
}

Handle TFrmSound::createOptionPanel(const char* name, int top) {
    platform::ControlSpec panel = MakeSpec(ControlKind::Panel, name, 0, Rect{5, top, 321, 47});
    panel.bevel = platform::Bevel::Lowered;
    return platform_.createControl(handle(), panel);
}

Handle TFrmSound::createOption(const char* name, Handle panel, Rect bounds, const char* caption) {
    return platform_.createControl(handle(), MakeSpec(ControlKind::RadioButton, name, panel, bounds,
                                                      caption, ArialPixels(11)));
}

void TFrmSound::LoadChoices(int starton, int endon) {
    if (starton == kUnmute || starton == kMute) {
        platform_.setChecked(starton == kUnmute ? Radston_ : Radstoff_, true);
    }
    if (endon == kUnmute || endon == kMute) {
        platform_.setChecked(endon == kUnmute ? Radenon_ : Radenoff_, true);
    }
}

std::optional<int> TFrmSound::choice(Handle unmute, Handle mute) const {
    if (platform_.isChecked(unmute)) {
        return kUnmute;
    }
    if (platform_.isChecked(mute)) {
        return kMute;
    }
    return std::nullopt;
}

std::optional<int> TFrmSound::StartChoice() const {
    return choice(Radston_, Radstoff_);
}

std::optional<int> TFrmSound::EndChoice() const {
    return choice(Radenon_, Radenoff_);
}

void TFrmSound::Button1Click() {
    for (Handle option : {Radston_, Radstoff_, Radenon_, Radenoff_}) {
        platform_.setChecked(option, false);
    }
}

void TFrmSound::BitBtn3Click() {
    platform_.closeWindow(handle());
}

}  // namespace morvel::settings
