// The one Direct3D 11 device the saver's windows and playback engines share.
//
// It is made on first use, with BGRA support (for the desktop's pixel format) and, where the
// driver has it, video support (for the engines' hardware decoding through a DXGI device
// manager): a hardware device first, else WARP, the system's software device. Its immediate
// context is multithread-protected, so that an engine's device manager and the windows may
// use it from their own threads; a caller making several calls in a row holds a
// D3dDevice::Lock, which is the same lock the device manager takes.
//
// A lost device (DXGI_ERROR_DEVICE_REMOVED or _RESET, a driver update, a GPU reset) is
// forgotten: whoever saw the loss calls Forget, and the next SharedD3dDevice makes a new one.
// d3d11.dll and d3dcompiler_47.dll are loaded with the device, not with the program, so a
// saver that never draws on the graphics card never loads them.
#pragma once

#include <windows.h>

#include <d3d10.h>
#include <d3d11.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/win32/owned.h"

namespace morvel::win32 {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

class D3dDevice {
  public:
    // Holds the device's immediate context for a sequence of calls.
    class Lock {
      public:
        explicit Lock(const D3dDevice& device);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        const D3dDevice& device_;
        std::lock_guard<std::recursive_mutex> guard_;
    };

    ID3D11Device* device() const { return device_.Get(); }
    ID3D11DeviceContext* context() const { return context_.Get(); }
    // Whether the device decodes and processes video (D3D11_CREATE_DEVICE_VIDEO_SUPPORT).
    bool videoSupport() const { return videoSupport_; }
    // Whether the system's software device (WARP) stands in for a graphics card.
    bool software() const { return software_; }

    // The compiled shaders the windows draw their layers with.
    ID3D11VertexShader* layerVertexShader() const { return vertexShader_.Get(); }
    ID3D11PixelShader* layerPixelShader() const { return pixelShader_.Get(); }
    ID3D11PixelShader* overPixelShader() const { return overShader_.Get(); }

    // Whether the device has been lost: removed by the system, or forced lost by a test.
    bool lost() const;
    // A test's way to make the device fail as a removed one does, at its next use.
    void forceLossForTesting() { forcedLoss_ = true; }

    // A device of its own, not the shared one; nullptr where none can be made.
    static std::shared_ptr<D3dDevice> Make();

  private:
    OwnedLibrary d3d11Library_;
    ComPtr<ID3D11Device> device_;
    ComPtr<ID3D11DeviceContext> context_;
    ComPtr<ID3D10Multithread> multithread_;
    ComPtr<ID3D11VertexShader> vertexShader_;
    ComPtr<ID3D11PixelShader> pixelShader_;
    ComPtr<ID3D11PixelShader> overShader_;
    bool videoSupport_ = false;
    bool software_ = false;
    std::atomic<bool> forcedLoss_ = false;
    mutable std::recursive_mutex mutex_;
};

// The device every window and engine shares, made on the first call; nullptr where none can
// be made (no d3d11.dll, no driver and no WARP, no shader compiler). Any thread.
std::shared_ptr<D3dDevice> SharedD3dDevice();
// After a loss: the next SharedD3dDevice makes a new device. Holders of the lost one keep it
// alive until they let it go. Does nothing when `lost` is no longer the shared one.
void ForgetD3dDevice(const D3dDevice& lost);

// Whether this result means the device is gone, not that one call failed.
bool IsDeviceLoss(HRESULT result);

}  // namespace morvel::win32
