#include "platform/win32/d3d_window.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace morvel::win32 {

namespace {

constexpr DXGI_FORMAT kFormat = DXGI_FORMAT_B8G8R8A8_UNORM;

// What the layer shaders read (d3d_device.cpp), four float4s.
struct LayerConstants {
    std::array<float, 4> place;
    std::array<float, 4> upperUv;
    std::array<float, 4> lowerUv;
    std::array<float, 4> weight;
};

// Where a corner (a, b) of the turned picture, 0 or 1 across and down, lies in the stored
// one: the picture is turned clockwise by `rotation` before it is placed.
std::array<float, 2> StoredCorner(int rotation, float a, float b) {
    switch (rotation) {
        case 90:
            return {b, 1 - a};
        case 180:
            return {1 - a, 1 - b};
        case 270:
            return {1 - b, a};
        default:
            return {a, b};
    }
}

// The layer's place cut to its clip (or the window): the part drawn, as a rectangle of the
// window and as the fractions of the turned picture it shows. Cut here rather than by a
// scissor rectangle, which Wine's Direct3D misplaces.
struct Visible {
    RECT area;
    float fromA, fromB, toA, toB;
};

std::optional<Visible> VisiblePart(const D3dLayer& layer, int windowWidth, int windowHeight) {
    const media::VideoRect& place = layer.place;
    const bool clipped = layer.clip.right > layer.clip.left && layer.clip.bottom > layer.clip.top;
    const RECT bounds = clipped ? layer.clip : RECT{0, 0, windowWidth, windowHeight};
    const RECT whole{place.left, place.top, place.left + place.right, place.top + place.bottom};
    RECT area{};
    if (place.right <= 0 || place.bottom <= 0 || !IntersectRect(&area, &whole, &bounds)) {
        return std::nullopt;
    }
    const auto across = [&](LONG x) {
        return static_cast<float>(x - whole.left) / static_cast<float>(place.right);
    };
    const auto down = [&](LONG y) {
        return static_cast<float>(y - whole.top) / static_cast<float>(place.bottom);
    };
    return Visible{area, across(area.left), down(area.top), across(area.right), down(area.bottom)};
}

LayerConstants ConstantsFor(const D3dLayer& layer, const Visible& part, int windowWidth,
                            int windowHeight, float usedAcross, float usedDown) {
    const RECT& area = part.area;
    const auto width = static_cast<float>(windowWidth);
    const auto height = static_cast<float>(windowHeight);
    LayerConstants constants{};
    constants.place = {2.0f * static_cast<float>(area.left) / width - 1,
                       1 - 2.0f * static_cast<float>(area.top) / height,
                       2.0f * static_cast<float>(area.right - area.left) / width,
                       -2.0f * static_cast<float>(area.bottom - area.top) / height};
    // The stored picture's coordinates are affine in the turned one's, so the corners'
    // coordinates interpolate exactly across the part.
    const auto uv = [&](float a, float b) {
        const std::array<float, 2> stored = StoredCorner(layer.place.rotation, a, b);
        return std::array<float, 2>{stored[0] * usedAcross, stored[1] * usedDown};
    };
    const auto [tlU, tlV] = uv(part.fromA, part.fromB);
    const auto [trU, trV] = uv(part.toA, part.fromB);
    const auto [blU, blV] = uv(part.fromA, part.toB);
    const auto [brU, brV] = uv(part.toA, part.toB);
    constants.upperUv = {tlU, tlV, trU, trV};
    constants.lowerUv = {blU, blV, brU, brV};
    constants.weight = {static_cast<float>(std::clamp(layer.weight, 0.0, 1.0)), 0, 0, 0};
    return constants;
}

}  // namespace

std::unique_ptr<D3dWindow> D3dWindow::Create(HWND window, platform::Renderer renderer) {
    if (renderer == platform::Renderer::Gdi) {
        return nullptr;
    }
    std::shared_ptr<D3dDevice> device = SharedD3dDevice();
    if (!device || device->lost() ||
        (renderer == platform::Renderer::Automatic && device->software())) {
        return nullptr;
    }
    auto made = std::make_unique<D3dWindow>(window, std::move(device));
    const D3dDevice::Lock lock(*made->device_);
    if (!made->makeSwapChain() || !made->makeStates() || !made->makeTarget()) {
        return nullptr;
    }
    return made;
}

D3dWindow::~D3dWindow() {
    // The context lets go of the buffers before the swap chain goes.
    const D3dDevice::Lock lock(*device_);
    device_->context()->OMSetRenderTargets(0, nullptr, nullptr);
    device_->context()->Flush();
}

