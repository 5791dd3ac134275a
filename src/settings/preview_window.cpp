#include "settings/preview_window.h"

#include <exception>

#include "saver/panel_geometry.h"
#include "settings/form_controls.h"

namespace morvel::settings {

using platform::ControlKind;
using platform::Handle;
using platform::Rect;

namespace {

constexpr platform::Color kPreviewBackground = platform::Color::rgb(194, 197, 207);

constexpr const char* kCannotPlay =
    "An error occurred trying to play the video file. The video file appears to be corrupt or "
    "is a format which cannot be played with this viewer. Please verify that your video files "
    "are valid avi or mpg files.";
constexpr const char* kCannotPause =
    "An error occurred trying to pause the video file. The video file may be corrupt. Please "
    "verify that your video files are valid avi or mpg files.";
constexpr const char* kCannotStop =
    "An error occurred trying to play the video file. The video file may be corrupt. Please "
    "verify that your video files are valid avi or mpg files.";

}  // namespace

TFrmviddis::TFrmviddis(platform::Platform& platform, Handle owner)
    : platform_(platform), window_(platform, windowSpec(owner)) {
    createControls();
    MediaPlayer1 = std::make_unique<media::MediaDevice>(platform_.createMediaEngine(), Panel1_);
}

platform::WindowSpec TFrmviddis::windowSpec(Handle owner) const {
    platform::WindowSpec design;
    design.className = kPreviewClassName;
    design.caption = "Preview Video";
    design.style = platform::WindowStyle::FixedDialogWithClose;
    design.outerSize = {561, 431};
    design.centered = true;
    design.background = kPreviewBackground;
    design.owner = owner;
    return design;
}

void TFrmviddis::createControls() {
    platform::ControlSpec panel = MakeSpec(ControlKind::Panel, "Panel1", 0, Rect{16, 8, 433, 297});
    panel.background = kPreviewBackground;
    Panel1_ = platform_.createControl(handle(), panel);
    Lblname_ = platform_.createControl(
        handle(),
        MakeSpec(ControlKind::Label, "Lblname", 0, Rect{5, 319, 529, 34}, "", ArialPixels(12)));
    createButton("cmdplay", Rect{456, 95, 75, 25}, "Play", "play", &TFrmviddis::cmdplayClick);
    createButton("cmdpause", Rect{456, 135, 75, 25}, "Pause", "pause", &TFrmviddis::cmdpauseClick);
    createButton("cmdstop", Rect{456, 175, 75, 25}, "Stop", "stop", &TFrmviddis::cmdstopClick);
    platform::ControlSpec ok =
        MakeSpec(ControlKind::Button, "BitBtn4", 0, Rect{464, 359, 75, 25}, "OK");
    ok.defaultButton = true;
    ok.onClick = [this] { BitBtn4Click(); };
    platform_.createControl(handle(), ok);
}

Handle TFrmviddis::createButton(const char* name, Rect bounds, const char* caption,
                                const char* image, void (TFrmviddis::*handler)()) {
    platform::ControlSpec button = MakeSpec(ControlKind::Button, name, 0, bounds, caption);
    button.image = image;
    button.onClick = [this, handler] { (this->*handler)(); };
    return platform_.createControl(handle(), button);
}

void TFrmviddis::StopIfPlaying() {
    if (MediaPlayer1->Mode() == media::kPlaying) {
        MediaPlayer1->Stop();
    }
}

void TFrmviddis::ShowError(const std::string& text) {
    platform_.messageBox(handle(), "Error", text, platform::MessageBoxKind::Error);
}

void TFrmviddis::cmdplayClick() {
    try {
        // The label is read at every press: it names the file of every open. Open closes a
        // device already open, so Play always starts the file from its beginning.
        MediaPlayer1->FileName = platform_.caption(Lblname_);
        MediaPlayer1->Open();
        // A clip its file says to turn shows upright, at its own size as every clip here.
        const media::VideoShape clip = MediaPlayer1->Shape();
        if (clip.rotation != 0) {
            MediaPlayer1->SetDisplayRect(saver::UprightOwnSize(clip));
        }
        MediaPlayer1->Play();
    } catch (const std::exception&) {
        // The code and text of the request that failed, before Mode asks anything else.
        const std::uint32_t code = MediaPlayer1->Error();
        const std::string text = MediaPlayer1->ErrorMessage();
        StopIfPlaying();
        ShowError("ErrorCode: " + std::to_string(code) + "\r\n" + text);
        ShowError(kCannotPlay);
    }
}

void TFrmviddis::cmdpauseClick() {
    try {
        if (MediaPlayer1->Mode() == media::kPaused) {
            MediaPlayer1->Resume();
        } else if (MediaPlayer1->Mode() == media::kPlaying) {
            MediaPlayer1->Pause();
        }
    } catch (const std::exception&) {
        StopIfPlaying();
        ShowError(kCannotPause);
    }
}

void TFrmviddis::cmdstopClick() {
    try {
        StopIfPlaying();
    } catch (const std::exception&) {
        StopIfPlaying();
        ShowError(kCannotStop);
    }
}

void TFrmviddis::BitBtn4Click() {
    StopIfPlaying();
    platform_.closeWindow(handle());
}

}  // namespace morvel::settings
