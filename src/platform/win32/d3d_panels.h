// The panels whose video Direct3D 11 draws: each panel (or mirror window) a frame of video
// goes into gets a D3dWindow on its first frame, where the saver's choice (for now only
// Direct3D asked for outright: see Wanted) and the system allow, and keeps it while any device
// draws there. The sample grabber's frames and the panels' compositors hand their layers here first
// and draw with GDI, as ever, where this says no: the choice is GDI, no device or swap chain can be
// made, or the device failed or was lost (the panel then stays with GDI until every device has left
// it; the next file tries the graphics card again, on a new device after a loss). Nothing is said
// to the user.
//
// The pictures handed here are the CPU's; an engine whose frames are textures of the shared
// device (d3d_device.h) hands those as its layers instead. Any thread; the panels share one
// lock, so one panel is drawn at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "platform/media_service.h"
#include "platform/win32/d3d_window.h"

namespace morvel::win32 {

class D3dPanels {
  public:
    // The saver's choice, for every panel from the next frame on; automatic until told.
    static void Prefer(platform::Renderer renderer);
    static platform::Renderer Preferred();
    // Whether any panel's frames go to the graphics card now: the callers skip gathering
    // their layers where not.
    static bool Wanted();
    // Draws the layers into `panel` for the device `owner`; false: GDI draws them.
    static bool Show(HWND panel, const void* owner, std::span<const D3dLayer> layers);
    // One picture of the CPU's (width x height, top row first, already turned) at its whole
    // weight: a device alone in its panel.
    static bool ShowPicture(HWND panel, const void* owner, const std::uint32_t* pixels, SIZE size,
                            const media::VideoRect& to);
    // The device draws no more into `panel`; the last to leave gives the panel back to GDI.
    static void Release(HWND panel, const void* owner);
};

}  // namespace morvel::win32
