// Helpers the settings forms use to describe their controls in a line or two each.
#pragma once

#include <string>

#include "platform/platform.h"

namespace morvel::settings {

inline constexpr platform::Color kNavy = platform::Color::rgb(0, 0, 128);
inline constexpr platform::Color kDialogGrey = platform::Color::rgb(232, 231, 230);

platform::Font Arial(int points, bool bold = false,
                     platform::Color color = platform::Color::windowText());
platform::Font ArialPixels(int pixelHeight);
platform::Font CourierNew(int points);

// A control of `kind` named `name` at `bounds` within `parent` (0: the window itself);
// everything else as the seam's defaults until the caller changes it.
platform::ControlSpec MakeSpec(platform::ControlKind kind, std::string name,
                               platform::Handle parent, platform::Rect bounds,
                               std::string caption = {}, platform::Font font = Arial(8));

// A dialog of the settings dialog's, centred over it on the forms' grey, whose close box does
// what its "Return" does: the choices stay as they are.
platform::WindowSpec ReturnDialogSpec(std::string className, std::string caption,
                                      platform::Size outerSize, platform::Handle owner);

}  // namespace morvel::settings
