#include "saver/panel_geometry.h"

#include <algorithm>
#include <cmath>

namespace morvel::saver {

using platform::Rect;

namespace {

Rect MovedBy(Rect rect, int dx, int dy) {
    rect.left += dx;
    rect.top += dy;
    return rect;
}

}  // namespace

int RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) {
        return static_cast<int>(floor) + 1;
    }
    if (fraction < 0.5) {
        return static_cast<int>(floor);
    }
    const int lower = static_cast<int>(floor);
    return lower % 2 == 0 ? lower : lower + 1;
}

Rect CentredPanel(platform::Size screen, int width, int height, platform::Size largest) {
    width = std::clamp(width, 0, std::max(largest.width, 0));
    height = std::clamp(height, 0, std::max(largest.height, 0));
    return Rect{RoundHalfEven((screen.width - width) / 2.0),
                RoundHalfEven((screen.height - height) / 2.0), width, height};
}

Rect PanelBoundsFor(int displaySize, platform::Size screen, int customWidth, int customHeight,
                    platform::Size largest) {
    const double sw = screen.width;
    const double sh = screen.height;
    auto fraction = [&](double divisor) {
        const int w = RoundHalfEven(sw / divisor);
        const int h = RoundHalfEven(sh / divisor);
        return Rect{RoundHalfEven(sw / 2 - w / 2.0), RoundHalfEven(sh / 2 - h / 2.0), w, h};
    };
    switch (displaySize) {
        case 1:
            return Rect{0, 0, screen.width, screen.height};
        case 2:
            return fraction(2);
        case 3:
            return fraction(4);
        default:
            // A stored size of no pixels, or none stored (read as -1), shows the clip all
            // the same: the nearest panel that shows anything is a pixel.
            return CentredPanel(screen, std::max(customWidth, 1), std::max(customHeight, 1),
                                largest);
    }
}

Rect PanelBoundsIn(Rect area, int displaySize, int customWidth, int customHeight,
                   platform::Size largest) {
    return MovedBy(
        PanelBoundsFor(displaySize, {area.width, area.height}, customWidth, customHeight, largest),
        area.left, area.top);
}

Rect CentredPanelIn(Rect area, int width, int height, platform::Size largest) {
    return MovedBy(CentredPanel({area.width, area.height}, width, height, largest), area.left,
                   area.top);
}

FitMode FitFromSetting(int value) {
    return value == 1 || value == 2 ? static_cast<FitMode>(value) : FitMode::Stretch;
}

namespace {

constexpr int kOwnSize = 5;

bool Sideways(int rotation) {
    return rotation == 90 || rotation == 270;
}

// The width of the upright picture over its height, as it is meant to be seen.
double DisplayAspect(const media::VideoShape& clip) {
    const double stored = static_cast<double>(clip.width) * std::max(clip.pixelAspectNum, 1) /
                          (static_cast<double>(clip.height) * std::max(clip.pixelAspectDen, 1));
    return Sideways(clip.rotation) ? 1.0 / stored : stored;
}

// The picture in `box` in the clip's proportions: inside it (fit) or over it (fill),
// centred either way, so that what a fill cuts off is the same on both sides.
Rect Proportioned(platform::Size box, double aspect, bool cover) {
    const bool boxWider = box.width > box.height * aspect;
    int width = box.width;
    int height = box.height;
    if (boxWider != cover) {
        width = std::max(RoundHalfEven(box.height * aspect), 1);
    } else {
        height = std::max(RoundHalfEven(box.width / aspect), 1);
    }
    return Rect{RoundHalfEven((box.width - width) / 2.0),
                RoundHalfEven((box.height - height) / 2.0), width, height};
}

media::VideoRect Whole(Rect panel, int rotation) {
    return media::VideoRect{panel.width, panel.height, 0, 0, rotation};
}

}  // namespace

media::VideoRect UprightOwnSize(const media::VideoShape& clip) {
    const bool sideways = Sideways(clip.rotation);
    return {sideways ? clip.height : clip.width, sideways ? clip.width : clip.height, 0, 0,
            clip.rotation};
}

PicturePlace PlacePicture(Rect area, const VideoLayout& layout, media::VideoShape clip,
                          platform::Size largest) {
    if (clip.rotation != 90 && clip.rotation != 180 && clip.rotation != 270) {
        clip.rotation = 0;
    }
    const int rotation = clip.rotation;
    if (layout.displaySize == kOwnSize) {
        const media::VideoRect own = UprightOwnSize(clip);
        const Rect panel = CentredPanelIn(area, own.right, own.bottom, largest);
        return {panel, Whole(panel, rotation)};
    }
    const Rect box =
        PanelBoundsIn(area, layout.displaySize, layout.customWidth, layout.customHeight, largest);
    if (layout.fit == FitMode::Stretch || clip.width <= 0 || clip.height <= 0 || box.width <= 0 ||
        box.height <= 0) {
        return {box, Whole(box, rotation)};
    }
    const Rect picture =
        Proportioned({box.width, box.height}, DisplayAspect(clip), layout.fit == FitMode::Fill);
    if (layout.fit == FitMode::Fit) {
        const Rect panel = MovedBy(picture, box.left, box.top);
        return {panel, Whole(panel, rotation)};
    }
    return {box,
            media::VideoRect{picture.width, picture.height, picture.left, picture.top, rotation}};
}

}  // namespace morvel::saver
