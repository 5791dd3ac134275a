// Where a video panel goes on the saver's window, by the display size the user chose.
#pragma once

#include "platform/types.h"

namespace morvel::saver {

// Rounds to the nearest whole number, halves to the even neighbour.
int RoundHalfEven(double value);

// Where Panel1 goes for a display size; the own size (5) places CustomWidth x CustomHeight
// until the first video is fitted.
platform::Rect PanelBoundsFor(int displaySize, platform::Size screen, int customWidth,
                              int customHeight);

// Centres a w x h panel on the screen.
platform::Rect CentredPanel(platform::Size screen, int width, int height);

// The same within `area` of the window (one monitor, or every monitor at once): laid out
// on the area's size, then moved to its top-left corner.
platform::Rect PanelBoundsIn(platform::Rect area, int displaySize, int customWidth,
                             int customHeight);
platform::Rect CentredPanelIn(platform::Rect area, int width, int height);

}  // namespace morvel::saver
