#include "platform/win32/d3d_device.h"

#include <d3dcompiler.h>

#include <array>
#include <cstring>

namespace morvel::win32 {

namespace {

// One layer: a rectangle of the window, given in normalised device coordinates as a corner
// and a span, sampled from the picture at the texture coordinates of its four corners
// (top left, top right, bottom left, bottom right), times its weight. The window's blend
// state adds it to what is already there; a picture with an alpha of its own (premultiplied:
// the clock's letters) is laid over it instead (OverPixel). Plain arithmetic only: Wine's compiler
// knows no ternary operator.
constexpr const char* kLayerShaders = R"(
cbuffer Layer : register(b0) {
    float4 place;     // corner.xy, span.zw
    float4 upperUv;   // top left .xy, top right .zw
    float4 lowerUv;   // bottom left .xy, bottom right .zw
    float4 weight;    // .x
};
struct Corner { float4 position : SV_Position; float2 uv : TEXCOORD0; };
Corner LayerVertex(uint id : SV_VertexID) {
    float2 corner = float2(id & 1, id >> 1);
    float4 row = lerp(upperUv, lowerUv, corner.y);
    Corner output;
    output.position = float4(place.xy + corner * place.zw, 0, 1);
    output.uv = lerp(row.xy, row.zw, corner.x);
    return output;
}
Texture2D picture : register(t0);
SamplerState smooth : register(s0);
float4 LayerPixel(Corner input) : SV_Target {
    return float4(picture.Sample(smooth, input.uv).rgb * weight.x, 0);
}
float4 OverPixel(Corner input) : SV_Target {
    return picture.Sample(smooth, input.uv) * weight.x;
}
)";

using CreateDeviceFunction = decltype(&D3D11CreateDevice);
using CompileFunction = decltype(&D3DCompile);

std::mutex sharedMutex;
std::shared_ptr<D3dDevice> shared;
// Set when no device could be made: the system will not have one later in this run either,
// and trying again at every frame would cost a library load each time.
bool unavailable = false;

// The compiler is needed once per device; it goes with the function that used it.
ComPtr<ID3DBlob> CompileShader(CompileFunction compile, const char* entry, const char* target) {
    ComPtr<ID3DBlob> code;
    ComPtr<ID3DBlob> errors;
    if (FAILED(compile(kLayerShaders, std::strlen(kLayerShaders), "layer", nullptr, nullptr, entry,
                       target, D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors))) {
        return nullptr;
    }
    return code;
}

}  // namespace

D3dDevice::Lock::Lock(const D3dDevice& device) : device_(device), guard_(device.mutex_) {
    if (device_.multithread_) {
        device_.multithread_->Enter();
    }
}

D3dDevice::Lock::~Lock() {
    if (device_.multithread_) {
        device_.multithread_->Leave();
    }
}

bool D3dDevice::lost() const {
    return forcedLoss_ || FAILED(device_->GetDeviceRemovedReason());
}

bool IsDeviceLoss(HRESULT result) {
    return result == DXGI_ERROR_DEVICE_REMOVED || result == DXGI_ERROR_DEVICE_RESET ||
           result == DXGI_ERROR_DEVICE_HUNG || result == DXGI_ERROR_DRIVER_INTERNAL_ERROR;
}

std::shared_ptr<D3dDevice> D3dDevice::Make() {
    auto made = std::make_shared<D3dDevice>();
    made->d3d11Library_.reset(LoadLibraryW(L"d3d11.dll"));
    const OwnedLibrary compiler(LoadLibraryW(L"d3dcompiler_47.dll"));
    if (!made->d3d11Library_ || !compiler) {
        return nullptr;
    }
    const auto create = reinterpret_cast<CreateDeviceFunction>(
        reinterpret_cast<void*>(GetProcAddress(made->d3d11Library_.get(), "D3D11CreateDevice")));
    const auto compile = reinterpret_cast<CompileFunction>(
        reinterpret_cast<void*>(GetProcAddress(compiler.get(), "D3DCompile")));
    if (create == nullptr || compile == nullptr) {
        return nullptr;
    }
    // A hardware device with video support; without it where the driver has none; then the
    // same on WARP.
    constexpr UINT kBgra = D3D11_CREATE_DEVICE_BGRA_SUPPORT;
    constexpr std::array<std::pair<D3D_DRIVER_TYPE, UINT>, 4> attempts{{
        {D3D_DRIVER_TYPE_HARDWARE, kBgra | D3D11_CREATE_DEVICE_VIDEO_SUPPORT},
        {D3D_DRIVER_TYPE_HARDWARE, kBgra},
        {D3D_DRIVER_TYPE_WARP, kBgra | D3D11_CREATE_DEVICE_VIDEO_SUPPORT},
        {D3D_DRIVER_TYPE_WARP, kBgra},
    }};
    for (const auto& [driver, flags] : attempts) {
        if (SUCCEEDED(create(nullptr, driver, nullptr, flags, nullptr, 0, D3D11_SDK_VERSION,
                             &made->device_, nullptr, &made->context_))) {
            made->videoSupport_ = (flags & D3D11_CREATE_DEVICE_VIDEO_SUPPORT) != 0;
            made->software_ = driver == D3D_DRIVER_TYPE_WARP;
            break;
        }
    }
    if (!made->device_) {
        return nullptr;
    }
    if (SUCCEEDED(made->device_.As(&made->multithread_))) {
        made->multithread_->SetMultithreadProtected(TRUE);
    }
    const ComPtr<ID3DBlob> vertex = CompileShader(compile, "LayerVertex", "vs_4_0");
    const ComPtr<ID3DBlob> pixel = CompileShader(compile, "LayerPixel", "ps_4_0");
    const ComPtr<ID3DBlob> over = CompileShader(compile, "OverPixel", "ps_4_0");
    if (!vertex || !pixel || !over ||
        FAILED(made->device_->CreateVertexShader(
            vertex->GetBufferPointer(), vertex->GetBufferSize(), nullptr, &made->vertexShader_)) ||
        FAILED(made->device_->CreatePixelShader(pixel->GetBufferPointer(), pixel->GetBufferSize(),
                                                nullptr, &made->pixelShader_)) ||
        FAILED(made->device_->CreatePixelShader(over->GetBufferPointer(), over->GetBufferSize(),
                                                nullptr, &made->overShader_))) {
        return nullptr;
    }
    return made;
}

std::shared_ptr<D3dDevice> SharedD3dDevice() {
    const std::lock_guard<std::mutex> guard(sharedMutex);
    if (!shared && !unavailable) {
        shared = D3dDevice::Make();
        unavailable = !shared;
    }
    return shared;
}

void ForgetD3dDevice(const D3dDevice& lost) {
    const std::lock_guard<std::mutex> guard(sharedMutex);
    if (shared.get() == &lost) {
        shared.reset();
    }
}

}  // namespace morvel::win32
