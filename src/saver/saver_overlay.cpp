#include "saver/saver_overlay.h"

#include <array>

#include "saver/panel_geometry.h"

namespace morvel::saver {

using platform::Handle;
using platform::Rect;

namespace {

constexpr std::uint32_t kDayMs = 24u * 3600u * 1000u;

// Never more than eight pixels from the first place, each move a few pixels from the last.
constexpr std::array<Drift, 8> kDrifts{
    {{0, 0}, {-4, -2}, {-8, -4}, {-6, -8}, {-2, -6}, {-6, -2}, {-3, -7}, {-1, -3}},
};

Rect Intersection(const Rect& a, const Rect& b) {
    const int left = std::max(a.left, b.left);
    const int top = std::max(a.top, b.top);
    const int right = std::min(a.left + a.width, b.left + b.width);
    const int bottom = std::min(a.top + a.height, b.top + b.height);
    return Rect{left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
}

bool Overlaps(const Rect& a, const Rect& b) {
    const Rect common = Intersection(a, b);
    return common.width > 0 && common.height > 0;
}

}  // namespace

ClockMode ClockFromSetting(int value) {
    return value == 1 || value == 2 ? static_cast<ClockMode>(value) : ClockMode::None;
}

Drift DriftOffset(int driftStep) {
    return kDrifts[static_cast<std::size_t>(driftStep) % kDrifts.size()];
}

OverlayLayout LayOutOverlay(Rect monitor, bool withCaption, int driftStep) {
    const int timeHeight = std::max(RoundHalfEven(monitor.height / 20.0), 8);
    const int smallHeight = std::max(RoundHalfEven(timeHeight / 2.0), 6);
    // The line boxes leave room for descenders and the shadow.
    const auto boxHeight = [](int pixels) { return RoundHalfEven(pixels * 1.5); };
    const int margin = RoundHalfEven(monitor.height / 30.0);
    const Drift drift = DriftOffset(driftStep);
    const int width = monitor.width / 2;
    const int left = monitor.left + monitor.width - margin - width + drift.dx;
    int bottom = monitor.top + monitor.height - margin + drift.dy;
    auto next = [&](int pixels) {
        const int height = boxHeight(pixels);
        bottom -= height;
        return OverlayLine{Rect{left, bottom, width, height}, pixels};
    };
    OverlayLayout layout;
    if (withCaption) {
        layout.caption = next(smallHeight);
    }
    layout.date = next(smallHeight);
    layout.time = next(timeHeight);
    if (!withCaption) {
        layout.caption = layout.date;
    }
    return layout;
}

std::string CaptionText(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

SaverOverlay::SaverOverlay(platform::Platform& platform, Handle window, Rect monitor,
                           ClockMode clock, bool caption, Rect keepClear)
    : platform_(platform),
      monitor_(monitor),
      clock_(clock),
      caption_(caption),
      keepClear_(keepClear) {
    if (!active()) {
        return;
    }
    const OverlayLayout layout = LayOutOverlay(monitor_, caption_, 0);
    auto create = [&](const char* name, const OverlayLine& line) {
        platform::ControlSpec design;
        design.kind = platform::ControlKind::Overlay;
        design.name = name;
        design.bounds = line.bounds;
        design.font =
            platform::Font{"Arial", line.pixelHeight, 0, true, platform::Color::rgb(255, 255, 255)};
        design.visible = false;
        return platform_.createControl(window, design);
    };
    if (clock_ != ClockMode::None) {
        lbltime_ = create("lbltime", layout.time);
    }
    if (clock_ == ClockMode::TimeAndDate) {
        lbldate_ = create("lbldate", layout.date);
    }
    if (caption_) {
        lblname_ = create("lblname", layout.caption);
    }
}

std::uint32_t SaverOverlay::elapsedMs(std::uint32_t since) const {
    return (platform_.millisecondsSinceMidnight() + kDayMs - since) % kDayMs;
}

void SaverOverlay::start() {
    startMs_ = platform_.millisecondsSinceMidnight();
    refreshClock();
    place();
}

void SaverOverlay::hide() {
    captionShown_ = false;
    for (const Handle line : {lbltime_, lbldate_, lblname_}) {
        if (line && platform_.isVisible(line)) {
            platform_.setVisible(line, false);
        }
    }
}

void SaverOverlay::clipStarted(const std::string& path) {
    if (!lblname_) {
        return;
    }
    platform_.setCaption(lblname_, CaptionText(path));
    captionShown_ = true;
    captionSinceMs_ = platform_.millisecondsSinceMidnight();
    place();
}

void SaverOverlay::tick() {
    if (!active()) {
        return;
    }
    const bool captionDue = captionShown_ && elapsedMs(captionSinceMs_) >= kCaptionShownMs;
    const int step = static_cast<int>(elapsedMs(startMs_) / kDriftIntervalMs);
    if (captionDue) {
        captionShown_ = false;
    }
    refreshClock();
    if (captionDue || step != driftStep_) {
        driftStep_ = step;
        place();
    }
}

// The text is only set when it changes: the platform redraws a line it is given.
void SaverOverlay::refreshClock() {
    if (lbltime_) {
        if (std::string time = platform_.localTimeText(); time != shownTime_) {
            shownTime_ = std::move(time);
            platform_.setCaption(lbltime_, shownTime_);
        }
    }
    if (lbldate_) {
        if (std::string date = platform_.localDateText(); date != shownDate_) {
            shownDate_ = std::move(date);
            platform_.setCaption(lbldate_, shownDate_);
        }
    }
}

void SaverOverlay::place() {
    const OverlayLayout layout = LayOutOverlay(monitor_, caption_, driftStep_);
    showLine(lbltime_, layout.time, true);
    showLine(lbldate_, layout.date, true);
    showLine(lblname_, layout.caption, captionShown_);
}

void SaverOverlay::showLine(Handle line, const OverlayLine& where, bool shown) {
    if (!line) {
        return;
    }
    shown = shown && !Overlaps(where.bounds, keepClear_);
    if (shown && platform_.bounds(line) != where.bounds) {
        platform_.setBounds(line, where.bounds);
    }
    if (platform_.isVisible(line) != shown) {
        platform_.setVisible(line, shown);
    }
}

}  // namespace morvel::saver
