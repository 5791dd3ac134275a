// A panel that a media device (MCI or Media Foundation) draws into keeps its picture when it
// is uncovered.
//
// Wine's MPEG device draws in a child window of its own, which goes with the device; the
// panel below it then paints its background, and the next clip's first frame comes some tens
// of milliseconds later. While a device draws into the panel, the panel does not paint its
// background: what the screen shows stays until the device's next frame covers it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>

namespace morvel::win32 {

// The window class of the panels, the controls that show video.
inline constexpr const wchar_t* kPanelClass = L"MorvelPanel";

// One device's mark on the panel it draws into, given back when it leaves the panel or goes.
// Marks are counted: a panel may be handed from one device to the next.
class PanelMark {
  public:
    PanelMark() = default;
    PanelMark(PanelMark&& other) noexcept
        : panel_(std::exchange(other.panel_, nullptr)), token_(std::exchange(other.token_, 0)) {}
    PanelMark& operator=(PanelMark&&) = delete;
    PanelMark(const PanelMark&) = delete;
    PanelMark& operator=(const PanelMark&) = delete;
    ~PanelMark() { leave(false); }

    // `repaint`, where given, draws the device's latest picture into a DC of the panel again:
    // a part of the panel that an overlay uncovers (a shorter caption) is painted from it.
    // Wine's AVI device draws nothing for a frame that repeats the one before, so without it
    // the old caption's letters stay on a still picture.
    void drawInto(HWND panel, std::function<void(HDC)> repaint = {});
    // `uncovered`: the device drew in a child window of the panel, gone with it. The panel
    // paints that area once the clip's change is done: if a device draws there by then, the
    // picture stays until its first frame; if none does (the last clip, a halted monitor), it
    // paints its background as ever.
    void leave(bool uncovered);
    HWND panel() const { return panel_; }

  private:
    HWND panel_ = nullptr;
    std::uint64_t token_ = 0;  // names this mark's repaint, while it has one
};

bool VideoDrawsInto(HWND panel);
// The pictures of the devices drawing into `panel` painted again into `dc` (the panel's
// paint DC, clipped to what needs painting).
void RepaintVideo(HWND panel, HDC dc);

}  // namespace morvel::win32
