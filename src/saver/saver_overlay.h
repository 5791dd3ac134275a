// The clock and the name of the clip, over the video in the primary monitor's lower right
// corner: what they say, where they go and when they change. The saver's timer drives it;
// the platform draws the overlay controls and gives the time in the user's own format.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace morvel::saver {

// Clock in the settings.
enum class ClockMode { None = 0, Time = 1, TimeAndDate = 2 };
ClockMode ClockFromSetting(int value);

// One line of the overlay: its bounds in the window (the text is right-aligned at their
// bottom) and the pixel height of its characters.
struct OverlayLine {
    platform::Rect bounds;
    int pixelHeight = 0;
    friend bool operator==(const OverlayLine&, const OverlayLine&) = default;
};

// From the bottom up: the caption (when shown at all, its line is kept while it is hidden,
// so that the clock does not jump), the date, the time. The time's characters are about a
// twentieth of the monitor's height, the others half that.
struct OverlayLayout {
    OverlayLine time;
    OverlayLine date;
    OverlayLine caption;
    friend bool operator==(const OverlayLayout&, const OverlayLayout&) = default;
};

// The whole overlay moves by a few pixels every few minutes, so that an OLED screen keeps
// no image of it; `driftStep` counts those moves from the start.
OverlayLayout LayOutOverlay(platform::Rect monitor, bool withCaption, int driftStep);
// How far the overlay lies from its first place at a drift step, in pixels.
struct Drift {
    int dx = 0;
    int dy = 0;
};
Drift DriftOffset(int driftStep);
inline constexpr std::uint32_t kDriftIntervalMs = 3 * 60 * 1000;
inline constexpr std::uint32_t kCaptionShownMs = 5000;

// The name of a clip as the caption shows it: without its folder and extension.
std::string CaptionText(const std::string& path);

class SaverOverlay {
  public:
    // Makes the overlay's controls in `window` over `monitor` (the primary, in the window's
    // coordinates), hidden; a line that would cover `keepClear` (the notice) never shows.
    SaverOverlay(platform::Platform& platform, platform::Handle window, platform::Rect monitor,
                 ClockMode clock, bool caption, platform::Rect keepClear);

    bool active() const { return clock_ != ClockMode::None || caption_; }
    // Shows the clock at once.
    void start();
    // Nothing shows until the next start (the saver has gone dark).
    void hide();
    // A new clip on the primary monitor: its name shows for its first five seconds.
    void clipStarted(const std::string& path);
    // Called about twice a second: a new minute shows, the caption goes, the overlay moves.
    void tick();

  private:
    void place();
    void showLine(platform::Handle line, const OverlayLine& where, bool shown);
    void refreshClock();
    std::uint32_t elapsedMs(std::uint32_t since) const;

    platform::Platform& platform_;
    const platform::Rect monitor_;
    const ClockMode clock_;
    const bool caption_;
    const platform::Rect keepClear_;
    platform::Handle lbltime_ = 0;
    platform::Handle lbldate_ = 0;
    platform::Handle lblname_ = 0;
    std::uint32_t startMs_ = 0;
    int driftStep_ = 0;
    std::string shownTime_;
    std::string shownDate_;
    bool captionShown_ = false;
    std::uint32_t captionSinceMs_ = 0;
};

}  // namespace morvel::saver
