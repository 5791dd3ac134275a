// Native input in the program's terms: GDK key and pointer events become the Win32 message
// identifiers, virtual-key codes and parameters the core reads.
#pragma once

#include <gdk/gdk.h>

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace morvel::linux_backend {

// The virtual-key code of a GDK key value; 0 for a key that has none.
int VirtualKeyOf(guint keyval);

// A key press or release as the message it would be: WM_SYSKEYDOWN/UP while Alt is held
// (and for F10 and Alt itself), WM_KEYDOWN/UP otherwise. `keycode` is the X key code.
platform::Message KeyMessage(guint keyval, guint16 keycode, GdkModifierType state, bool press);

// A button press, double click or release at (x, y) in the window's coordinates; nothing for
// buttons the program has no message for.
std::optional<platform::Message> ButtonMessage(GdkEventType type, guint button, int x, int y,
                                               GdkModifierType state);

// Any event of interest (keys, buttons, motion, wheel); nothing for the rest. The message's
// window is left 0 for the caller to fill in.
std::optional<platform::Message> TranslateEvent(const GdkEvent& event);

}  // namespace morvel::linux_backend
