// How one window's branch turns, cuts and scales the frames for the rectangle it is given.
#pragma once

#include "media/media_engine.h"

namespace morvel::linux_backend {

// What a branch does with each frame: turned by `direction` (videoflip's method: 0 none,
// 1 a quarter clockwise, 2 a half, 3 a quarter counter-clockwise), the turned frame cut by
// the crop margins, the rest scaled to width x height and drawn at (x, y) in the panel.
// Only what the panel shows is scaled: a fill's picture, larger than the panel, costs no
// more than a stretch.
struct PictureCut {
    int direction = 0;
    int cropLeft = 0;
    int cropRight = 0;
    int cropTop = 0;
    int cropBottom = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureCut&, const PictureCut&) = default;
};

// `stored`: the frame's size as decoded (0 x 0 unknown: nothing is cut). `panelWidth` and
// `panelHeight`: the window the picture is cut by; 0 or less where not known, when the
// picture is taken to be centred on it (as the saver places a fill).
PictureCut CutFor(const media::VideoRect& rect, int storedWidth, int storedHeight, int panelWidth,
                  int panelHeight);

}  // namespace morvel::linux_backend
