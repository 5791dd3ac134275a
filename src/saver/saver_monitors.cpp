// The saver across the monitors: where each monitor lies on the window, the videos they
// show, and what they show without videos.
#include <string>
#include <utility>

#include "common/path.h"
#include "saver/saver_window.h"

namespace morvel::saver {

using platform::Color;
using platform::Handle;
using platform::Rect;

std::vector<Rect> MonitorAreas(platform::Platform& platform, MonitorMode mode) {
    if (mode == MonitorMode::PrimaryOnly) {
        const platform::Size primary = platform.screenSize();
        return {Rect{0, 0, primary.width, primary.height}};
    }
    const std::vector<Rect> monitors = platform.monitors();
    const Rect desktop = platform::BoundingRect(monitors);
    std::vector<Rect> areas;
    for (const Rect& monitor : monitors) {
        areas.push_back(Rect{monitor.left - desktop.left, monitor.top - desktop.top, monitor.width,
                             monitor.height});
    }
    return areas;
}

// The notice takes the primary monitor, on white as ever; the other monitors stay black,
// as the backend's covers keep them where the window holds the primary alone.
void TForm1::ShowNotice() {
    platform_.setVisible(Panel1_, false);
    platform_.setVisible(lblinfo_, true);
    platform_.setWindowColor(handle(), Color::rgb(255, 255, 255));
    for (std::size_t monitor = 1; monitor < monitorAreas_.size(); ++monitor) {
        platform::ControlSpec cover;
        cover.kind = platform::ControlKind::Panel;
        cover.name = "Cover" + std::to_string(monitor + 1);
        cover.bounds = monitorAreas_[monitor];
        cover.background = Color::rgb(0, 0, 0);
        platform_.createControl(handle(), cover);
    }
}

// The panel and device of one monitor: Panel1 for the primary, a new panel for the others.
VideoScreen TForm1::CreateScreen(std::size_t monitor, Rect area) {
    Handle panel = Panel1_;
    if (monitor > 0) {
        platform::ControlSpec design;
        design.kind = platform::ControlKind::Panel;
        design.name = "Panel" + std::to_string(monitor + 1);
        design.background = Color::rgb(0, 0, 0);
        panel = platform_.createControl(handle(), design);
    }
    VideoScreen screen{panel, area,
                       std::make_unique<media::MediaDevice>(platform_.createMediaEngine(), panel),
                       nullptr};
    if (state_.FadeMs > 0) {
        screen.spare = std::make_unique<media::MediaDevice>(platform_.createMediaEngine(), panel);
    }
    return screen;
}

// The same clip on every monitor: where the engine can, the primary's device draws into
// every panel, and the clip is decoded once; else each monitor has a device of its own, and
// they start together.
std::vector<VideoScreen> TForm1::CreateSameOnEvery() {
    std::vector<VideoScreen> screens;
    screens.push_back(CreateScreen(0, monitorAreas_.front()));
    for (std::size_t monitor = 1; monitor < monitorAreas_.size(); ++monitor) {
        VideoScreen screen = CreateScreen(monitor, monitorAreas_[monitor]);
        VideoScreen& first = screens.front();
        // Both of the first screen's devices draw into the mirror (its engines are alike):
        // the clip before and the next are blended there too.
        if (first.device->AddMirror(screen.panel) &&
            (!first.spare || first.spare->AddMirror(screen.panel))) {
            screen.device.reset();
            screen.spare.reset();
        }
        screens.push_back(std::move(screen));
    }
    return screens;
}

void TForm1::CreateVideos() {
    shuffler_.seed(platform_.millisecondsSinceMidnight());
    const OrderKind order = OrderFromSetting(state_.PlayOrder);
    const VideoLayout layout{state_.DisplaySize, state_.CustomWidth, state_.CustomHeight,
                             state_.Fit};
    const PlaybackChoices choices{state_.FadeMs, state_.StartAt, state_.Volume};
    LoadResumePoints();
    auto addVideo = [&](int sequenceStart, std::vector<VideoScreen> screens) {
        videos_.emplace_back(platform_, state_.PlayList, layout,
                             PlayOrder(order, state_.PlayListCount, sequenceStart, shuffler_),
                             std::move(screens), videos_.empty(), choices, resume_.get(),
                             shuffler_);
    };
    std::vector<VideoScreen> screens;
    switch (monitorMode_) {
        case MonitorMode::PrimaryOnly:
            screens.push_back(CreateScreen(0, monitorAreas_.front()));
            break;
        case MonitorMode::SpreadAcross:
            screens.push_back(CreateScreen(0, platform::BoundingRect(monitorAreas_)));
            break;
        case MonitorMode::SameOnEvery:
            screens = CreateSameOnEvery();
            break;
        case MonitorMode::OwnOnEach: {
            // Monitor k starts at entry k of the list in sequence, the primary at the first;
            // in a locker's window (one on each monitor) k is the monitor it lies on.
            const int first = platform_.firstMonitorIndex();
            videos_.reserve(monitorAreas_.size());
            for (std::size_t monitor = 0; monitor < monitorAreas_.size(); ++monitor) {
                std::vector<VideoScreen> own;
                own.push_back(CreateScreen(monitor, monitorAreas_[monitor]));
                addVideo(first + static_cast<int>(monitor) + 1, std::move(own));
            }
            return;
        }
    }
    addVideo(1, std::move(screens));
}

// The saver's own state file, read once: where each long clip was left.
void TForm1::LoadResumePoints() {
    const std::string folder = platform_.stateDirectory();
    if (state_.StartAt != StartAtMode::WhereStopped || folder.empty()) {
        return;
    }
    resumePath_ = joinPath(folder, platform_.pathSeparator(), kResumeFileName);
    resume_ = std::make_unique<store::ResumePoints>(store::ResumePoints::Load(resumePath_));
}

void TForm1::SizeVideoPanel() {
    for (MonitorVideo& video : videos_) {
        video.sizePanels();
    }
}

// What the other monitors show now: a clip on two monitors at once is what random and
// shuffled orders avoid.
std::vector<int> TForm1::ShownElsewhere(const MonitorVideo& video) const {
    std::vector<int> shown;
    for (const MonitorVideo& other : videos_) {
        if (&other != &video && other.current() != 0) {
            shown.push_back(other.current());
        }
    }
    return shown;
}

}  // namespace morvel::saver
