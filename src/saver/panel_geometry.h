// Where a video panel goes on the saver's window, by the display size the user chose.
#pragma once

#include "platform/types.h"

namespace morvel::saver {

// Rounds to the nearest whole number, halves to the even neighbour.
int RoundHalfEven(double value);

// Where Panel1 goes for a display size; the own size (5) places CustomWidth x CustomHeight
// until the first video is fitted. A custom size below a pixel takes one; a custom or own
// size larger than `largest` (what the window system can hold) takes that, centred all the
// same.
platform::Rect PanelBoundsFor(int displaySize, platform::Size screen, int customWidth,
                              int customHeight, platform::Size largest);

// Centres a w x h panel on the screen, w and h first brought within 0 and `largest` (a
// sound-only clip at its own size has an empty panel).
platform::Rect CentredPanel(platform::Size screen, int width, int height, platform::Size largest);

// The same within `area` of the window (one monitor, or every monitor at once): laid out
// on the area's size, then moved to its top-left corner.
platform::Rect PanelBoundsIn(platform::Rect area, int displaySize, int customWidth,
                             int customHeight, platform::Size largest);
platform::Rect CentredPanelIn(platform::Rect area, int width, int height, platform::Size largest);

}  // namespace morvel::saver
