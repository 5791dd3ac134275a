// The screens and the cursor on them.
//
// A FullScreenTopmost window covers the primary screen, and while it lives the backend
// covers every other screen with black windows of its own. A FullScreenEveryMonitor window
// covers them all itself. In a screen locker's window the "screen" is that window.
//
// Thread: the user-interface thread only.
#pragma once

#include <vector>

#include "platform/types.h"

namespace morvel::platform {

class ScreenService {
  public:
    virtual ~ScreenService() = default;

    // The size of the primary screen (or the locker's window), in pixels.
    virtual Size screenSize() const = 0;
    // The monitors present now, in desktop coordinates: the primary first, then the others
    // from left to right (top to bottom where two share a left edge). Never empty. In a
    // locker's window: that window alone, at (0, 0).
    virtual std::vector<Rect> monitors() const = 0;
    // Where the first of monitors() lies among every monitor present, in the same order,
    // from 0: 0 on a screen of the program's own; in a locker's window, the place of the
    // monitor that window lies on (a locker lends a window on each monitor).
    virtual int firstMonitorIndex() const = 0;
    // The largest width and height a window or control can have and still show what it
    // holds: the window system cuts or refuses more (X11 keeps sizes in 16 bits, Win32 cuts
    // them to 32767), and a backend whose video cannot fill that much says less.
    virtual Size largestWindowSize() const = 0;
    // Raises (true) or lowers (false) the cursor display count; returns the new count. The
    // cursor shows while the count is zero or more.
    virtual int showCursor(bool show) = 0;
};

}  // namespace morvel::platform
