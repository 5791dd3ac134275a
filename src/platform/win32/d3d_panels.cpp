#include "platform/win32/d3d_panels.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace morvel::win32 {

namespace {

struct Panel {
    std::unique_ptr<D3dWindow> renderer;  // null: GDI draws this panel
    bool failed = false;                  // no renderer could be made, or it failed
    std::set<const void*> owners;
};

struct Panels {
    std::mutex mutex;
    // Read without the lock by Wanted, at every frame of every panel.
    std::atomic<platform::Renderer> renderer = platform::Renderer::Automatic;
    std::map<HWND, Panel> byWindow;
};

Panels& AllPanels() {
    static Panels panels;
    return panels;
}

// A window destroyed without a word from its devices takes its swap chain with it.
void ForgetDestroyedWindows(Panels& panels) {
    std::erase_if(panels.byWindow, [](const auto& entry) { return !IsWindow(entry.first); });
}

}  // namespace

void D3dPanels::Prefer(platform::Renderer renderer) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    panels.renderer = renderer;
}

platform::Renderer D3dPanels::Preferred() {
    return AllPanels().renderer;
}

bool D3dPanels::Wanted() {
    // Only where Direct3D is asked for outright, for now: the panels are child windows, and
    // under Wine (on Xvfb, with its OpenGL renderer) what a swap chain presents into a child
    // window never shows, while the device and the swap chain are made without complaint, so
    // no failure would hand the panel back to GDI. The automatic choice draws with GDI.
    return Preferred() == platform::Renderer::Direct3D;
}

bool D3dPanels::Show(HWND window, const void* owner, std::span<const D3dLayer> layers) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    if (!Wanted() || window == nullptr) {
        return false;
    }
    ForgetDestroyedWindows(panels);
    Panel& panel = panels.byWindow[window];
    panel.owners.insert(owner);
    if (panel.failed) {
        return false;
    }
    if (!panel.renderer) {
        panel.renderer = D3dWindow::Create(window, panels.renderer);
    }
    if (!panel.renderer || !panel.renderer->show(layers)) {
        panel.renderer.reset();  // the window is GDI's again
        panel.failed = true;
        return false;
    }
    return true;
}

bool D3dPanels::ShowPicture(HWND window, const void* owner, const std::uint32_t* pixels, SIZE size,
                            const media::VideoRect& to) {
    D3dLayer layer;
    layer.pixels = pixels;
    layer.stride = static_cast<int>(size.cx) * 4;
    layer.width = size.cx;
    layer.height = size.cy;
    layer.place = to;
    layer.place.rotation = 0;
    return Show(window, owner, std::span<const D3dLayer>(&layer, 1));
}

void D3dPanels::Release(HWND window, const void* owner) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const auto found = panels.byWindow.find(window);
    if (found == panels.byWindow.end()) {
        return;
    }
    found->second.owners.erase(owner);
    if (found->second.owners.empty()) {
        panels.byWindow.erase(found);
    }
}

}  // namespace morvel::win32
