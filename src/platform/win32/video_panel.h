// A panel that an MCI device draws into keeps its picture when it is uncovered.
//
// Wine's MPEG device draws in a child window of its own, which goes with the device; the
// panel below it then paints its background, and the next clip's first frame comes some tens
// of milliseconds later. While a device draws into the panel, the panel does not paint its
// background: what the screen shows stays until the device's next frame covers it.
#pragma once

#include <windows.h>

namespace morvel::win32 {

// Counted: a panel may be handed from one device to the next.
void MarkVideoDrawingInto(HWND panel);
void UnmarkVideoDrawingInto(HWND panel);
bool VideoDrawsInto(HWND panel);

}  // namespace morvel::win32
