// Where a video panel goes on the saver's window, by the display size the user chose.
#pragma once

#include "media/media_engine.h"
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

// How a clip's picture takes the area its display size gives (Fit in the settings).
enum class FitMode {
    Stretch = 0,  // the whole area, whatever the clip's proportions
    Fit = 1,      // the whole picture in its own proportions, centred, black around
    Fill = 2,     // the area covered in the picture's proportions, the overflow cut off evenly
};
FitMode FitFromSetting(int value);

// The display size as the settings give it (see PanelBoundsFor), and the fit within it.
struct VideoLayout {
    int displaySize = 5;
    int customWidth = -1;
    int customHeight = -1;
    FitMode fit = FitMode::Stretch;
};

// Where one clip goes: its panel in the window, and the picture in the panel as the device
// is told to draw it (turned, at its size, at its corner, which a fill puts outside the
// panel).
struct PicturePlace {
    platform::Rect panel;
    media::VideoRect picture;
    friend bool operator==(const PicturePlace&, const PicturePlace&) = default;
};

// The one place that decides every fit, crop and turn. `area` is the monitor (or every
// monitor) in the window's coordinates; `clip` what the device says the clip is. The
// proportions are the display aspect (pixel shape counted) after the turn. At the video's
// own size the panel is the clip's stored size, turned, and the fit plays no part; a clip
// whose size is not known takes the whole panel, as a stretch does.
// The clip at its stored size, turned upright, at the window's corner.
media::VideoRect UprightOwnSize(const media::VideoShape& clip);

PicturePlace PlacePicture(platform::Rect area, const VideoLayout& layout, media::VideoShape clip,
                          platform::Size largest);

}  // namespace morvel::saver
