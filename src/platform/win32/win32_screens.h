// The screens beside the primary one: while the saver's full-screen window covers the
// primary monitor, a plain black window of our own covers each other monitor, so that no
// desktop shows anywhere. They are not forms: the core never sees them.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/owned.h"

namespace morvel::win32 {

// One hidden, topmost black window over each monitor other than the primary, as the
// monitors stand now. A monitor whose cover cannot be made is left as it is: the saver
// still runs on the primary.
std::vector<OwnedWindow> CoverOtherMonitors(HINSTANCE instance);

// Shows the covers without activating them, or hides them.
void ShowCovers(const std::vector<OwnedWindow>& covers, bool visible);

}  // namespace morvel::win32
