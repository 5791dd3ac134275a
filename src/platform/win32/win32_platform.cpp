// What the Win32 backend sets up at its start and takes down at its end, the media engines
// it makes, and the colour conversion its forms and controls share. Each service's members
// are defined in a file of its own: see win32_platform.h.
#include "platform/win32/win32_platform.h"

#include "platform/win32/d3d_panels.h"
#include "platform/win32/media_engines.h"
#include "platform/win32/win32_overlay.h"

namespace morvel::win32 {

COLORREF ToColorRef(platform::Color color) {
    if (color.systemWindowText) {
        return GetSysColor(COLOR_WINDOWTEXT);
    }
    return RGB(color.red, color.green, color.blue);
}

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    registerPanelClass();
    RegisterOverlayClass(instance_);
    installMessageHook();
}

Win32Platform::~Win32Platform() {
    removeMessageHook();
    // Forms left open by a caller that ended early go before the fonts they use.
    while (!creationOrder_.empty()) {
        destroyWindow(ToHandle(creationOrder_.back()));
    }
}

void Win32Platform::preferRenderer(platform::Renderer renderer) {
    D3dPanels::Prefer(renderer);
}

std::unique_ptr<media::MediaEngine> Win32Platform::createMediaEngine() {
    return std::make_unique<ChoosingEngine>(instance_);
}

}  // namespace morvel::win32
