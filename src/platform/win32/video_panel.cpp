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

void MarkVideoDrawingInto(HWND panel) {
    SetDrawingDevices(panel, DrawingDevices(panel) + 1);
}

void UnmarkVideoDrawingInto(HWND panel) {
    const std::uintptr_t count = DrawingDevices(panel);
    if (count > 0) {
        SetDrawingDevices(panel, count - 1);
    }
}

bool VideoDrawsInto(HWND panel) {
    return DrawingDevices(panel) > 0;
}

}  // namespace morvel::win32
