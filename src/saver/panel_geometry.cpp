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

}  // namespace morvel::saver
