#include "settings/more_dialog.h"

#include <algorithm>
#include <optional>
#include <string>

#include "settings/form_controls.h"
#include "store/ini_format.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

constexpr const char* kIntroduction =
    "Choose how your videos take the screen, what shows over them, how one follows another, "
    "and when the screensaver goes dark.";
constexpr const char* kBadDarkMinutes =
    "Go Dark After takes a number of minutes from 0 (never) to 1440 (a day).";

// The dissolve each of "Between Videos" stands for, in milliseconds.
constexpr std::array<int, 4> kFadeLengths{0, 500, 1000, 2000};
constexpr int kMaxDarkMinutes = 1440;
constexpr int kColumnWidth = 321;
constexpr int kSecondColumn = 335;

// The checked button's place in its group, which is the value stored; 0 for none.
template <std::size_t N>
int CheckedIndex(const platform::Platform& platform, const std::array<Handle, N>& buttons) {
    const auto checked = std::find_if(buttons.begin(), buttons.end(),
                                      [&](Handle button) { return platform.isChecked(button); });
    return checked == buttons.end() ? 0 : static_cast<int>(checked - buttons.begin());
}

template <std::size_t N>
void CheckIndex(platform::Platform& platform, const std::array<Handle, N>& buttons, int value) {
    if (value >= 0 && value < static_cast<int>(N)) {
        platform.setChecked(buttons[static_cast<std::size_t>(value)], true);
    }
}

}  // namespace

TFrmMore::TFrmMore(platform::Platform& platform, Handle owner)
    : platform_(platform),
      window_(platform, ReturnDialogSpec(kMoreDialogClassName, "More Options", {674, 406}, owner)) {
    createControls();
}

void TFrmMore::createControls() {
    platform::ControlSpec intro = MakeSpec(ControlKind::Label, "Label1", 0, Rect{9, 5, 647, 30},
                                           kIntroduction, ArialPixels(12));
    intro.wordWrap = true;
    platform_.createControl(handle(), intro);
    createPictureColumn();
    createFlowColumn();

    platform::ControlSpec back = MakeSpec(ControlKind::Button, "BitBtn1", 0, Rect{581, 341, 75, 25},
                                          "Return", ArialPixels(12));
    back.defaultButton = true;
    back.onClick = [this] { BitBtn1Click(); };
    platform_.createControl(handle(), back);
}

void TFrmMore::createPictureColumn() {
    const Handle picture = createGroup("GroupBox1", Rect{5, 38, kColumnWidth, 78}, "Video Picture");
    fitButtons_ = {
        createChoice(ControlKind::RadioButton, "Radfitstretch", picture, 16,
                     "Stretch to the Screen", "The whole screen, whatever the video's proportions"),
        createChoice(ControlKind::RadioButton, "Radfitwhole", picture, 35, "Fit, Whole Picture",
                     "The whole picture in its proportions, black around it"),
        createChoice(ControlKind::RadioButton, "Radfitfill", picture, 54, "Fill the Screen",
                     "The screen covered in the video's proportions; the edges "
                     "that do not fit are cut off")};

    const Handle shown = createGroup("GroupBox2", Rect{5, 122, kColumnWidth, 100}, "On the Video");
    clockButtons_ = {
        createChoice(ControlKind::RadioButton, "Radshownone", shown, 16, "Nothing", ""),
        createChoice(ControlKind::RadioButton, "Radshowtime", shown, 35, "Time",
                     "The time in the lower right corner"),
        createChoice(ControlKind::RadioButton, "Radshowdate", shown, 54, "Time and Date",
                     "The time, and the date under it, in the lower right corner")};
    chkname_ = createChoice(ControlKind::CheckBox, "chkname", shown, 76, "Name of Each Video",
                            "Each video's file name, for its first five seconds");

    const Handle keys = createGroup("GroupBox3", Rect{5, 228, kColumnWidth, 40}, "Keys");
    chknext_ =
        createChoice(ControlKind::CheckBox, "chknext", keys, 16, "Right Arrow Plays the Next Video",
                     "Every other key and every button still ends the screensaver");

    const Handle volume = createGroup("GroupBox4", Rect{5, 274, kColumnWidth, 48}, "Video Volume");
    platform::ControlSpec slider =
        MakeSpec(ControlKind::Slider, "sldvolume", volume, Rect{12, 16, 240, 24});
    slider.hint = "The videos' own sound; the system's volume stays as it is";
    slider.smallChange = 1;
    slider.largeChange = 10;
    slider.onScroll = [this] { sldvolumeScroll(); };
    sldvolume_ = platform_.createControl(handle(), slider);
    platform_.setScrollRange(sldvolume_, 0, 100);
    platform_.setScrollPosition(sldvolume_, 100);  // the videos as loud as ever
    lblvolume_ =
        platform_.createControl(handle(), MakeSpec(ControlKind::Label, "lblvolume", volume,
                                                   Rect{258, 20, 50, 17}, "100%", ArialPixels(11)));
}