bool D3dWindow::makeSwapChain() {
    ComPtr<IDXGIDevice> dxgiDevice;
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIFactory2> factory;
    if (FAILED(device_->device()->QueryInterface(IID_PPV_ARGS(&dxgiDevice))) ||
        FAILED(dxgiDevice->GetAdapter(&adapter)) ||
        FAILED(adapter->GetParent(IID_PPV_ARGS(&factory)))) {
        return false;
    }
    RECT client{};
    GetClientRect(window_, &client);
    width_ = std::max<int>(client.right, 1);
    height_ = std::max<int>(client.bottom, 1);
    DXGI_SWAP_CHAIN_DESC1 design{};
    design.Width = static_cast<UINT>(width_);
    design.Height = static_cast<UINT>(height_);
    design.Format = kFormat;
    design.SampleDesc.Count = 1;
    design.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    design.BufferCount = 2;
    // Flip-discard where the system has it (Windows 10), else flip-sequential (8.1).
    for (const DXGI_SWAP_EFFECT effect :
         {DXGI_SWAP_EFFECT_FLIP_DISCARD, DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL}) {
        design.SwapEffect = effect;
        if (SUCCEEDED(factory->CreateSwapChainForHwnd(device_->device(), window_, &design, nullptr,
                                                      nullptr, &swapChain_))) {
            // The saver's windows are never made full screen by Alt+Enter.
            factory->MakeWindowAssociation(window_, DXGI_MWA_NO_ALT_ENTER);
            return true;
        }
    }
    return false;
}

bool D3dWindow::makeStates() {
    ID3D11Device* device = device_->device();
    D3D11_BLEND_DESC blend{};
    D3D11_RENDER_TARGET_BLEND_DESC& adding = blend.RenderTarget[0];
    adding.BlendEnable = TRUE;
    adding.SrcBlend = adding.SrcBlendAlpha = D3D11_BLEND_ONE;
    adding.DestBlend = adding.DestBlendAlpha = D3D11_BLEND_ONE;
    adding.BlendOp = adding.BlendOpAlpha = D3D11_BLEND_OP_ADD;
    adding.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    D3D11_BLEND_DESC laying = blend;
    laying.RenderTarget[0].DestBlend = laying.RenderTarget[0].DestBlendAlpha =
        D3D11_BLEND_INV_SRC_ALPHA;

    D3D11_SAMPLER_DESC sampling{};
    sampling.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    sampling.AddressU = sampling.AddressV = sampling.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    sampling.MaxLOD = D3D11_FLOAT32_MAX;

    D3D11_RASTERIZER_DESC raster{};
    raster.FillMode = D3D11_FILL_SOLID;
    raster.CullMode = D3D11_CULL_NONE;  // a turned layer's corners may wind either way
    raster.DepthClipEnable = TRUE;

    D3D11_BUFFER_DESC buffer{};
    buffer.ByteWidth = sizeof(LayerConstants);
    buffer.Usage = D3D11_USAGE_DEFAULT;
    buffer.BindFlags = D3D11_BIND_CONSTANT_BUFFER;

    return SUCCEEDED(device->CreateBlendState(&blend, &additive_)) &&
           SUCCEEDED(device->CreateBlendState(&laying, &over_)) &&
           SUCCEEDED(device->CreateSamplerState(&sampling, &sampler_)) &&
           SUCCEEDED(device->CreateRasterizerState(&raster, &rasterizer_)) &&
           SUCCEEDED(device->CreateBuffer(&buffer, nullptr, &constants_));
}

bool D3dWindow::makeTarget() {
    ComPtr<ID3D11Texture2D> back;
    return SUCCEEDED(swapChain_->GetBuffer(0, IID_PPV_ARGS(&back))) &&
           SUCCEEDED(device_->device()->CreateRenderTargetView(back.Get(), nullptr, &target_));
}

// The buffers follow the window's client area; a flip-model chain's buffers may only be
// resized while nothing holds them.
bool D3dWindow::fitToWindow() {
    RECT client{};
    GetClientRect(window_, &client);
    const int width = std::max<int>(client.right, 1);
    const int height = std::max<int>(client.bottom, 1);
    if (width == width_ && height == height_) {
        return true;
    }
    target_.Reset();
    device_->context()->OMSetRenderTargets(0, nullptr, nullptr);
    const HRESULT resized = swapChain_->ResizeBuffers(0, static_cast<UINT>(width),
                                                      static_cast<UINT>(height), kFormat, 0);
    if (FAILED(resized)) {
        return fail(resized);
    }
    width_ = width;
    height_ = height;
    return makeTarget() || fail(E_FAIL);
}

