// The saver window: covers the screen (or every monitor), plays the user's videos one after
// another and ends at the first key or mouse button (after the platform's password check
// where that applies).
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "media/media_device.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "saver/clip_timing.h"
#include "saver/monitor_video.h"
#include "saver/panel_geometry.h"
#include "saver/saver_overlay.h"
#include "store/resume_file.h"
#include "store/store_path.h"

namespace morvel::saver {

inline constexpr const char* kSaverClassName = "TForm1";
inline constexpr const char* kSaverCaption = "Frmmorvel33";
inline constexpr int kMaxVideos = 500;
inline constexpr int kMaxDarkMinutes = 24 * 60;
// In the state folder: where long clips were left.
inline constexpr const char* kResumeFileName = "resume-points";

// What the monitors show (Monitors in the settings); read before the window is made, for the
// monitors present then.
enum class MonitorMode {
    PrimaryOnly = 0,   // the video on the primary monitor, the others black
    SameOnEvery = 1,   // the same clip on every monitor at once
    OwnOnEach = 2,     // each monitor its own clips, moving on by itself
    SpreadAcross = 3,  // one video across the rectangle that holds every monitor
};

// Each monitor present in the client coordinates of the saver's window, the primary first:
// the primary screen alone at (0, 0) when the window covers the primary alone.
std::vector<platform::Rect> MonitorAreas(platform::Platform& platform, MonitorMode mode);

// Program-wide saver state, shared by the window's handlers. Set up by FormCreate and
// ReadSettings; the saver never writes it back.
struct SaverState {
    int StartMuteChoice = 5;
    int EndMuteChoice = 5;
    bool SoundOn = false;
    bool RepeatSound = false;
    int DisplaySize = 5;  // 1 large, 2 medium, 3 small, 4 custom, 5 the video's own size
    int PlayOrder = 2;    // 1 random, 2 in sequence, 3 shuffled rounds
    int CustomHeight = -1;
    int CustomWidth = -1;
    FitMode Fit = FitMode::Stretch;
    ClockMode Clock = ClockMode::None;
    bool Caption = false;      // the name of each clip for its first seconds
    bool NextKey = false;      // the right arrow moves every monitor on instead of ending
    std::uint32_t FadeMs = 0;  // the dissolve between clips; 0 a cut
    StartAtMode StartAt = StartAtMode::Beginning;
    int Volume = 100;     // the videos' own sound, per cent
    int DarkMinutes = 0;  // black after this long; 0 never
    bool DarkOnBattery = false;
    std::vector<std::string> PlayList;  // PlayList[0] is entry 1
    int PlayListCount = 0;
    std::string SoundFile;
    std::string WindowsDir;
    store::StoreLocation StorePath;
    // True while `deactivate` handles an input that qualifies for ending the saver.
    bool Dismissing = false;
    // Set as the saver finishes: a handler a box held up goes no further.
    bool Finished = false;
};

class TForm1 {
  public:
    // Creates the window and its controls and runs FormCreate; an exception leaving
    // FormCreate is shown as the standard error report and the window is shown regardless.
    explicit TForm1(platform::Platform& platform);
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    platform::Handle handle() const { return window_.get(); }

    // Handlers.
    void FormCreate();
    void ReadSettings();
    void Timer1Timer();
    void ClockTimerTimer();
    void VideoTimerTimer();
    void DarkTimerTimer();
    void PowerSourceChanged();
    void deactivate(const platform::Message& message, bool& handled);
    void FormCloseQuery(bool& canClose);
    void FormKeyDown(int key);
    void FormMouseDown(int button, int x, int y);
    void HostEndRequest();

    // The playback sequencer.
    void SizeVideoPanel();
    void StartFirstVideo();
    void StartBackgroundSound();
    void FinishSaver();

    bool IsNTPlatform();

  private:
    platform::WindowSpec windowSpec();
    void createControls();
    void CreateVideos();
    VideoScreen CreateScreen(std::size_t monitor, platform::Rect area);
    std::vector<VideoScreen> CreateSameOnEvery();
    void ShowNotice();
    void MoveOn(MonitorVideo& video, bool playedToItsEnd);
    void LoadResumePoints();
    void SaveResumePoints();
    void StartPlaying();
    void StartPower();
    void GoDark();
    void ComeBackFromDark();
    std::vector<int> ShownElsewhere(const MonitorVideo& video) const;
    void CheckPassword();
    void ReportCorruptVideo(MonitorVideo& video);
    void StartOverlay();
    void StartClip(MonitorVideo& video, Transition transition);
    bool TakeNextKey(const platform::Message& message);

    platform::Platform& platform_;
    SaverState state_;
    const MonitorMode monitorMode_;
    // Each monitor in the window's client coordinates, the primary first; the primary screen
    // alone at (0, 0) when the video keeps to it.
    const std::vector<platform::Rect> monitorAreas_;
    platform::UniqueWindow window_;
    platform::Handle lblinfo_ = 0;
    platform::Handle Panel1_ = 0;                      // the primary monitor's video panel
    std::unique_ptr<media::MediaDevice> MediaPlayer1;  // background sound
    std::mt19937 shuffler_;                            // seeded once a run
    // The videos, the primary's first (its device draws into Panel1): one for every monitor
    // when each shows its own, else one.
    std::vector<MonitorVideo> videos_;
    std::unique_ptr<platform::WindowTimer> VideoTimer;  // the end of a clip, promptly
    std::unique_ptr<platform::WindowTimer> Timer1;      // the background sound
    std::unique_ptr<SaverOverlay> overlay_;             // the clock and the clip's name
    std::unique_ptr<platform::WindowTimer> ClockTimer;  // their changes
    std::unique_ptr<platform::WindowTimer> DarkTimer;   // Dark's minutes
    // Where long clips were left, with StartAt WhereStopped and a state folder; else null.
    std::unique_ptr<store::ResumePoints> resume_;
    std::string resumePath_;
    bool darkForTime_ = false;     // Dark's minutes have passed: black until the end
    bool darkForBattery_ = false;  // on battery, with DarkOnBattery: black until mains
    int minutesShown_ = 0;         // counted by DarkTimer
};

}  // namespace morvel::saver
