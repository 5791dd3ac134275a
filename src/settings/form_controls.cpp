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
    platform::ControlSpec spec;
    spec.kind = kind;
    spec.name = std::move(name);
    spec.parent = parent;
    spec.bounds = bounds;
    spec.caption = std::move(caption);
    spec.font = std::move(font);
    return spec;
}

}  // namespace morvel::settings
