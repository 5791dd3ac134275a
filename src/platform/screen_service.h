// The screens and the cursor on them.
//
// Today's saver shows its video on the primary screen: a FullScreenTopmost window covers it,
// and while that window lives the backend covers every other screen with black windows of
// its own. In a screen locker's window the "screen" is that window.
//
// Thread: the user-interface thread only.
#pragma once

#include "platform/types.h"

namespace morvel::platform {

class ScreenService {
  public:
    virtual ~ScreenService() = default;

    // The size of the primary screen (or the locker's window), in pixels.
    virtual Size screenSize() const = 0;
    // Raises (true) or lowers (false) the cursor display count; returns the new count. The
    // cursor shows while the count is zero or more.
    virtual int showCursor(bool show) = 0;
};

}  // namespace morvel::platform
