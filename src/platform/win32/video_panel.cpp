#include "platform/win32/video_panel.h"

#include <cstdint>
#include <map>

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

struct Repaint {
    HWND panel;
    std::function<void(HDC)> draw;
};

// Every mark's repaint by its token. The user-interface thread alone draws into the panels
// with these, and alone marks them.
std::map<std::uint64_t, Repaint>& Repaints() {
    static std::map<std::uint64_t, Repaint> repaints;
    return repaints;
}

}  // namespace

void PanelMark::drawInto(HWND panel, std::function<void(HDC)> repaint) {
    if (panel_ == panel) {
        return;
    }
    leave(false);
    if (panel != nullptr) {
        SetDrawingDevices(panel, DrawingDevices(panel) + 1);
        if (repaint) {
            static std::uint64_t lastToken = 0;
            token_ = ++lastToken;
            Repaints().emplace(token_, Repaint{panel, std::move(repaint)});
        }
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
    if (token_ != 0) {
        Repaints().erase(std::exchange(token_, 0));
    }
    if (uncovered) {
        InvalidateRect(panel_, nullptr, TRUE);
    }
    panel_ = nullptr;
}

bool VideoDrawsInto(HWND panel) {
    return DrawingDevices(panel) > 0;
}

void RepaintVideo(HWND panel, HDC dc) {
    for (const auto& [token, repaint] : Repaints()) {
        if (repaint.panel == panel) {
            repaint.draw(dc);
        }
    }
}

}  // namespace morvel::win32