bool D3dWindow::compose(std::span<const D3dLayer> layers) {
    if (failed_ || device_->lost()) {
        return fail(DXGI_ERROR_DEVICE_REMOVED);
    }
    const D3dDevice::Lock lock(*device_);
    if (!fitToWindow()) {
        return false;
    }
    ID3D11DeviceContext* context = device_->context();
    ID3D11RenderTargetView* targets[] = {target_.Get()};
    context->OMSetRenderTargets(1, targets, nullptr);
    constexpr std::array<float, 4> kBlack{0, 0, 0, 1};
    context->ClearRenderTargetView(target_.Get(), kBlack.data());
    const D3D11_VIEWPORT viewport{0, 0, static_cast<float>(width_), static_cast<float>(height_),
                                  0, 1};
    context->RSSetViewports(1, &viewport);
    context->RSSetState(rasterizer_.Get());
    context->IASetInputLayout(nullptr);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    context->VSSetShader(device_->layerVertexShader(), nullptr, 0);
    ID3D11Buffer* constants[] = {constants_.Get()};
    context->VSSetConstantBuffers(0, 1, constants);
    context->PSSetConstantBuffers(0, 1, constants);
    ID3D11SamplerState* samplers[] = {sampler_.Get()};
    context->PSSetSamplers(0, 1, samplers);
    for (std::size_t index = 0; index < layers.size(); ++index) {
        if (!drawLayer(layers[index], index)) {
            return false;
        }
    }
    return !device_->lost() || fail(DXGI_ERROR_DEVICE_REMOVED);
}

bool D3dWindow::drawLayer(const D3dLayer& layer, std::size_t index) {
    const std::optional<Visible> part = VisiblePart(layer, width_, height_);
    if (layer.weight <= 0 || !part) {
        return true;  // adds nothing
    }
    ComPtr<ID3D11ShaderResourceView> view;
    float usedAcross = 1;
    float usedDown = 1;
    if (layer.texture != nullptr) {
        D3D11_TEXTURE2D_DESC design{};
        layer.texture->GetDesc(&design);
        if (layer.width > 0 && layer.height > 0) {
            usedAcross = std::min(1.0f, static_cast<float>(layer.width) / design.Width);
            usedDown = std::min(1.0f, static_cast<float>(layer.height) / design.Height);
        }
        const HRESULT made =
            device_->device()->CreateShaderResourceView(layer.texture, nullptr, &view);
        if (FAILED(made)) {
            return fail(made);
        }
    } else {
        view = uploadPixels(layer, index);
        if (!view) {
            return false;
        }
    }
    const LayerConstants constants =
        ConstantsFor(layer, *part, width_, height_, usedAcross, usedDown);
    ID3D11DeviceContext* context = device_->context();
    context->OMSetBlendState(layer.over ? over_.Get() : additive_.Get(), nullptr, 0xffffffff);
    context->PSSetShader(layer.over ? device_->overPixelShader() : device_->layerPixelShader(),
                         nullptr, 0);
    context->UpdateSubresource(constants_.Get(), 0, nullptr, &constants, 0, 0);
    ID3D11ShaderResourceView* views[] = {view.Get()};
    context->PSSetShaderResources(0, 1, views);
    context->Draw(4, 0);
    ID3D11ShaderResourceView* none[] = {nullptr};
    context->PSSetShaderResources(0, 1, none);
    return true;
}

// The CPU's pixels go into a dynamic texture of this layer's place.
ID3D11ShaderResourceView* D3dWindow::uploadPixels(const D3dLayer& layer, std::size_t index) {
    if (uploads_.size() <= index) {
        uploads_.resize(index + 1);
    }
    const HRESULT result =
        uploads_[index].upload(*device_, layer.pixels, layer.stride, layer.width, layer.height);
    if (FAILED(result)) {
        fail(result);
        return nullptr;
    }
    return uploads_[index].view();
}

