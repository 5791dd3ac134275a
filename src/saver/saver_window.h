// The saver window: covers the screen, plays the user's videos one after another and ends
// at the first key or mouse button (after the platform's password check where that applies).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/media_device.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "store/store_path.h"

namespace morvel::saver {

inline constexpr const char* kSaverClassName = "TForm1";
inline constexpr const char* kSaverCaption = "Frmmorvel33";
inline constexpr int kMaxVideos = 500;

// Program-wide saver state, shared by the window's handlers. Set up by FormCreate and
// ReadSettings; the saver never writes it back.
struct SaverState {
    int StartMuteChoice = 5;
    int EndMuteChoice = 5;
    bool SoundOn = false;
    bool RepeatSound = false;
    int DisplaySize = 5;  // 1 large, 2 medium, 3 small, 4 custom, 5 the video's own size
    int PlayOrder = 2;    // 1 random, 2 in sequence
    int CustomHeight = -1;
    int CustomWidth = -1;
    std::vector<std::string> PlayList;  // PlayList[0] is entry 1
    int PlayListCount = 0;
    std::string SoundFile;
    int LastIndex = 0;
    int CurrentIndex = 0;
    std::string WindowsDir;
    store::StoreLocation StorePath;
    // True while `deactivate` handles an input that qualifies for ending the saver.
    bool Dismissing = false;
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
    void deactivate(const platform::Message& message, bool& handled);
    void FormCloseQuery(bool& canClose);
    void FormKeyDown(int key);
    void FormMouseDown(int button, int x, int y);
    void HostEndRequest();

    // The playback sequencer.
    void ChooseNextVideo();
    void SizeVideoPanel();
    void StartFirstVideo();
    void StartBackgroundSound();
    void FinishSaver();

    bool IsNTPlatform();

  private:
    platform::WindowSpec windowSpec();
    void createControls();
    void StartCurrentVideo();
    void CheckPassword();
    void ReportCorruptVideo();

    platform::Platform& platform_;
    SaverState state_;
    platform::UniqueWindow window_;
    platform::Handle lblinfo_ = 0;
    platform::Handle Panel1_ = 0;
    std::unique_ptr<media::MediaDevice> MediaPlayer1;  // background sound
    std::unique_ptr<media::MediaDevice> MediaPlayer2;  // the video, drawn into Panel1
    std::unique_ptr<platform::WindowTimer> Timer1;
};

// Rounds to the nearest whole number, halves to the even neighbour.
int RoundHalfEven(double value);

// Where Panel1 goes for a display size; the own size (5) places CustomWidth x CustomHeight
// until the first video is fitted.
platform::Rect PanelBoundsFor(int displaySize, platform::Size screen, int customWidth,
                              int customHeight);

// Centres a w x h panel on the screen.
platform::Rect CentredPanel(platform::Size screen, int width, int height);

}  // namespace morvel::saver
