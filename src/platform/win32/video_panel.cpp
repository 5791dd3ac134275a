#include "platform/win32/video_panel.h"

#include <cstdint>

namespace morvel::win32 {

namespace {

constexpr const wchar_t* kDrawingDevices = L"MorvelVideoDevices";

std::uintptr_t DrawingDevices(HWND panel) {
    return reinterpret_cast<std::uintptr_t>(GetPropW(panel, kDrawingDevices));
}

void SetDrawingDevices(HWND panel, std::uintptr_t count) {
    if (count == 0) {
        RemovePropW(panel, kDrawingDevices);
    } else {
        SetPropW(panel, kDrawingDevices, reinterpret_cast<HANDLE>(count));
    }
}

}  // namespace

void PanelMark::drawInto(HWND panel) {
    if (panel_ == panel) {
        return;
    }
    leave(false);
    if (panel != nullptr) {
        SetDrawingDevices(panel, DrawingDevices(panel) + 1);
    }
    panel_ = panel;
}

void PanelMark::leave(bool uncovered) {
    if (panel_ == nullptr) {
        return;
    }
    if (const std::uintptr_t count = DrawingDevices(panel_); count > 0) {
        SetDrawingDevices(panel_, count - 1);
    }
    if (uncovered) {
        InvalidateRect(panel_, nullptr, TRUE);
    }
    panel_ = nullptr;
}

bool VideoDrawsInto(HWND panel) {
    return DrawingDevices(panel) > 0;
}

}  // namespace morvel::win32
