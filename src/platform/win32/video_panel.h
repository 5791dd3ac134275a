// A panel that a media device (MCI or Media Foundation) draws into keeps its picture when it
// is uncovered.
//
// Wine's MPEG device draws in a child window of its own, which goes with the device; the
// panel below it then paints its background, and the next clip's first frame comes some tens
// of milliseconds later. While a device draws into the panel, the panel does not paint its
// background: what the screen shows stays until the device's next frame covers it.
#pragma once

#include <windows.h>

#include <utility>

namespace morvel::win32 {

// One device's mark on the panel it draws into, given back when it leaves the panel or goes.
// Marks are counted: a panel may be handed from one device to the next.
class PanelMark {
  public:
    PanelMark() = default;
    PanelMark(PanelMark&& other) noexcept : panel_(std::exchange(other.panel_, nullptr)) {}
    PanelMark& operator=(PanelMark&&) = delete;
    PanelMark(const PanelMark&) = delete;
    PanelMark& operator=(const PanelMark&) = delete;
    ~PanelMark() { leave(false); }

    void drawInto(HWND panel);
    // `uncovered`: the device drew in a child window of the panel, gone with it. The panel
    // paints that area once the clip's change is done: if a device draws there by then, the
    // picture stays until its first frame; if none does (the last clip, a halted monitor), it
    // paints its background as ever.
    void leave(bool uncovered);
    HWND panel() const { return panel_; }

  private:
    HWND panel_ = nullptr;
};

bool VideoDrawsInto(HWND panel);

}  // namespace morvel::win32
