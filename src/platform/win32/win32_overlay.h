// The overlay control (platform::ControlKind::Overlay) on Win32: a child window of its form,
// shaped to its text by a window region, so that only the letters and their dark outline
// lie over the panels below it and everything else shows through. The panels clip their
// siblings: neither GDI drawing into them (Media Foundation's frames, from its own thread)
// nor a device's window inside one (Wine's MPEG device) ever covers it. It takes no input
// (HTTRANSPARENT): a click on the letters reaches the window below. A region has hard edges
// and cannot blend, so the shadow is a solid dark grey rim all round the letters and one
// more copy of them to the lower right, not a soft blur.
#pragma once

#include <windows.h>

namespace morvel::win32 {

inline constexpr const wchar_t* kOverlayClass = L"MorvelOverlay";

void RegisterOverlayClass(HINSTANCE instance);

}  // namespace morvel::win32
