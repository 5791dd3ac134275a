// The windows whose video Direct3D 11 draws.
//
// A saver's window (a top-level window of ours holding only panels and overlays) is composed
// whole on one swap chain: every panel's latest frames at their place in it, each within its
// panel, the overlays' letters over them, black elsewhere. The chain is in a scene window of
// its own, a top-level window without children laid over the saver's: Wine shows a swap chain
// in such a window as Windows does, so the automatic choice takes it where a device (not the
// system's software one) and a swap chain can be made. Any other panel (the settings dialog's
// preview, a panel inside a host's window) gets a swap chain of its own, and only where
// Direct3D is asked for outright: under Wine a child window's swap chain shows nothing, while
// the device and the chain are made without complaint, so no failure would hand it back.
//
// The sample grabber's frames and the panels' compositors hand their layers here first and
// draw with GDI, as ever, where this says no: the choice is GDI, no device or swap chain can
// be made, or the device failed or was lost. The window then stays with GDI (what the swap
// chain showed is painted again by GDI) until the next file, which tries the graphics card
// again, on a new device after a loss. Nothing is said to the user.
//
// The pictures handed here are the CPU's, copied to the device at once. Any thread; the
// windows share one lock, so one is drawn at a time. No call here sends a message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "platform/media_service.h"
#include "platform/win32/d3d_window.h"

namespace morvel::win32 {

class D3dPanels {
  public:
    // The saver's choice, for every panel from the next frame on; automatic until told.
    static void Prefer(platform::Renderer renderer);
    static platform::Renderer Preferred();
    // Whether frames may go to the graphics card now: the callers skip gathering their layers
    // where not, and the engines send every picture through frames of their own (no device
    // drawing into a window by itself, which a composed window would hide).
    static bool Wanted();
    // Draws the layers (in the panel's client coordinates) into `panel` for the device
    // `owner`; false: GDI draws them.
    static bool Show(HWND panel, const void* owner, std::span<const D3dLayer> layers);
    // One picture of the CPU's (width x height, top row first, already turned) at its whole
    // weight: a device alone in its panel.
    static bool ShowPicture(HWND panel, const void* owner, const std::uint32_t* pixels, SIZE size,
                            const media::VideoRect& to);
    // The device draws no more into `panel`; the last to leave a panel of its own gives it
    // back to GDI.
    static void Release(HWND panel, const void* owner);
    // Whether the panel's frames go to the graphics card, as far as can be known before the
    // first: an engine whose frames are textures plays only where they do.
    static bool WillCompose(HWND panel);
    // A file is opened for `panel`, on the user-interface thread: a saver's window gets its
    // swap chain here, and a window that fell back to GDI tries the graphics card again.
    static void Prepare(HWND panel);
    // A panel shown or hidden: the window it is composed into is presented again.
    static void Redraw(HWND panel);
    // Whether the graphics card draws this window (a canvas: a composed window or a panel of
    // its own) now.
    static bool Composes(HWND window);

    // An overlay's letters (premultiplied BGRA, `size`, top row first) as it paints them, or
    // none once it is hidden or gone: a composed window shows them over its video. Called on
    // the overlay's thread; a composed window is presented again with them.
    static void ShowOverlay(HWND overlay, std::vector<std::uint32_t> pixels, SIZE size);
    static void HideOverlay(HWND overlay);
};

}  // namespace morvel::win32
