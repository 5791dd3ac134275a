#include "settings/more_dialog.h"

#include <algorithm>

#include "settings/form_controls.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

constexpr const char* kIntroduction =
    "Choose how your videos take the screen, and what shows over them while they play.";

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
      window_(platform, ReturnDialogSpec(kMoreDialogClassName, "More Options", {344, 344}, owner)) {
    createControls();
}

void TFrmMore::createControls() {
    platform::ControlSpec intro = MakeSpec(ControlKind::Label, "Label1", 0, Rect{9, 5, 319, 30},
                                           kIntroduction, ArialPixels(12));
    intro.wordWrap = true;
    platform_.createControl(handle(), intro);

    const Handle picture = createGroup("GroupBox1", Rect{5, 38, 321, 78}, "Video Picture");
    fitButtons_ = {
        createChoice(ControlKind::RadioButton, "Radfitstretch", picture, 16,
                     "Stretch to the Screen", "The whole screen, whatever the video's proportions"),
        createChoice(ControlKind::RadioButton, "Radfitwhole", picture, 35, "Fit, Whole Picture",
                     "The whole picture in its proportions, black around it"),
        createChoice(ControlKind::RadioButton, "Radfitfill", picture, 54, "Fill the Screen",
                     "The screen covered in the video's proportions; the edges "
                     "that do not fit are cut off")};

    const Handle shown = createGroup("GroupBox2", Rect{5, 122, 321, 100}, "On the Video");
    clockButtons_ = {
        createChoice(ControlKind::RadioButton, "Radshownone", shown, 16, "Nothing", ""),
        createChoice(ControlKind::RadioButton, "Radshowtime", shown, 35, "Time",
                     "The time in the lower right corner"),
        createChoice(ControlKind::RadioButton, "Radshowdate", shown, 54, "Time and Date",
                     "The time, and the date under it, in the lower right corner")};
    chkname_ = createChoice(ControlKind::CheckBox, "chkname", shown, 76, "Name of Each Video",
                            "Each video's file name, for its first five seconds");

    const Handle keys = createGroup("GroupBox3", Rect{5, 228, 321, 40}, "Keys");
    chknext_ =
        createChoice(ControlKind::CheckBox, "chknext", keys, 16, "Right Arrow Plays the Next Video",
                     "Every other key and every button still ends the screensaver");

    platform::ControlSpec back = MakeSpec(ControlKind::Button, "BitBtn1", 0, Rect{251, 278, 75, 25},
                                          "Return", ArialPixels(12));
    back.defaultButton = true;
    back.onClick = [this] { BitBtn1Click(); };
    platform_.createControl(handle(), back);
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

void TFrmMore::LoadChoices(int fit, int clock, int caption, int nextKey) {
    CheckIndex(platform_, fitButtons_, fit);
    CheckIndex(platform_, clockButtons_, clock);
    platform_.setChecked(chkname_, caption == 1);
    platform_.setChecked(chknext_, nextKey == 1);
}

int TFrmMore::FitChoice() const {
    return CheckedIndex(platform_, fitButtons_);
}

int TFrmMore::ClockChoice() const {
    return CheckedIndex(platform_, clockButtons_);
}

int TFrmMore::CaptionChoice() const {
    return platform_.isChecked(chkname_) ? 1 : 0;
}

int TFrmMore::NextKeyChoice() const {
    return platform_.isChecked(chknext_) ? 1 : 0;
}

void TFrmMore::BitBtn1Click() {
    platform_.closeWindow(handle());
}

}  // namespace morvel::settings
