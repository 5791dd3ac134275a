#include "platform/win32/me_video_device.h"

#include <d3d10.h>

#include <utility>

namespace morvel::win32 {

namespace {

// A function of a system library, the library loaded from the system folder on first use and
// kept for the life of the process: the devices made through it may outlive any one owner.
FARPROC SystemFunction(const wchar_t* library, const char* function) {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) {
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    return module != nullptr ? GetProcAddress(module, function) : nullptr;
}

using CreateDeviceFunction = HRESULT(WINAPI*)(IDXGIAdapter*, D3D_DRIVER_TYPE, HMODULE, UINT,
                                              const D3D_FEATURE_LEVEL*, UINT, UINT, ID3D11Device**,
                                              D3D_FEATURE_LEVEL*, ID3D11DeviceContext**);
using CreateManagerFunction = HRESULT(WINAPI*)(UINT*, IMFDXGIDeviceManager**);

template <typename F>
F Function(const wchar_t* library, const char* function) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(SystemFunction(library, function)));
}

}  // namespace

HRESULT MakeVideoDevice(VideoDevice& made) {
    const auto create = Function<CreateDeviceFunction>(L"d3d11.dll", "D3D11CreateDevice");
    if (create == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0,
                                        D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
    constexpr UINT kLevels = sizeof(levels) / sizeof(levels[0]);
    DeviceComPtr<ID3D11Device> device;
    // A driver without video support still gives a device that converts and transfers.
    bool videoSupport = true;
    HRESULT result = E_FAIL;
    constexpr UINT kWithVideo =
        D3D11_CREATE_DEVICE_VIDEO_SUPPORT | D3D11_CREATE_DEVICE_BGRA_SUPPORT;
    for (const UINT flags : {kWithVideo, UINT{D3D11_CREATE_DEVICE_BGRA_SUPPORT}}) {
        result = create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, flags, levels, kLevels,
                        D3D11_SDK_VERSION, &device, nullptr, nullptr);
        if (SUCCEEDED(result)) {
            break;
        }
        videoSupport = false;
    }
    if (FAILED(result)) {
        return result;
    }
    DeviceComPtr<ID3D10Multithread> multithread;
    if (SUCCEEDED(device.As(&multithread))) {
        multithread->SetMultithreadProtected(TRUE);
    }
    made.device = std::move(device);
    made.videoSupport = videoSupport;
    return S_OK;
}

HRESULT MakeDeviceManager(ID3D11Device* device, DeviceComPtr<IMFDXGIDeviceManager>& manager) {
    const auto create = Function<CreateManagerFunction>(L"mfplat.dll", "MFCreateDXGIDeviceManager");
    if (create == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    UINT token = 0;
    DeviceComPtr<IMFDXGIDeviceManager> made;
    HRESULT result = create(&token, &made);
    if (SUCCEEDED(result)) {
        result = made->ResetDevice(device, token);
    }
    if (SUCCEEDED(result)) {
        manager = std::move(made);
    }
    return result;
}

}  // namespace morvel::win32
