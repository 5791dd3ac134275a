#include "saver/monitor_video.h"

#include <algorithm>
#include <utility>

#include "saver/panel_geometry.h"

namespace morvel::saver {

namespace {

// About a second at the saver's 50 ms tick: the pace a clip that does not play was left at
// when the saver looked once a second.
constexpr int kPollsForAClipNeverSeenPlaying = 20;

constexpr std::uint32_t kDayMs = 24 * 3600 * 1000;

std::uint32_t ElapsedSince(std::uint32_t startMs, std::uint32_t nowMs) {
    return (nowMs + kDayMs - startMs) % kDayMs;  // the clock turns at midnight
}

}  // namespace

MonitorVideo::MonitorVideo(platform::Platform& platform, const std::vector<std::string>& playList,
                           VideoLayout layout, PlayOrder order, std::vector<VideoScreen> screens,
                           bool heard, PlaybackChoices choices, store::ResumePoints* resume,
                           std::mt19937& random)
    : platform_(platform),
      playList_(playList),
      layout_(layout),
      order_(std::move(order)),
      screens_(std::move(screens)),
      heard_(heard),
      choices_(choices),
      resume_(resume),
      random_(random) {
    for (VideoScreen& screen : screens_) {
        for (auto* device : {&screen.device, &screen.spare}) {
            if (*device && choices_.fadeMs > 0) {
                (*device)->PreferBlending(true);
            }
        }
    }
}

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

void MonitorVideo::startCurrent(Transition transition) {
    std::uint32_t remainingMs = 0;
    if (transition == Transition::Dissolve && canDissolve()) {
        const std::uint32_t position = screens_.front().device->Position();
        remainingMs = lengthMs_ > position ? lengthMs_ - position : 0;
    }
    // A clip that has played out (or never told its length) has nothing left to fade.
    const bool dissolve = remainingMs > 0;
    if (dissolve) {
        // The clip on screen plays on in the spares; one still fading out from before goes.
        closeSpares();
        for (VideoScreen& screen : screens_) {
            std::swap(screen.device, screen.spare);
        }
    } else {
        closeClip();
    }
    seenPlaying_ = false;
    pollsStopped_ = 0;
    bool lead = true;
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            openOn(screen, !(lead && heard_));
            lead = false;
        }
    }
    lengthMs_ = screens_.front().device->Length();
    seekAll(startPoint());
    fades_ = choices_.fadeMs > 0 &&
             everyDevice([](media::MediaDevice& device) { return device.CanFade(); });
    if (dissolve && fades_) {
        beginDissolve(remainingMs);
        return;
    }
    if (dissolve) {
        closeSpares();  // the new clip cannot be blended: a cut
    }
    const std::uint32_t fadeIn = FadeLengthFor(choices_.fadeMs, lengthMs_);
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            if (transition == Transition::FromBlack && fades_ && fadeIn > 0) {
                screen.device->Fade(0, 1, fadeIn);
            }
            screen.device->Play();
        }
    }
}

// The new clip fades in on the devices as the clip before fades out on the spares, both over
// the same time, so that their weights add up to the whole picture throughout.
void MonitorVideo::beginDissolve(std::uint32_t remainingMs) {
    dissolveMs_ = std::min(FadeLengthFor(choices_.fadeMs, lengthMs_), remainingMs);
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            screen.device->Fade(0, 1, dissolveMs_);
            screen.device->Play();
        }
    }
    for (VideoScreen& screen : screens_) {
        if (screen.spare && screen.spare->isOpen()) {
            screen.spare->Fade(1, 0, dissolveMs_);
        }
    }
    dissolving_ = true;
    dissolveStartMs_ = platform_.millisecondsSinceMidnight();
}

bool MonitorVideo::canDissolve() const {
    return fades_ && screens_.front().device && screens_.front().device->isOpen();
}

bool MonitorVideo::dissolveDue() {
    if (!canDissolve() || lengthMs_ == 0 || dissolving_) {
        return false;
    }
    media::MediaDevice& lead = *screens_.front().device;
    if (lead.Mode() != media::kPlaying) {
        return false;
    }
    return lead.Position() + FadeLengthFor(choices_.fadeMs, lengthMs_) >= lengthMs_;
}

void MonitorVideo::settleDissolve() {
    if (dissolving_ &&
        ElapsedSince(dissolveStartMs_, platform_.millisecondsSinceMidnight()) >= dissolveMs_) {
        closeSpares();
    }
}

void MonitorVideo::closeSpares() {
    for (VideoScreen& screen : screens_) {
        if (screen.spare && screen.spare->isOpen()) {
            screen.spare->Close();
        }
    }
    dissolving_ = false;
}

std::uint32_t MonitorVideo::startPoint() {
    switch (choices_.startAt) {
        case StartAtMode::RandomPoint:
            return RandomStart(lengthMs_, choices_.fadeMs, random_);
        case StartAtMode::WhereStopped:
            return resume_ == nullptr
                       ? 0
                       : ResumedStart(lengthMs_, choices_.fadeMs, resume_->find(fileName()));
        case StartAtMode::Beginning:
            break;
    }
    return 0;
}

void MonitorVideo::seekAll(std::uint32_t ms) {
    if (ms == 0) {
        return;
    }
    for (VideoScreen& screen : screens_) {
        if (screen.device) {
            screen.device->Seek(ms);
        }
    }
}

void MonitorVideo::leaveClip(bool playedToItsEnd) {
    if (resume_ == nullptr || halted_ || current_ == 0 || lengthMs_ < kLongClipMs) {
        return;
    }
    if (playedToItsEnd) {
        resume_->forget(fileName());
    } else {
        resume_->remember(fileName(), screens_.front().device->Position());
    }
}

bool MonitorVideo::everyDevice(const std::function<bool(media::MediaDevice&)>& check) const {
    return std::all_of(screens_.begin(), screens_.end(), [&](const VideoScreen& screen) {
        return !screen.device || check(*screen.device);
    });
}

void MonitorVideo::openOn(VideoScreen& screen, bool silenced) {
    media::MediaDevice& device = *screen.device;
    device.FileName = fileName();
    device.Open();
    if (silenced) {
        device.SetAudible(false);
    } else if (choices_.volume != 100) {
        device.SetVolume(choices_.volume);
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
    PicturePlace place = PlacePicture(screen.area, layout_, clip, platform_.largestWindowSize());
    if (choices_.fadeMs > 0) {
        // Two clips of other places share the panel while they dissolve: it keeps the whole
        // area, each picture at its corner in it.
        place.picture.left += place.panel.left - screen.area.left;
        place.picture.top += place.panel.top - screen.area.top;
        place.panel = screen.area;
    }
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
    closeSpares();
    for (VideoScreen& screen : screens_) {
        if (screen.device && screen.device->isOpen()) {
            screen.device->Close();
        }
    }
}

void MonitorVideo::showPanels(bool shown) {
    for (const VideoScreen& screen : screens_) {
        platform_.setVisible(screen.panel, shown);
    }
}

void MonitorVideo::halt() {
    halted_ = true;
    closeClip();
}

void MonitorVideo::stop() {
    for (VideoScreen& screen : screens_) {
        for (auto* device : {&screen.device, &screen.spare}) {
            if (*device && (*device)->Mode() == media::kPlaying) {
                (*device)->Stop();
            }
        }
    }
}

}  // namespace morvel::saver
