#include "settings/about_box.h"

#include <array>
#include <string>

#include "settings/form_controls.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

// MORVEL_VERSION is the project's version, defined by the build.
constexpr const char* kVersionLine = "Version " MORVEL_VERSION;
// The disclaimer's three paragraphs; this edition ships them empty.
constexpr std::array<const char*, 3> kDisclaimer = {"", "", ""};

}  // namespace

Tfrmdisc::Tfrmdisc(platform::Platform& platform, Handle owner)
    : platform_(platform), window_(platform, windowSpec(owner)) {
    createControls();
}

platform::WindowSpec Tfrmdisc::windowSpec(Handle owner) const {
    platform::WindowSpec design;
    design.className = kAboutClassName;
    design.caption = "Morvel Screensaver Displayer";
    design.style = platform::WindowStyle::FixedDialog;
    design.clientSize = {514, 336};
    design.centered = true;
    design.background = kDialogGrey;
    design.owner = owner;
    return design;
}

void Tfrmdisc::createControls() {
    const Handle frame = platform_.createControl(
        handle(), MakeSpec(ControlKind::GroupBox, "GroupBox1", 0, Rect{13, 16, 489, 265}));
    platform_.createControl(handle(), MakeSpec(ControlKind::Label, "Label1", frame,
                                               Rect{16, 24, 0, 0}, kVersionLine, CourierNew(10)));
    const Handle disclaimer = platform_.createControl(
        handle(),
        MakeSpec(ControlKind::GroupBox, "GroupBox2", frame, Rect{20, 80, 437, 169}, "Disclaimer"));
    for (std::size_t i = 0; i < kDisclaimer.size(); ++i) {
        const int top = 20 + static_cast<int>(i) * 48;
        platform::ControlSpec paragraph =
            MakeSpec(ControlKind::Label, "Label" + std::to_string(i + 2), disclaimer,
                     Rect{8, top, 421, 44}, kDisclaimer[i], CourierNew(8));
        paragraph.wordWrap = true;
        platform_.createControl(handle(), paragraph);
    }

    platform::ControlSpec back =
        MakeSpec(ControlKind::Button, "Button1", 0, Rect{428, 300, 75, 25}, "Return");
    back.onClick = [this] { Button1Click(); };
    platform_.createControl(handle(), back);
}

void Tfrmdisc::Button1Click() {
    platform_.closeWindow(handle());
}

}  // namespace morvel::settings