void TFrmMore::createFlowColumn() {
    const Handle between =
        createGroup("GroupBox5", Rect{kSecondColumn, 38, kColumnWidth, 97}, "Between Videos");
    fadeButtons_ = {createChoice(ControlKind::RadioButton, "Radfadecut", between, 16, "Cut",
                                 "The next video follows the last frame at once"),
                    createChoice(ControlKind::RadioButton, "Radfadehalf", between, 35,
                                 "Dissolve \u00bd Second", "The videos blend into each other"),
                    createChoice(ControlKind::RadioButton, "Radfadeone", between, 54,
                                 "Dissolve 1 Second", "The videos blend into each other"),
                    createChoice(ControlKind::RadioButton, "Radfadetwo", between, 73,
                                 "Dissolve 2 Seconds", "The videos blend into each other")};

    const Handle start =
        createGroup("GroupBox6", Rect{kSecondColumn, 141, kColumnWidth, 78}, "Long Videos Start");
    startButtons_ = {
        createChoice(ControlKind::RadioButton, "Radstartbegin", start, 16, "At the Beginning", ""),
        createChoice(ControlKind::RadioButton, "Radstartrandom", start, 35, "At a Random Point",
                     "Videos of a minute or more, anywhere but their end"),
        createChoice(ControlKind::RadioButton, "Radstartstopped", start, 54, "Where They Stopped",
                     "Videos of a minute or more go on where they were "
                     "left last time")};

    const Handle dark =
        createGroup("GroupBox7", Rect{kSecondColumn, 225, kColumnWidth, 62}, "Go Dark After");
    platform::ControlSpec minutes =
        MakeSpec(ControlKind::Edit, "txtdark", dark, Rect{12, 16, 50, 19}, "0", ArialPixels(11));
    minutes.editable = true;
    minutes.digitsOnly = true;
    minutes.hint = "Black on every monitor after this long, so that they may sleep; 0: never";
    txtdark_ = platform_.createControl(handle(), minutes);
    platform_.createControl(handle(),
                            MakeSpec(ControlKind::Label, "Label2", dark, Rect{68, 18, 240, 17},
                                     "minutes (0: never)", ArialPixels(11)));
    chkbattery_ =
        createChoice(ControlKind::CheckBox, "chkbattery", dark, 39, "Show Black on Battery",
                     "Nothing plays while the computer runs on its battery");

    const Handle drawing =
        createGroup("GroupBox8", Rect{kSecondColumn, 293, kColumnWidth, 40}, "Drawing");
    chkgraphics_ =
        createChoice(ControlKind::CheckBox, "chkgraphics", drawing, 16, "Use the Graphics Card",
                     "Videos decoded and drawn by the graphics card where the computer has one; "
                     "unchecked: by the processor");
    platform_.setChecked(chkgraphics_, true);  // the saver's choice without the key
}