HRESULT D3dUpload::make(const D3dDevice& device, int width, int height, bool dynamic) {
    if (texture_ && width_ == width && height_ == height && dynamic_ == dynamic) {
        return S_OK;
    }
    *this = {};
    D3D11_TEXTURE2D_DESC design{};
    design.Width = static_cast<UINT>(width);
    design.Height = static_cast<UINT>(height);
    design.MipLevels = design.ArraySize = 1;
    design.Format = kFormat;
    design.SampleDesc.Count = 1;
    design.Usage = dynamic ? D3D11_USAGE_DYNAMIC : D3D11_USAGE_DEFAULT;
    design.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    design.CPUAccessFlags = dynamic ? D3D11_CPU_ACCESS_WRITE : 0;
    HRESULT made = device.device()->CreateTexture2D(&design, nullptr, &texture_);
    if (SUCCEEDED(made)) {
        made = device.device()->CreateShaderResourceView(texture_.Get(), nullptr, &view_);
    }
    if (FAILED(made)) {
        *this = {};
        return made;
    }
    width_ = width;
    height_ = height;
    dynamic_ = dynamic;
    return S_OK;
}

HRESULT D3dUpload::copy(const D3dDevice& device, ID3D11Texture2D* from, int width, int height) {
    D3D11_TEXTURE2D_DESC design{};
    from->GetDesc(&design);
    width = width > 0 ? std::min<int>(width, static_cast<int>(design.Width))
                      : static_cast<int>(design.Width);
    height = height > 0 ? std::min<int>(height, static_cast<int>(design.Height))
                        : static_cast<int>(design.Height);
    const HRESULT made = make(device, width, height, false);
    if (FAILED(made)) {
        return made;
    }
    const D3D11_BOX part{0, 0, 0, static_cast<UINT>(width), static_cast<UINT>(height), 1};
    device.context()->CopySubresourceRegion(texture_.Get(), 0, 0, 0, 0, from, 0, &part);
    return S_OK;
}

HRESULT D3dUpload::upload(const D3dDevice& device, const void* pixels, int stride, int width,
                          int height) {
    if (pixels == nullptr || width <= 0 || height <= 0 || stride < width * 4) {
        return E_INVALIDARG;
    }
    const HRESULT made = make(device, width, height, true);
    if (FAILED(made)) {
        return made;
    }
    D3D11_MAPPED_SUBRESOURCE mapped{};
    const HRESULT opened =
        device.context()->Map(texture_.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
    if (FAILED(opened)) {
        return opened;
    }
    const auto* from = static_cast<const std::uint8_t*>(pixels);
    auto* to = static_cast<std::uint8_t*>(mapped.pData);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int row = 0; row < height; ++row) {
        std::memcpy(to + static_cast<std::size_t>(row) * mapped.RowPitch,
                    from + static_cast<std::size_t>(row) * static_cast<std::size_t>(stride),
                    rowBytes);
    }
    device.context()->Unmap(texture_.Get(), 0);
    return S_OK;
}

bool D3dWindow::present() {
    if (failed_) {
        return false;
    }
    const D3dDevice::Lock lock(*device_);
    // No wait for the display's refresh: the clips' frames set the pace, and a thread that
    // presents several windows would otherwise wait once per window.
    const HRESULT shown = swapChain_->Present(0, 0);
    if (FAILED(shown) || device_->lost()) {
        return fail(FAILED(shown) ? shown : DXGI_ERROR_DEVICE_REMOVED);
    }
    return true;
}

bool D3dWindow::readBackBuffer(std::vector<std::uint32_t>& pixels, int& width, int& height) {
    const D3dDevice::Lock lock(*device_);
    ComPtr<ID3D11Texture2D> back;
    if (FAILED(swapChain_->GetBuffer(0, IID_PPV_ARGS(&back)))) {
        return false;
    }
    D3D11_TEXTURE2D_DESC design{};
    back->GetDesc(&design);
    design.Usage = D3D11_USAGE_STAGING;
    design.BindFlags = 0;
    design.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    design.MiscFlags = 0;
    ComPtr<ID3D11Texture2D> staging;
    if (FAILED(device_->device()->CreateTexture2D(&design, nullptr, &staging))) {
        return false;
    }
    ID3D11DeviceContext* context = device_->context();
    context->CopyResource(staging.Get(), back.Get());
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped))) {
        return false;
    }
    width = static_cast<int>(design.Width);
    height = static_cast<int>(design.Height);
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width),
                    static_cast<const std::uint8_t*>(mapped.pData) +
                        static_cast<std::size_t>(row) * mapped.RowPitch,
                    static_cast<std::size_t>(width) * 4);
    }
    context->Unmap(staging.Get(), 0);
    return true;
}

bool D3dWindow::fail(HRESULT result) {
    failed_ = true;
    if (IsDeviceLoss(result) || device_->lost()) {
        ForgetD3dDevice(*device_);
    }
    return false;
}

}  // namespace morvel::win32
