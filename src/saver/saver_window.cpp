#include "saver/saver_window.h"

#include <algorithm>
#include <exception>

#include "common/ascii.h"
#include "common/path.h"
#include "saver/system_mute.h"
#include "store/ini_file.h"
#include "store/store_path.h"

namespace morvel::saver {

using platform::Color;
using platform::Handle;
using platform::Rect;

namespace {

constexpr int kTimer1Id = 1;
constexpr int kTimer1IntervalMs = 1000;
// The end of a clip is acted on at once: the next follows within a frame or two.
constexpr int kVideoTimerId = 2;
constexpr int kVideoTimerIntervalMs = 50;
// The clock changes within half a second of the minute.
constexpr int kClockTimerId = 3;
constexpr int kClockTimerIntervalMs = 500;
// Dark's minutes are counted one at a time: a timer of a day's length is not one every
// platform keeps.
constexpr int kDarkTimerId = 4;
constexpr int kMinuteMs = 60 * 1000;

constexpr Rect kNoticeBounds{68, 47, 469, 106};

constexpr const char* kNoVideosCaption =
    "You have not entered any video files for display. Simply click the \"settings\" button, "
    "and add your video files for viewing. ";

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string WindowsDirectoryOf(platform::Platform& platform) {
    std::string directory = platform.windowsDirectory();
    return directory.empty() ? "c:\\windows" : directory;
}

store::StoreLocation SettingsLocation(platform::Platform& platform, const std::string& windowsDir) {
    return store::storeLocation(windowsDir, platform.localAppDataDirectory(),
                                platform.pathSeparator());
}

// Values an earlier version wrote in the system's code page read through the platform.
store::LegacyDecoder CodePageOf(platform::Platform& platform) {
    return [&platform](std::string_view text) { return platform.codePageToUtf8(text); };
}

// The one setting the window itself depends on, read before it is made.
MonitorMode ReadMonitorMode(platform::Platform& platform) {
    try {
        const store::IniFile ini(SettingsLocation(platform, WindowsDirectoryOf(platform)),
                                 CodePageOf(platform));
        const int value = ini.readInteger("Options", "Monitors", 0);
        return value >= 1 && value <= 3 ? static_cast<MonitorMode>(value)
                                        : MonitorMode::PrimaryOnly;
    } catch (const std::exception&) {
        return MonitorMode::PrimaryOnly;  // ReadSettings meets the same file again
    }
}

// 1 and 2 as stored; anything else (also no key) lets the platform choose.
platform::Renderer RendererFromSetting(int value) {
    return value == 1 || value == 2 ? static_cast<platform::Renderer>(value)
                                    : platform::Renderer::Automatic;
}

}  // namespace

TForm1::TForm1(platform::Platform& platform)
    : platform_(platform),
      monitorMode_(ReadMonitorMode(platform)),
      monitorAreas_(MonitorAreas(platform, monitorMode_)),
      window_(platform, windowSpec()) {
    createControls();
    MediaPlayer1 = std::make_unique<media::MediaDevice>(platform_.createMediaEngine(), 0);
    VideoTimer = std::make_unique<platform::WindowTimer>(
        platform_, handle(), kVideoTimerId, kVideoTimerIntervalMs, [this] { VideoTimerTimer(); });
    Timer1 = std::make_unique<platform::WindowTimer>(platform_, handle(), kTimer1Id,
                                                     kTimer1IntervalMs, [this] { Timer1Timer(); });
    ClockTimer = std::make_unique<platform::WindowTimer>(
        platform_, handle(), kClockTimerId, kClockTimerIntervalMs, [this] { ClockTimerTimer(); });
    DarkTimer = std::make_unique<platform::WindowTimer>(platform_, handle(), kDarkTimerId,
                                                        kMinuteMs, [this] { DarkTimerTimer(); });
    platform::invokeHandler(platform_, [this] { FormCreate(); });
    platform_.showWindow(handle(), true);
}

TForm1::~TForm1() {
    platform_.setMessageHandler(nullptr);
    platform_.setEndRequestHandler(nullptr);
    platform_.setPowerSourceHandler(nullptr);
}

platform::WindowSpec TForm1::windowSpec() {
    platform::WindowSpec design;
    design.className = kSaverClassName;
    design.caption = kSaverCaption;
    design.style = monitorMode_ == MonitorMode::PrimaryOnly
                       ? platform::WindowStyle::FullScreenTopmost
                       : platform::WindowStyle::FullScreenEveryMonitor;
    design.background = Color::rgb(0, 0, 0);
    design.keyPreview = true;
    design.onCloseQuery = [this] {
        bool canClose = true;
        FormCloseQuery(canClose);
        return canClose;
    };
    design.onKeyDown = [this](int key) { FormKeyDown(key); };
    design.onMouseDown = [this](int button, int x, int y) { FormMouseDown(button, x, y); };
    return design;
}

void TForm1::createControls() {
    platform::ControlSpec label;
    label.kind = platform::ControlKind::Label;
    label.name = "lblinfo";
    label.bounds = kNoticeBounds;
    label.bounds.left += monitorAreas_.front().left;
    label.bounds.top += monitorAreas_.front().top;
    label.caption = kNoVideosCaption;
    label.font = platform::Font{"MS Sans Serif", 16, 0, true, Color::windowText()};
    label.wordWrap = true;
    label.visible = false;
    lblinfo_ = platform_.createControl(handle(), label);

    platform::ControlSpec panel;
    panel.kind = platform::ControlKind::Panel;
    panel.name = "Panel1";
    panel.background = Color::rgb(0, 0, 0);
    Panel1_ = platform_.createControl(handle(), panel);
}

void TForm1::FormCreate() {
    platform_.setScreenSaverRunning(true);
    state_.WindowsDir = WindowsDirectoryOf(platform_);
    state_.RepeatSound = false;
    state_.StartMuteChoice = 5;
    state_.EndMuteChoice = 5;
    platform_.showCursor(false);
    state_.DisplaySize = 5;
    state_.PlayOrder = 2;
    platform_.setWindowColor(handle(), Color::rgb(0, 0, 0));
    platform_.setMessageHandler(
        [this](const platform::Message& message, bool& handled) { deactivate(message, handled); });
    platform_.setEndRequestHandler([this] { HostEndRequest(); });
    ReadSettings();
    ApplyMuteChoice(platform_, state_.StartMuteChoice);
    if (state_.PlayListCount > 0) {
        CreateVideos();
        SizeVideoPanel();
        // On the screen before the first video starts: a player draws a video's first frame
        // at once into a window that shows, and into a hidden one not at all, so the
        // picture would wait for a later frame (a tenth of a second and more).
        platform_.showWindow(handle(), true);
    } else {
        ShowNotice();
    }
    StartPower();
    if (darkForBattery_) {
        GoDark();
    } else {
        StartPlaying();
    }
}

// The background sound, the first videos and the overlay: at the start, and again when the
// mains comes back to a saver that went dark on battery.
void TForm1::StartPlaying() {
    if (state_.SoundOn) {
        StartBackgroundSound();
    }
    if (!videos_.empty()) {
        StartFirstVideo();
        // Started first, so that where both are due the video moves on before the sound.
        VideoTimer->setEnabled(true);
        Timer1->setEnabled(true);
    }
    StartOverlay();
}

// The clock and the caption go over whatever shows, the notice included, but never over
// its text.
void TForm1::StartOverlay() {
    if (!overlay_) {
        overlay_ =
            std::make_unique<SaverOverlay>(platform_, handle(), monitorAreas_.front(), state_.Clock,
                                           state_.Caption, platform_.bounds(lblinfo_));
    }
    if (!overlay_->active()) {
        return;
    }
    overlay_->start();
    if (!videos_.empty() && videos_.front().current() != 0) {
        overlay_->clipStarted(videos_.front().fileName());
    }
    ClockTimer->setEnabled(true);
}

void TForm1::ClockTimerTimer() {
    if (overlay_ && !state_.Finished) {
        overlay_->tick();
    }
}

// Starts the chosen clip; the primary's name goes on the caption.
void TForm1::StartClip(MonitorVideo& video, Transition transition) {
    video.startCurrent(transition);
    if (overlay_ && &video == &videos_.front()) {
        overlay_->clipStarted(video.fileName());
    }
}

void TForm1::ReadSettings() {
    state_.StorePath = SettingsLocation(platform_, state_.WindowsDir);
    // One read of the file for all of it: the list alone is 500 keys.
    const store::IniSnapshot ini =
        store::IniFile(state_.StorePath, CodePageOf(platform_)).snapshot();

    auto muteChoice = [&](const char* key, int current) {
        const int value = ini.readInteger("Options", key, -1);
        return value == 0 || value == 1 ? value : current;
    };
    state_.StartMuteChoice = muteChoice("Starton", state_.StartMuteChoice);
    state_.EndMuteChoice = muteChoice("Endon", state_.EndMuteChoice);
    const int picdis = ini.readInteger("Options", "Picdis", -1);
    state_.DisplaySize = picdis >= 1 && picdis <= 4 ? picdis : 5;
    const int picord = ini.readInteger("Options", "Picord", -1);
    state_.PlayOrder = picord == 1 || picord == 3 ? picord : 2;
    state_.CustomHeight = ini.readInteger("Options", "Height", -1);
    state_.CustomWidth = ini.readInteger("Options", "Width", -1);
    state_.Fit = FitFromSetting(ini.readInteger("Options", "Fit", 0));
    state_.Clock = ClockFromSetting(ini.readInteger("Options", "Clock", 0));
    state_.Caption = ini.readInteger("Options", "Caption", 0) == 1;
    state_.NextKey = ini.readInteger("Options", "NextKey", 0) == 1;
    state_.FadeMs = FadeFromSetting(ini.readInteger("Options", "Fade", 0));
    state_.StartAt = StartAtFromSetting(ini.readInteger("Options", "StartAt", 0));
    const int volume = ini.readInteger("Options", "Volume", 100);
    state_.Volume = volume >= 0 && volume <= 100 ? volume : 100;
    const int dark = ini.readInteger("Options", "Dark", 0);
    state_.DarkMinutes = dark >= 1 && dark <= kMaxDarkMinutes ? dark : 0;
    state_.DarkOnBattery = ini.readInteger("Options", "Battery", 0) == 1;
    platform_.preferRenderer(RendererFromSetting(ini.readInteger("Options", "Renderer", 0)));
    state_.SoundOn = ini.readBool("Options", "Sound", true);
    state_.RepeatSound = ini.readBool("Options", "Repeat", true);

    state_.PlayList.clear();
    state_.PlayListCount = 0;
    for (int n = 1; n <= kMaxVideos; ++n) {
        const std::string value = ini.readString("vidConfig", "Name" + std::to_string(n), " ");
        // A blank slot (a key missing from a hand-edited or new file) is as empty as "Null".
        if (IsBlank(value) || ascii::upper(value) == "NULL") {
            continue;
        }
        if (!platform_.fileExists(value)) {
            platform_.setCaption(lblinfo_, "File " + value +
                                               " no longer exists in this location on your " +
                                               "system!  Please go into your screensaver "
                                               "settings and " +
                                               "remove this from your viewing list!");
            state_.PlayList.clear();
            state_.PlayListCount = 0;
            break;
        }
        state_.PlayList.push_back(value);
        state_.PlayListCount = static_cast<int>(state_.PlayList.size());
    }

    state_.SoundFile = ini.readString("WavConfig", "Name1", " ");
    if (!platform_.fileExists(state_.SoundFile)) {
        state_.SoundOn = false;
    }
}

void TForm1::StartFirstVideo() {
    for (MonitorVideo& video : videos_) {
        if (video.halted()) {
            continue;  // coming back from dark: a monitor whose clip failed stays halted
        }
        video.chooseNext(ShownElsewhere(video), platform_.millisecondsSinceMidnight());
        try {
            video.startCurrent(Transition::FromBlack);
        } catch (const std::exception&) {
            // A first video that cannot start is not reported: its device stays not ready,
            // so that monitor never moves on, and the background sound goes on.
        }
    }
}

void TForm1::VideoTimerTimer() {
    for (MonitorVideo& video : videos_) {
        // A box shown for one monitor runs the timers inside it: the saver may have ended
        // there, and another monitor may have moved on already.
        if (state_.Finished) {
            return;
        }
        if (video.halted()) {
            continue;
        }
        video.settleDissolve();
        if (video.dissolveDue() || video.clipEnded()) {
            MoveOn(video, true);
        }
    }
}

// The next clip, dissolving in where the one on screen can, else cut in.
void TForm1::MoveOn(MonitorVideo& video, bool playedToItsEnd) {
    video.leaveClip(playedToItsEnd);
    const Transition transition = video.canDissolve() ? Transition::Dissolve : Transition::Cut;
    video.chooseNext(ShownElsewhere(video), platform_.millisecondsSinceMidnight());
    try {
        StartClip(video, transition);
    } catch (const std::exception&) {
        ReportCorruptVideo(video);
    }
    SaveResumePoints();
}

void TForm1::Timer1Timer() {
    if (state_.SoundOn && MediaPlayer1->Mode() == media::kStopped && state_.RepeatSound) {
        try {
            MediaPlayer1->FileName = state_.SoundFile;
            MediaPlayer1->Open();
            MediaPlayer1->Play();
        } catch (const std::exception&) {
            platform_.messageBox(handle(), "Error",
                                 "The sound file is corrupt and cannot be played!",
                                 platform::MessageBoxKind::Error);
        }
    }
}

// The monitor whose clip failed stops for good, the others go on; with none left playing
// everything halts as it always has: no timer, no background sound.
void TForm1::ReportCorruptVideo(MonitorVideo& video) {
    video.halt();
    const bool anyPlaying = std::any_of(videos_.begin(), videos_.end(),
                                        [](const MonitorVideo& v) { return !v.halted(); });
    if (!anyPlaying) {
        VideoTimer->setEnabled(false);
        Timer1->setEnabled(false);
        if (MediaPlayer1->Mode() == media::kPlaying) {
            MediaPlayer1->Stop();
        }
        state_.SoundOn = false;
    }
    platform_.messageBox(handle(), "Error",
                         "An error occurred trying to play the video file " + video.fileName() +
                             ". The " +
                             "video file appears to be corrupt. Please verify that your video "
                             "files " +
                             "are viewable.",
                         platform::MessageBoxKind::Error);
}

void TForm1::StartBackgroundSound() {
    MediaPlayer1->WaitOffForNextRequest();
    try {
        MediaPlayer1->FileName = state_.SoundFile;
        MediaPlayer1->Open();
        MediaPlayer1->Play();
    } catch (const std::exception&) {
        state_.SoundOn = false;
    }
}

void TForm1::FinishSaver() {
    if (!state_.Dismissing) {
        return;
    }
    state_.Finished = true;
    VideoTimer->setEnabled(false);
    Timer1->setEnabled(false);
    ClockTimer->setEnabled(false);
    DarkTimer->setEnabled(false);
    if (MediaPlayer1->Mode() == media::kPlaying) {
        MediaPlayer1->Stop();
    }
    for (MonitorVideo& video : videos_) {
        video.stop();
    }
    if (!darkForTime_ && !darkForBattery_) {
        for (MonitorVideo& video : videos_) {
            video.leaveClip(false);
        }
        SaveResumePoints();
    }
    platform_.setScreenSaverRunning(false);
    ApplyMuteChoice(platform_, state_.EndMuteChoice);
    platform_.closeWindow(handle());
    platform_.quit();
}

}  // namespace morvel::saver
