#include "settings/form_controls.h"

#include <utility>

namespace morvel::settings {

platform::Font Arial(int points, bool bold, platform::Color color) {
    platform::Font font;
    font.face = "Arial";
    font.points = points;
    font.bold = bold;
    font.color = color;
    return font;
}

platform::Font ArialPixels(int pixelHeight) {
    platform::Font font;
    font.face = "Arial";
    font.pixelHeight = pixelHeight;
    font.points = 0;
    return font;
}

platform::Font CourierNew(int points) {
    platform::Font font;
    font.face = "Courier New";
    font.points = points;
    return font;
}

platform::ControlSpec MakeSpec(platform::ControlKind kind, std::string name,
                               platform::Handle parent, platform::Rect bounds, std::string caption,
                               platform::Font font) {
    platform::ControlSpec design;
    design.kind = kind;
    design.name = std::move(name);
    design.parent = parent;
    design.bounds = bounds;
    design.caption = std::move(caption);
    design.font = std::move(font);
    return design;
}

platform::WindowSpec ReturnDialogSpec(std::string className, std::string caption,
                                      platform::Size outerSize, platform::Handle owner) {
    platform::WindowSpec design;
    design.className = std::move(className);
    design.caption = std::move(caption);
    design.style = platform::WindowStyle::FixedDialogWithClose;
    design.outerSize = outerSize;
    design.centered = true;
    design.background = kDialogGrey;
    design.owner = owner;
    return design;
}

}  // namespace morvel::settings
