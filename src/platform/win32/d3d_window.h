// A window drawn by Direct3D 11: a flip-model swap chain of two BGRA buffers the size of the
// window's client area, on the shared device (d3d_device.h), showing pictures added over
// black.
//
// Each picture is a layer: a texture on the shared device (an engine's frame) or the CPU's
// BGRA pixels (uploaded to a texture of the window's own), put where a media::VideoRect
// says in the window's client area (turned first by its rotation), times its weight. The
// layers are added: one fading out while another fades in is a dissolve, and what no layer
// covers is black. The weighted sum is made by a pixel shader into an additive blend state
// rather than by Direct2D, whose additive primitive blend Wine ignores (it draws over).
//
// Any failure (a lost device, a swap chain that cannot be made or resized) makes show()
// return false; the caller then draws with GDI, and may make a new D3dWindow later (after a
// loss, on a new device). A window is used from one thread at a time, any thread.
#pragma once

#include <windows.h>

#include <d3d11.h>
#include <dxgi1_2.h>

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "media/media_engine.h"
#include "platform/media_service.h"
#include "platform/win32/d3d_device.h"

namespace morvel::win32 {

struct D3dLayer {
    // A BGRA texture of the shared device, made with D3D11_BIND_SHADER_RESOURCE; or null, and
    // then the pixels below.
    ID3D11Texture2D* texture = nullptr;
    // BGRA rows from the top, `stride` bytes apart, width x height of them.
    const void* pixels = nullptr;
    int stride = 0;
    // The picture's size in texels: the pixels', or the part of the texture in use from its
    // top left (an engine's frame letterboxed into a larger texture); 0: the whole texture.
    int width = 0;
    int height = 0;
    media::VideoRect place;
    double weight = 1.0;  // 0 to 1
    // The part of the window the layer may draw in (a panel's area); empty: all of it.
    RECT clip{};
    // Laid over what is below by its own alpha (premultiplied), not added: text.
    bool over = false;
};

// A picture of the CPU's on the device: a dynamic texture, made again only when the
// picture's size changes. Used under the device's lock.
class D3dUpload {
  public:
    // Copies the rows in; a failure of the device is returned for the caller to record.
    HRESULT upload(const D3dDevice& device, const void* pixels, int stride, int width, int height);
    // Copies the top left width x height (0: all) of a BGRA texture of the same device.
    HRESULT copy(const D3dDevice& device, ID3D11Texture2D* from, int width, int height);
    ID3D11Texture2D* texture() const { return texture_.Get(); }
    ID3D11ShaderResourceView* view() const { return view_.Get(); }

  private:
    HRESULT make(const D3dDevice& device, int width, int height, bool dynamic);

    ComPtr<ID3D11Texture2D> texture_;
    ComPtr<ID3D11ShaderResourceView> view_;
    bool dynamic_ = false;
    int width_ = 0;
    int height_ = 0;
};

class D3dWindow {
  public:
    // nullptr where the saver's choice is GDI, where no device or swap chain can be made for
    // the window, and under the automatic choice where the device is the system's software
    // one (WARP draws on the CPU, at no less cost than GDI): GDI draws the window then.
    static std::unique_ptr<D3dWindow> Create(
        HWND window, platform::Renderer renderer = platform::Renderer::Direct3D);
    ~D3dWindow();
    D3dWindow(const D3dWindow&) = delete;
    D3dWindow& operator=(const D3dWindow&) = delete;

    // Composes the layers into the back buffer (compose) and presents it (present).
    bool show(std::span<const D3dLayer> layers) { return compose(layers) && present(); }
    // The two halves of show, apart so that a test can read the back buffer between them.
    bool compose(std::span<const D3dLayer> layers);
    bool present();
    // The back buffer's pixels (BGRA, rows from the top, width of them each) after compose.
    bool readBackBuffer(std::vector<std::uint32_t>& pixels, int& width, int& height);

    // The device the window draws with; the engines' textures must come from it.
    const std::shared_ptr<D3dDevice>& device() const { return device_; }

    // Made by Create.
    D3dWindow(HWND window, std::shared_ptr<D3dDevice> device)
        : window_(window), device_(std::move(device)) {}

  private:
    bool makeSwapChain();
    bool makeStates();
    bool fitToWindow();
    bool makeTarget();
    bool drawLayer(const D3dLayer& layer, std::size_t index);
    ID3D11ShaderResourceView* uploadPixels(const D3dLayer& layer, std::size_t index);
    // Records a failure; a lost device is forgotten, so that the next window makes a new one.
    bool fail(HRESULT result);

    HWND window_;
    std::shared_ptr<D3dDevice> device_;
    ComPtr<IDXGISwapChain1> swapChain_;
    ComPtr<ID3D11RenderTargetView> target_;
    ComPtr<ID3D11BlendState> additive_;
    ComPtr<ID3D11BlendState> over_;
    ComPtr<ID3D11SamplerState> sampler_;
    ComPtr<ID3D11RasterizerState> rasterizer_;
    ComPtr<ID3D11Buffer> constants_;
    std::vector<D3dUpload> uploads_;  // one per layer of CPU pixels, by the layer's place
    int width_ = 0;
    int height_ = 0;
    bool failed_ = false;
};

}  // namespace morvel::win32
