// The video one monitor shows: its panel, its device, its place in the list and its order.
//
// The same class serves every monitor arrangement: one monitor's own video, the one video
// spread across every monitor, and the same clip on every monitor at once (one video with a
// screen per monitor: one device that draws into every panel where its engine can, else a
// device each, opened and started together).
//
// With a dissolve, each screen has a second device: the next clip opens on it while the
// one on screen plays out, the two are seen blended, and then the old one closes; the
// devices trade places at every change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <random>

#include "media/media_device.h"
#include "platform/platform.h"
#include "saver/clip_timing.h"
#include "saver/panel_geometry.h"
#include "saver/play_order.h"
#include "store/resume_file.h"

namespace morvel::saver {

// A panel the video is drawn into and the device that draws it.
struct VideoScreen {
    platform::Handle panel = 0;
    // The area the panel is laid out in (a monitor, or every monitor), in the window's
    // client coordinates.
    platform::Rect area;
    // None for a mirror of the first screen: its device draws here too (AddMirror, in the
    // order of the screens).
    std::unique_ptr<media::MediaDevice> device;
    // With a dissolve: the device the clip before fades out on while `device` fades in; its
    // mirrors are the same.
    std::unique_ptr<media::MediaDevice> spare;
};

// How a clip comes on.
enum class Transition {
    Cut,        // at once, the clip before already closed
    FromBlack,  // fading in over black (the first clip, with a dissolve set)
    Dissolve,   // fading in as the clip on screen fades out; a cut where either cannot
};

class MonitorVideo {
  public:
    // The first screen leads: its device tells when a clip has ended. Its sound is heard when
    // `heard`; every other screen's device is silenced. `resume` keeps where long clips were
    // left (with StartAt WhereStopped; else null); `random` picks random starting points.
    MonitorVideo(platform::Platform& platform, const std::vector<std::string>& playList,
                 VideoLayout layout, PlayOrder order, std::vector<VideoScreen> screens, bool heard,
                 PlaybackChoices choices, store::ResumePoints* resume, std::mt19937& random);

    // Places every panel by the display size before the first clip.
    void sizePanels();
    // Moves on to the next entry of the order; `busy`: what the other monitors show now.
    void chooseNext(const std::vector<int>& busy, std::uint32_t clockMs);
    // Opens the current entry on every screen, then plays it on each. Throws what opening
    // throws (a corrupt or vanished file); a dissolve's clip before then still plays.
    void startCurrent(Transition transition = Transition::Cut);
    // Whether the clip on screen can dissolve into the next: a dissolve is set and its
    // pictures can be faded.
    bool canDissolve() const;
    // The clip on screen has come within its dissolve of its end: the next should start.
    bool dissolveDue();
    // Closes the clip before once its dissolve is over. Polled on every tick.
    void settleDissolve();
    // The clip on screen is left here: with StartAt WhereStopped a long clip goes on from
    // this point next time, or from its start where it played to its end.
    void leaveClip(bool playedToItsEnd);
    // The clip has played to its end: the lead device stopped and no other still plays.
    // Polled on every tick; a clip never seen playing (its play failed) counts as ended only
    // after about a second of polls, so that a list nothing of which plays is not reopened
    // twenty times a second.
    bool clipEnded();
    void closeClip();
    // The panels shown or hidden (black: the window's colour shows).
    void showPanels(bool shown);
    // Stops for good after a clip failed: this monitor shows nothing more.
    void halt();
    // Stops every device that plays, as the saver ends.
    void stop();

    bool halted() const { return halted_; }
    // The entry on screen, from 1; 0 before the first clip and once halted.
    int current() const { return halted_ ? 0 : current_; }
    const std::string& fileName() const;

  private:
    void openOn(VideoScreen& screen, bool silenced);
    void seekAll(std::uint32_t ms);
    std::uint32_t startPoint();
    void beginDissolve(std::uint32_t remainingMs);
    void closeSpares();
    bool everyDevice(const std::function<bool(media::MediaDevice&)>& check) const;
    media::VideoRect placeFor(const VideoScreen& screen, const media::VideoShape& clip);

    platform::Platform& platform_;
    const std::vector<std::string>& playList_;
    VideoLayout layout_;
    PlayOrder order_;
    std::vector<VideoScreen> screens_;
    bool heard_;
    PlaybackChoices choices_;
    store::ResumePoints* resume_;
    std::mt19937& random_;
    int current_ = 0;
    bool halted_ = false;
    bool seenPlaying_ = false;           // the current clip
    int pollsStopped_ = 0;               // polls that found it stopped without having seen it play
    std::uint32_t lengthMs_ = 0;         // the current clip's; 0: not known
    bool fades_ = false;                 // the current clip's pictures can be faded on every screen
    bool dissolving_ = false;            // the clip before still fades out on the spares
    std::uint32_t dissolveStartMs_ = 0;  // the clock at the dissolve's start
    std::uint32_t dissolveMs_ = 0;       // its length
};

}  // namespace morvel::saver
