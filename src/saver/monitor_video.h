// The video one monitor shows: its panel, its device, its place in the list and its order.
//
// The same class serves every monitor arrangement: one monitor's own video, the one video
// spread across every monitor, and the same clip on every monitor at once (one video with a
// screen per monitor: one device that draws into every panel where its engine can, else a
// device each, opened and started together).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/media_device.h"
#include "platform/platform.h"
#include "saver/panel_geometry.h"
#include "saver/play_order.h"

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
};

class MonitorVideo {
  public:
    // The first screen leads: its device tells when a clip has ended. Its sound is heard when
    // `heard`; every other screen's device is silenced.
    MonitorVideo(platform::Platform& platform, const std::vector<std::string>& playList,
                 VideoLayout layout, PlayOrder order, std::vector<VideoScreen> screens, bool heard);

    // Places every panel by the display size before the first clip.
    void sizePanels();
    // Moves on to the next entry of the order; `busy`: what the other monitors show now.
    void chooseNext(const std::vector<int>& busy, std::uint32_t clockMs);
    // Opens the current entry on every screen, then plays it on each. Throws what opening
    // throws (a corrupt or vanished file).
    void startCurrent();
    // The clip has played to its end: the lead device stopped and no other still plays.
    // Polled on every tick; a clip never seen playing (its play failed) counts as ended only
    // after about a second of polls, so that a list nothing of which plays is not reopened
    // twenty times a second.
    bool clipEnded();
    void closeClip();
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
    media::VideoRect placeFor(const VideoScreen& screen, const media::VideoShape& clip);

    platform::Platform& platform_;
    const std::vector<std::string>& playList_;
    VideoLayout layout_;
    PlayOrder order_;
    std::vector<VideoScreen> screens_;
    bool heard_;
    int current_ = 0;
    bool halted_ = false;
    bool seenPlaying_ = false;  // the current clip
    int pollsStopped_ = 0;      // polls that found it stopped without having seen it play
};

}  // namespace morvel::saver
