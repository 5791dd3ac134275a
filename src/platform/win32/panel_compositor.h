// Dissolves: several devices drawing into one panel (or into the same mirror window) add up
// their weighted pictures over black.
//
// Each panel that a fading device draws into has one compositor, shared by every device that
// draws there. It keeps each device's latest frame with its destination and its fade, and at
// every frame of any of them sums the weighted pictures (integer arithmetic, over the
// destinations' area only) into one panel-sized picture drawn with one GDI call. A device
// alone in its panel at its whole weight draws straight into the window again: the sum is
// made only while a fade is under way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "media/fade_ramp.h"
#include "media/media_engine.h"

namespace morvel::win32 {

using media::FadeRamp;

// A picture in memory, 32 bits a pixel, top row first.
struct PixelsView {
    const std::uint32_t* pixels = nullptr;
    SIZE size{};
};

// GDI's description of a picture of 32 bits a pixel, `size` large, top row first.
BITMAPINFO TopDownFormat(SIZE size);

// The full weight of a picture in AddWeighted.
inline constexpr unsigned kWholeWeight = 256;

// Adds `picture`, scaled (nearest pixel) to `to` and times weight / kWholeWeight, to the
// panel's picture (`panel` wide and high, top row first), each channel held at 255. Only the
// part of the destination inside the panel is touched.
void AddWeighted(std::vector<std::uint32_t>& sum, SIZE panel, PixelsView picture,
                 const media::VideoRect& to, unsigned weight);

// The weight a fade has now, as AddWeighted takes it.
unsigned WeightOf(const FadeRamp& ramp, FadeRamp::Clock::time_point now);

// Called on the threads that deliver frames. `owner` names the device (its frame sink).
class PanelCompositor {
  public:
    // The device's latest frame for `panel`. True: the compositor drew the panel's sum; false:
    // the device is alone there at its whole weight and draws the frame itself.
    static bool Show(HWND panel, const void* owner, PixelsView frame, const media::VideoRect& to,
                     const FadeRamp& ramp);
    // The device draws no more into `panel`: its picture leaves the sum.
    static void Leave(HWND panel, const void* owner);
};

}  // namespace morvel::win32
