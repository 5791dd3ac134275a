#include "saver/monitor_video.h"

#include <utility>

#include "saver/panel_geometry.h"

namespace morvel::saver {

namespace {

constexpr int kOwnSize = 5;
// About a second at the saver's 50 ms tick: the pace a clip that does not play was left at
// when the saver looked once a second.
constexpr int kPollsForAClipNeverSeenPlaying = 20;

}  // namespace

MonitorVideo::MonitorVideo(platform::Platform& platform, const std::vector<std::string>& playList,
                           VideoLayout layout, PlayOrder order, std::vector<VideoScreen> screens,
                           bool heard)
    : platform_(platform),
      playList_(playList),
      layout_(layout),
      order_(std::move(order)),
      screens_(std::move(screens)),
      heard_(heard) {}

void MonitorVideo::sizePanels() {
    for (const VideoScreen& screen : screens_) {
        platform_.setBounds(screen.panel,
                            PanelBoundsIn(screen.area, layout_.displaySize, layout_.customWidth,
                                          layout_.customHeight, platform_.largestWindowSize()));
    }
}

void MonitorVideo::chooseNext(const std::vector<int>& busy, std::uint32_t clockMs) {
    current_ = order_.next(busy, clockMs);
}

const std::string& MonitorVideo::fileName() const {
    return playList_.at(static_cast<std::size_t>(current_ - 1));
}

void MonitorVideo::startCurrent() {
    seenPlaying_ = false;
    pollsStopped_ = 0;
    bool lead = true;
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            openOn(screen, !(lead && heard_));
            lead = false;
        }
    }
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            screen.device->Play();
        }
    }
}

void MonitorVideo::openOn(VideoScreen& screen, bool silenced) {
    media::MediaDevice& device = *screen.device;
    device.FileName = fileName();
    device.Open();
    if (silenced) {
        device.SetAudible(false);
    }
    media::VideoRect own;
    if (layout_.displaySize == kOwnSize) {
        device.SetDisplayRect({0, 0});
        own = device.DisplayRect();
    }
    if (&screen == &screens_.front()) {
        // The mirrors before the device's own rectangle, which then makes the first frame
        // once for every panel.
        std::size_t mirror = 0;
        for (const VideoScreen& other : screens_) {
            if (!other.device) {
                device.SetMirrorRect(mirror++, placeFor(other, own));
            }
        }
    }
    device.SetDisplayRect(placeFor(screen, own));
}

// The rectangle a screen shows the clip in. At its own size the panel takes the new clip's
// size before it plays: no frame of it lands in the old clip's place. A clip larger than a
// window can be fills the largest there is.
media::VideoRect MonitorVideo::placeFor(const VideoScreen& screen, media::VideoRect own) {
    if (layout_.displaySize == kOwnSize) {
        const platform::Rect panel =
            CentredPanelIn(screen.area, own.right, own.bottom, platform_.largestWindowSize());
        platform_.setBounds(screen.panel, panel);
        return {panel.width, panel.height};
    }
    const platform::Rect panel = platform_.bounds(screen.panel);
    return {panel.width, panel.height};
}

bool MonitorVideo::clipEnded() {
    const int mode = screens_.front().device->Mode();
    if (mode == media::kPlaying) {
        seenPlaying_ = true;
    }
    if (mode != media::kStopped) {
        return false;
    }
    if (!seenPlaying_ && ++pollsStopped_ < kPollsForAClipNeverSeenPlaying) {
        return false;
    }
    for (auto screen = screens_.begin() + 1; screen != screens_.end(); ++screen) {
        if (screen->device && screen->device->Mode() == media::kPlaying) {
            return false;
        }
    }
    return true;
}

void MonitorVideo::closeClip() {
    for (VideoScreen& screen : screens_) {
        if (screen.device && screen.device->isOpen()) {
            screen.device->Close();
        }
    }
}

void MonitorVideo::halt() {
    halted_ = true;
    closeClip();
}

void MonitorVideo::stop() {
    for (VideoScreen& screen : screens_) {
        if (screen.device && screen.device->Mode() == media::kPlaying) {
            screen.device->Stop();
        }
    }
}

}  // namespace morvel::saver
