// The monitors, and the screens beside the primary one: while the saver's full-screen window
// covers the primary monitor, a plain black window of our own covers each other monitor, so
// that no desktop shows anywhere. They are not forms: the core never sees them.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/owned.h"

namespace morvel::win32 {

struct Monitor {
    RECT place{};  // in desktop coordinates: the primary's top-left is (0, 0)
    bool primary = false;
};

// The monitors as they stand now: the primary first, then the others from left to right
// (top to bottom where two share a left edge). Empty only if the system lists none.
std::vector<Monitor> MonitorsInOrder();

// One hidden, topmost black window over each monitor other than the primary, as the
// monitors stand now. A monitor whose cover cannot be made is left as it is: the saver
// still runs on the primary.
std::vector<OwnedWindow> CoverOtherMonitors(HINSTANCE instance);

// Shows the covers without activating them, or hides them.
void ShowCovers(const std::vector<OwnedWindow>& covers, bool visible);

}  // namespace morvel::win32
