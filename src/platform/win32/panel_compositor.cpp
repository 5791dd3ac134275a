#include "platform/win32/panel_compositor.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/owned.h"

namespace morvel::win32 {

namespace {

struct Layer {
    std::vector<std::uint32_t> pixels;
    SIZE size{};
    media::VideoRect to{};
    FadeRamp ramp;
};

struct Panel {
    std::map<const void*, Layer> layers;
    std::vector<std::uint32_t> sum;
    // The window still shows a sum that a device has since left, or none yet: the next frame
    // is a sum whatever its weight, so that black stays around a smaller picture.
    bool stale = true;
};

// Every panel drawn into by a fading device; the frames of all devices come through here.
struct Panels {
    std::mutex mutex;
    std::map<HWND, Panel> byWindow;
};

Panels& AllPanels() {
    static Panels panels;
    return panels;
}

std::uint32_t Scaled(std::uint32_t channel, unsigned weight) {
    return channel * weight / kWholeWeight;
}

void Draw(HWND window, const std::vector<std::uint32_t>& sum, SIZE size) {
    const BITMAPINFO format = TopDownFormat(size);
    const WindowDc dc(window);
    SetDIBitsToDevice(dc.get(), 0, 0, static_cast<DWORD>(size.cx), static_cast<DWORD>(size.cy), 0,
                      0, 0, static_cast<UINT>(size.cy), sum.data(), &format, DIB_RGB_COLORS);
}

void Compose(HWND window, Panel& panel) {
    RECT client{};
    GetClientRect(window, &client);
    const SIZE size{client.right, client.bottom};
    if (size.cx <= 0 || size.cy <= 0) {
        return;
    }
    panel.sum.assign(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy), 0);
    const auto now = FadeRamp::Clock::now();
    for (const auto& [owner, layer] : panel.layers) {
        AddWeighted(panel.sum, size, PixelsView{layer.pixels.data(), layer.size}, layer.to,
                    WeightOf(layer.ramp, now));
    }
    Draw(window, panel.sum, size);
    panel.stale = false;
}

// The graphics card adds the layers where it draws the panel (d3d_panels.h), each device's
// own as it comes; the pictures were turned on the CPU already.
bool ComposeOnDevice(HWND window, const void* owner, const Layer& layer) {
    if (!D3dPanels::Wanted()) {
        return false;
    }
    D3dLayer added;
    added.pixels = layer.pixels.data();
    added.stride = static_cast<int>(layer.size.cx) * 4;
    added.width = layer.size.cx;
    added.height = layer.size.cy;
    added.place = layer.to;
    added.place.rotation = 0;
    added.weight = std::clamp(layer.ramp.weightAt(FadeRamp::Clock::now()), 0.0, 1.0);
    return D3dPanels::Show(window, owner, std::span<const D3dLayer>(&added, 1));
}

}  // namespace

BITMAPINFO TopDownFormat(SIZE size) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = size.cx;
    format.bmiHeader.biHeight = -size.cy;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

unsigned WeightOf(const FadeRamp& ramp, FadeRamp::Clock::time_point now) {
    const double weight = std::clamp(ramp.weightAt(now), 0.0, 1.0);
    return static_cast<unsigned>(weight * kWholeWeight + 0.5);
}

void AddWeighted(std::vector<std::uint32_t>& sum, SIZE panel, PixelsView picture,
                 const media::VideoRect& to, unsigned weight) {
    const LONG left = std::max<LONG>(to.left, 0);
    const LONG right = std::min<LONG>(to.left + to.right, panel.cx);
    const LONG top = std::max<LONG>(to.top, 0);
    const LONG bottom = std::min<LONG>(to.top + to.bottom, panel.cy);
    if (weight == 0 || picture.pixels == nullptr || picture.size.cx <= 0 || picture.size.cy <= 0 ||
        left >= right || top >= bottom ||
        sum.size() < static_cast<std::size_t>(panel.cx) * static_cast<std::size_t>(panel.cy)) {
        return;
    }
    weight = std::min(weight, kWholeWeight);
    // The source column of every panel column the picture covers, found once.
    std::vector<LONG> columns(static_cast<std::size_t>(right - left));
    for (LONG x = left; x < right; ++x) {
        columns[static_cast<std::size_t>(x - left)] =
            static_cast<LONG>(static_cast<long long>(x - to.left) * picture.size.cx / to.right);
    }
    for (LONG y = top; y < bottom; ++y) {
        const auto sourceRow = static_cast<std::size_t>(static_cast<long long>(y - to.top) *
                                                        picture.size.cy / to.bottom);
        const std::uint32_t* source =
            picture.pixels + sourceRow * static_cast<std::size_t>(picture.size.cx);
        std::uint32_t* out = sum.data() + static_cast<std::size_t>(y) * panel.cx + left;
        for (const LONG column : columns) {
            const std::uint32_t pixel = source[column];
            const std::uint32_t was = *out;
            std::uint32_t added = 0;
            for (const int shift : {0, 8, 16}) {
                const std::uint32_t channel =
                    ((was >> shift) & 0xFFu) + Scaled((pixel >> shift) & 0xFFu, weight);
                added |= std::min<std::uint32_t>(channel, 0xFFu) << shift;
            }
            *out++ = added;
        }
    }
}

bool PanelCompositor::Show(HWND window, const void* owner, PixelsView frame,
                           const media::VideoRect& to, const FadeRamp& ramp) {
    if (window == nullptr) {
        return false;
    }
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    Panel& panel = panels.byWindow[window];
    Layer& layer = panel.layers[owner];
    // Kept even when drawn straight: a device that starts fading in next to it sums it at
    // once with its latest frame, not one of an earlier fade.
    const std::size_t count =
        static_cast<std::size_t>(frame.size.cx) * static_cast<std::size_t>(frame.size.cy);
    layer.pixels.assign(frame.pixels, frame.pixels + count);
    layer.size = frame.size;
    layer.to = to;
    layer.ramp = ramp;
    if (ComposeOnDevice(window, owner, layer)) {
        panel.stale = false;
        return true;
    }
    if (!panel.stale && panel.layers.size() == 1 && ramp.settledWhole(FadeRamp::Clock::now())) {
        return false;
    }
    Compose(window, panel);
    return true;
}

void PanelCompositor::Leave(HWND window, const void* owner) {
    Panels& panels = AllPanels();
    const std::lock_guard lock(panels.mutex);
    const auto found = panels.byWindow.find(window);
    if (found == panels.byWindow.end()) {
        return;
    }
    D3dPanels::Release(window, owner);
    Panel& panel = found->second;
    panel.layers.erase(owner);
    panel.stale = true;
    if (panel.layers.empty()) {
        panels.byWindow.erase(found);
    }
}

}  // namespace morvel::win32
