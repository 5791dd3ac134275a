#include "saver/monitor_video.h"

#include <utility>

#include "saver/panel_geometry.h"

namespace morvel::saver {

namespace {

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
    const media::VideoShape clip = device.Shape();
    if (&screen == &screens_.front()) {
        // The mirrors before the device's own rectangle, which then makes the first frame
        // once for every panel.
        std::size_t mirror = 0;
        for (const VideoScreen& other : screens_) {
            if (!other.device) {
                device.SetMirrorRect(mirror++, placeFor(other, clip));
            }
        }
    }
    device.SetDisplayRect(placeFor(screen, clip));
}

// The picture a screen shows the clip in. Where the panel changes (the clip's own size, a
// fit of other proportions) it takes its new place before the clip plays: no frame of it
// lands in the old clip's place.
media::VideoRect MonitorVideo::placeFor(const VideoScreen& screen, const media::VideoShape& clip) {
    const PicturePlace place =
        PlacePicture(screen.area, layout_, clip, platform_.largestWindowSize());
    if (platform_.bounds(screen.panel) != place.panel) {
        platform_.setBounds(screen.panel, place.panel);
    }
    return place.picture;
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
