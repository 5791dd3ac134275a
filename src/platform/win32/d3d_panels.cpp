#include "platform/win32/d3d_panels.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/win32/video_panel.h"
#include "platform/win32/win32_overlay.h"

namespace morvel::win32 {

namespace {

// What one device shows in a panel: its latest layers, their pictures already on the device,
// placed in the canvas's coordinates and kept within the panel. A device that left keeps its
// picture there until another one draws (the next file's first frame).
struct Part {
    std::vector<D3dUpload> uploads;
    std::vector<D3dLayer> layers;
    bool left = false;
};

struct PanelPicture {
    std::set<const void*> owners;
    std::map<const void*, Part> parts;
};

// A window with a swap chain: a saver's window composed whole, or a panel of its own.
struct Canvas {
    bool whole = false;
    // A composed window's picture goes to a window of its own over the saver's client area:
    // Wine shows a swap chain only in a top-level window without children (one with children
    // it draws off the screen, as a child window), and on Windows no GDI child then draws over
    // the chain. Made on the user-interface thread, owned by the saver's window, gone with it.
    HWND scene = nullptr;
    std::unique_ptr<D3dWindow> renderer;  // null: GDI draws this window
    bool failed = false;                  // no renderer could be made, or it failed
    std::map<HWND, PanelPicture> panels;
};

struct OverlayPicture {
    HWND root = nullptr;
    POINT origin{};  // in the root's client area
    SIZE size{};
    std::vector<std::uint32_t> pixels;
};

struct Panels {
    std::mutex mutex;
    // Read without the lock by Wanted, at every frame of every panel.
    std::atomic<platform::Renderer> renderer = platform::Renderer::Automatic;
    std::map<HWND, Canvas> canvases;
    std::map<HWND, OverlayPicture> overlays;
};

Panels& AllPanels() {
    static Panels panels;
    return panels;
}

// A window destroyed without a word from its devices takes its swap chain with it.
void ForgetDestroyedWindows(Panels& panels) {
    std::erase_if(panels.canvases, [](const auto& entry) { return !IsWindow(entry.first); });
    std::erase_if(panels.overlays, [](const auto& entry) { return !IsWindow(entry.first); });
}

bool OfClass(HWND window, const wchar_t* name) {
    wchar_t found[32] = {};
    GetClassNameW(window, found, static_cast<int>(std::size(found)));
    return std::wcscmp(found, name) == 0;
}

// A top-level window of this process whose visible children are only panels and overlays:
// all it shows can be composed on one swap chain. A form with other controls cannot be (the
// saver's notice, a label hidden while videos play, is such a control once it shows).
bool ComposedWhole(HWND root) {
    DWORD process = 0;
    GetWindowThreadProcessId(root, &process);
    if (process != GetCurrentProcessId()) {
        return false;
    }
    for (HWND child = GetWindow(root, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const bool shown = (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown && !OfClass(child, kPanelClass) && !OfClass(child, kOverlayClass)) {
            return false;
        }
    }
    return true;
}

// The canvas a panel's pictures go to, made on first use.
std::pair<HWND, Canvas*> CanvasOf(Panels& panels, HWND panel) {
    const HWND root = GetAncestor(panel, GA_ROOT);
    for (const HWND key : {root, panel}) {
        const auto found = panels.canvases.find(key);
        if (found != panels.canvases.end()) {
            return {key, &found->second};
        }
    }
    const bool whole = root != nullptr && ComposedWhole(root);
    const HWND key = whole ? root : panel;
    Canvas& made = panels.canvases[key];
    made.whole = whole;
    return {key, &made};
}

RECT ClientIn(HWND window, HWND canvas) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, canvas, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// The device's layers copied to the device (a texture of an engine's is valid only during
// the call), moved to their place on the canvas.
bool Keep(const D3dDevice& device, HWND canvas, HWND panel, const void* owner,
          PanelPicture& picture, std::span<const D3dLayer> layers) {
    std::erase_if(picture.parts,
                  [owner](const auto& part) { return part.first != owner && part.second.left; });
    Part& part = picture.parts[owner];
    part.left = false;
    const RECT area = ClientIn(panel, canvas);
    const D3dDevice::Lock lock(device);
    part.uploads.resize(std::max(part.uploads.size(), layers.size()));
    part.layers.clear();
    for (std::size_t index = 0; index < layers.size(); ++index) {
        D3dLayer kept = layers[index];
        if (kept.texture != nullptr) {
            ComPtr<ID3D11Device> made;
            kept.texture->GetDevice(&made);
            if (made.Get() != device.device()) {
                return false;  // an engine still on a device lost since
            }
        }
        D3dUpload& upload = part.uploads[index];
        const HRESULT copied =
            kept.texture != nullptr
                ? upload.copy(device, kept.texture, kept.width, kept.height)
                : upload.upload(device, kept.pixels, kept.stride, kept.width, kept.height);
        if (FAILED(copied)) {
            return false;
        }
        kept.texture = upload.texture();
        kept.pixels = nullptr;
        kept.place.left += area.left;
        kept.place.top += area.top;
        kept.clip = area;
        part.layers.push_back(kept);
    }
    return true;
}

// Every visible panel's layers, then the overlays' letters over them.
bool Present(const Panels& panels, HWND key, Canvas& canvas) {
    if (canvas.whole && !ComposedWhole(key)) {
        return false;  // a control of another kind shows now: GDI draws it all
    }
    std::vector<D3dLayer> layers;
    for (const auto& [panel, picture] : canvas.panels) {
        if (IsWindowVisible(panel)) {
            for (const auto& [owner, part] : picture.parts) {
                layers.insert(layers.end(), part.layers.begin(), part.layers.end());
            }
        }
    }
    for (const auto& [overlay, letters] : panels.overlays) {
        if (canvas.whole && letters.root == key) {
            D3dLayer& layer = layers.emplace_back();
            layer.pixels = letters.pixels.data();
            layer.stride = static_cast<int>(letters.size.cx) * 4;
            layer.width = letters.size.cx;
            layer.height = letters.size.cy;
            layer.place = {letters.size.cx, letters.size.cy, letters.origin.x, letters.origin.y, 0};
            layer.over = true;
        }
    }
    return canvas.renderer->show(layers);
}

// The window goes back to GDI, which paints all of it again: what the swap chain showed
// (black, the overlays) is GDI's to draw now.
// Any thread: nothing here waits for the window's own.
void FallBack(HWND key, Canvas& canvas) {
    canvas.renderer.reset();
    canvas.failed = true;
    if (canvas.scene != nullptr) {
        ShowWindowAsync(canvas.scene, SW_HIDE);
    }
    RedrawWindow(key, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A canvas drawn on the graphics card shows what changed (an overlay, a panel hidden).
void PresentAgain(Panels& panels, HWND key) {
    const auto canvas = panels.canvases.find(key);
    if (canvas != panels.canvases.end() && canvas->second.renderer &&
        !Present(panels, key, canvas->second)) {
        FallBack(key, canvas->second);
    }
}

constexpr const wchar_t* kSceneClass = L"MorvelScene";

// The scene takes no focus and paints nothing of its own; its input reaches the thread's
// hook, and so the saver, as the saver window's would.
LRESULT CALLBACK SceneProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            ValidateRect(window, nullptr);
            return 0;
        default:
            return DefWindowProcW(window, id, wParam, lParam);
    }
}

HWND MakeScene(HWND root) {
    static const ATOM registered = [] {
        WNDCLASSEXW scene{};
        scene.cbSize = sizeof(scene);
        scene.lpfnWndProc = SceneProc;
        scene.hInstance = GetModuleHandleW(nullptr);
        scene.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        scene.lpszClassName = kSceneClass;
        return RegisterClassExW(&scene);
    }();
    RECT area{};
    GetClientRect(root, &area);
    MapWindowPoints(root, nullptr, reinterpret_cast<POINT*>(&area), 2);
    const DWORD topmost = GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_TOPMOST;
    return registered == 0 ? nullptr
                           : CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | topmost,
                                             kSceneClass, L"", WS_POPUP, area.left, area.top,
                                             area.right - area.left, area.bottom - area.top, root,
                                             nullptr, GetModuleHandleW(nullptr), nullptr);
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
    return Preferred() != platform::Renderer::Gdi && SharedD3dDevice() != nullptr;
}

bool D3dPanels::Show(HWND panel, const void* owner, std::span<const D3dLayer> layers) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    if (!Wanted() || panel == nullptr) {
        return false;
    }
    ForgetDestroyedWindows(panels);
    auto [key, canvas] = CanvasOf(panels, panel);
    PanelPicture& picture = canvas->panels[panel];
    picture.owners.insert(owner);
    if (canvas->failed) {
        return false;
    }
    if (!canvas->renderer) {
        // A composed window is made ready on its own thread (Prepare); a panel of its own
        // shows only where Direct3D is asked for (see the header).
        if (canvas->whole) {
            return false;
        }
        const bool shows = Preferred() == platform::Renderer::Direct3D;
        canvas->renderer = shows ? D3dWindow::Create(key, panels.renderer) : nullptr;
        if (!canvas->renderer) {
            canvas->failed = true;
            return false;
        }
    }
    if (!Keep(*canvas->renderer->device(), key, panel, owner, picture, layers) ||
        !Present(panels, key, *canvas)) {
        FallBack(key, *canvas);
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

void D3dPanels::Release(HWND panel, const void* owner) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    for (auto entry = panels.canvases.begin(); entry != panels.canvases.end(); ++entry) {
        Canvas& canvas = entry->second;
        const auto found = canvas.panels.find(panel);
        if (found == canvas.panels.end()) {
            continue;
        }
        found->second.owners.erase(owner);
        const auto part = found->second.parts.find(owner);
        if (part != found->second.parts.end()) {
            part->second.left = true;
        }
        // A composed window keeps its picture between two files; a panel of its own is
        // GDI's again, and a window that fell back is tried again, once no device draws there.
        const bool drawnStill =
            std::any_of(canvas.panels.begin(), canvas.panels.end(),
                        [](const auto& kept) { return !kept.second.owners.empty(); });
        if ((canvas.failed || !canvas.whole) && !drawnStill) {
            panels.canvases.erase(entry);
        }
        return;
    }
}

bool D3dPanels::WillCompose(HWND panel) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    if (!Wanted() || panel == nullptr || !IsWindow(panel)) {
        return false;
    }
    ForgetDestroyedWindows(panels);
    const auto [key, canvas] = CanvasOf(panels, panel);
    return !canvas->failed && (canvas->whole || Preferred() == platform::Renderer::Direct3D);
}

void D3dPanels::Prepare(HWND panel) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    if (!Wanted() || panel == nullptr || !IsWindow(panel)) {
        return;
    }
    ForgetDestroyedWindows(panels);
    auto [key, canvas] = CanvasOf(panels, panel);
    if (!canvas->whole) {
        canvas->failed = false;  // made at its first frame
        return;
    }
    if (canvas->renderer) {
        return;
    }
    canvas->failed = false;
    if (canvas->scene == nullptr) {
        canvas->scene = MakeScene(key);
    }
    canvas->renderer =
        canvas->scene != nullptr ? D3dWindow::Create(canvas->scene, panels.renderer) : nullptr;
    // Black and the overlays, until the first frame.
    if (!canvas->renderer || !Present(panels, key, *canvas)) {
        FallBack(key, *canvas);
        return;
    }
    ShowWindow(canvas->scene, SW_SHOWNA);
}

void D3dPanels::Redraw(HWND panel) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const HWND root = GetAncestor(panel, GA_ROOT);
    for (const HWND key : {root, panel}) {
        PresentAgain(panels, key);
    }
}

bool D3dPanels::Composes(HWND window) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const auto found = panels.canvases.find(window);
    return found != panels.canvases.end() && found->second.renderer != nullptr;
}

void D3dPanels::ShowOverlay(HWND overlay, std::vector<std::uint32_t> pixels, SIZE size) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const HWND root = GetAncestor(overlay, GA_ROOT);
    OverlayPicture& letters = panels.overlays[overlay];
    letters.root = root;
    letters.origin = {};
    MapWindowPoints(overlay, root, &letters.origin, 1);
    letters.size = size;
    letters.pixels = std::move(pixels);
    PresentAgain(panels, root);
}

void D3dPanels::HideOverlay(HWND overlay) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const auto found = panels.overlays.find(overlay);
    if (found == panels.overlays.end()) {
        return;
    }
    const HWND root = found->second.root;
    panels.overlays.erase(found);
    PresentAgain(panels, root);
}

}  // namespace morvel::win32