Handle TFrmMore::createGroup(const char* name, Rect bounds, const char* caption) {
    return platform_.createControl(
        handle(), MakeSpec(ControlKind::GroupBox, name, 0, bounds, caption, Arial(8, true)));
}

Handle TFrmMore::createChoice(ControlKind kind, const char* name, Handle group, int top,
                              const char* caption, const char* hint) {
    platform::ControlSpec design =
        MakeSpec(kind, name, group, Rect{12, top, 290, 17}, caption, ArialPixels(11));
    design.hint = hint;
    return platform_.createControl(handle(), design);
}

void TFrmMore::LoadChoices(const MoreChoices& choices) {
    CheckIndex(platform_, fitButtons_, choices.fit);
    CheckIndex(platform_, clockButtons_, choices.clock);
    platform_.setChecked(chkname_, choices.caption == 1);
    platform_.setChecked(chknext_, choices.nextKey == 1);
    loadedFade_ = choices.fade;
    const auto fade = std::find(kFadeLengths.begin(), kFadeLengths.end(), choices.fade);
    CheckIndex(platform_, fadeButtons_, static_cast<int>(fade - kFadeLengths.begin()));
    CheckIndex(platform_, startButtons_, choices.startAt);
    const bool darkTaken = choices.dark >= 0 && choices.dark <= kMaxDarkMinutes;
    loadedDark_ = darkTaken ? choices.dark : 0;
    platform_.setCaption(txtdark_, std::to_string(loadedDark_));
    platform_.setChecked(chkbattery_, choices.battery == 1);
    const bool volumeKnown = choices.volume >= 0 && choices.volume <= 100;
    platform_.setScrollPosition(sldvolume_, volumeKnown ? choices.volume : 100);
    sldvolumeScroll();
    loadedRenderer_ = choices.renderer;
    platform_.setChecked(chkgraphics_, choices.renderer != 1);
}

MoreChoices TFrmMore::Choices() const {
    MoreChoices choices;
    choices.fit = CheckedIndex(platform_, fitButtons_);
    choices.clock = CheckedIndex(platform_, clockButtons_);
    choices.caption = platform_.isChecked(chkname_) ? 1 : 0;
    choices.nextKey = platform_.isChecked(chknext_) ? 1 : 0;
    const bool fadeChecked =
        std::any_of(fadeButtons_.begin(), fadeButtons_.end(),
                    [&](Handle button) { return platform_.isChecked(button); });
    choices.fade =
        fadeChecked ? kFadeLengths[static_cast<std::size_t>(CheckedIndex(platform_, fadeButtons_))]
                    : loadedFade_;
    choices.startAt = CheckedIndex(platform_, startButtons_);
    choices.dark = TypedDarkMinutes().value_or(loadedDark_);
    choices.battery = platform_.isChecked(chkbattery_) ? 1 : 0;
    choices.volume = platform_.scrollPosition(sldvolume_);
    choices.renderer = !platform_.isChecked(chkgraphics_) ? 1 : loadedRenderer_ == 2 ? 2 : 0;
    return choices;
}

std::optional<int> TFrmMore::TypedDarkMinutes() const {
    const std::optional<int> minutes = store::parseInteger(platform_.caption(txtdark_));
    if (!minutes || *minutes < 0 || *minutes > kMaxDarkMinutes) {
        return std::nullopt;
    }
    return minutes;
}

// A dark time the saver would not take is said at once, and the dialog stays.
void TFrmMore::BitBtn1Click() {
    if (!TypedDarkMinutes()) {
        platform_.messageBox(handle(), "Information", kBadDarkMinutes,
                             platform::MessageBoxKind::Information);
        platform_.setFocus(txtdark_);
        return;
    }
    platform_.closeWindow(handle());
}

void TFrmMore::sldvolumeScroll() {
    platform_.setCaption(lblvolume_, std::to_string(platform_.scrollPosition(sldvolume_)) + "%");
}

}  // namespace morvel::settings
