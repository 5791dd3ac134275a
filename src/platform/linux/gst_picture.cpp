#include "platform/linux/gst_picture.h"

#include <algorithm>
#include <cmath>

namespace morvel::linux_backend {

namespace {

int DirectionOf(int rotation) {
    switch (rotation) {
        case 90:
            return 1;
        case 180:
            return 2;
        case 270:
            return 3;
        default:
            return 0;
    }
}

// One axis: the picture from `start` over `length` pixels, in a window of `window` pixels
// (unknown: as wide as the picture with its offset on both sides), of a frame `frame` wide.
struct Span {
    int place = 0;
    int length = 0;
    int cutBefore = 0;
    int cutAfter = 0;
};

Span Visible(int start, int length, int window, int frame) {
    if (window <= 0) {
        window = length + 2 * start;
    }
    const int first = std::max(start, 0);
    const int last = std::min(start + length, window);
    Span span{first, std::max(last - first, 0), 0, 0};
    if (frame <= 0 || length <= 0 || span.length == 0 || span.length == length) {
        return span;
    }
    const double scale = static_cast<double>(frame) / length;
    span.cutBefore = static_cast<int>(std::lround((first - start) * scale));
    span.cutAfter = static_cast<int>(std::lround((start + length - last) * scale));
    // At least a pixel of the frame is left to scale.
    const int excess = span.cutBefore + span.cutAfter - (frame - 1);
    if (excess > 0) {
        span.cutAfter -= std::min(excess, span.cutAfter);
        span.cutBefore -= std::max(excess - span.cutAfter, 0);
    }
    return span;
}

}  // namespace

PictureCut CutFor(const media::VideoRect& rect, int storedWidth, int storedHeight, int panelWidth,
                  int panelHeight) {
    const int direction = DirectionOf(rect.rotation);
    const bool sideways = direction == 1 || direction == 3;
    const int frameWidth = sideways ? storedHeight : storedWidth;
    const int frameHeight = sideways ? storedWidth : storedHeight;
    const Span across = Visible(rect.left, rect.right, panelWidth, frameWidth);
    const Span down = Visible(rect.top, rect.bottom, panelHeight, frameHeight);
    return PictureCut{direction,      across.cutBefore, across.cutAfter,
                      down.cutBefore, down.cutAfter,    across.place,
                      down.place,     across.length,    down.length};
}

}  // namespace morvel::linux_backend
