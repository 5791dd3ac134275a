// The saver going dark: after Dark's minutes, for good, and on battery where the user chose
// so, until the mains comes back. Dark means nothing plays, black on every monitor, and
// nothing held awake, so that the system's own power saving may turn the monitors off. A
// key or button ends a dark saver as any other.
#include <exception>

#include "saver/saver_window.h"

namespace morvel::saver {

using platform::Color;

void TForm1::StartPower() {
    if (state_.DarkOnBattery) {
        platform_.setPowerSourceHandler([this] { PowerSourceChanged(); });
        darkForBattery_ = platform_.onBattery();
    }
    DarkTimer->setEnabled(state_.DarkMinutes > 0);
}

void TForm1::DarkTimerTimer() {
    if (state_.Finished || ++minutesShown_ < state_.DarkMinutes) {
        return;
    }
    DarkTimer->setEnabled(false);
    const bool alreadyDark = darkForBattery_;
    darkForTime_ = true;
    if (!alreadyDark) {
        GoDark();
    }
}

void TForm1::PowerSourceChanged() {
    if (state_.Finished) {
        return;
    }
    const bool onBattery = platform_.onBattery();
    if (onBattery == darkForBattery_) {
        return;
    }
    darkForBattery_ = onBattery;
    if (darkForTime_) {
        return;  // dark for good already
    }
    if (onBattery) {
        GoDark();
    } else {
        ComeBackFromDark();
    }
}

void TForm1::GoDark() {
    for (MonitorVideo& video : videos_) {
        video.leaveClip(false);
    }
    SaveResumePoints();
    VideoTimer->setEnabled(false);
    Timer1->setEnabled(false);
    ClockTimer->setEnabled(false);
    if (MediaPlayer1->isOpen()) {
        MediaPlayer1->Close();
    }
    for (MonitorVideo& video : videos_) {
        video.closeClip();
        video.showPanels(false);
    }
    if (overlay_) {
        overlay_->hide();
    }
    platform_.setVisible(lblinfo_, false);
    platform_.setWindowColor(handle(), Color::rgb(0, 0, 0));
    platform_.releaseKeepAwake();
}

// The mains is back: everything starts again as at the start, the first clips from the
// order's next entries.
void TForm1::ComeBackFromDark() {
    if (videos_.empty()) {
        platform_.setVisible(lblinfo_, true);
        platform_.setWindowColor(handle(), Color::rgb(255, 255, 255));  // the notice's
    }
    for (MonitorVideo& video : videos_) {
        video.showPanels(true);
    }
    StartPlaying();
}

void TForm1::SaveResumePoints() {
    if (resume_) {
        resume_->save(resumePath_);  // a state folder that cannot be written costs the points
    }
}

}  // namespace morvel::saver
