// The Direct3D 11 device the Media Engine decodes and converts into, and the DXGI device
// manager that hands it to the engine.
//
// The device is made with video support (the engine's hardware decoding) and BGRA support
// (the frames it transfers are BGRA, and Direct2D draws only on such a device), and protected
// for use from several threads: the engine decodes on threads of its own while the program
// transfers and composes frames on others. d3d11.dll is loaded on first use, as Media
// Foundation's libraries are: most starts of the saver never need it.
#pragma once

#include <windows.h>

#include <d3d11.h>
#include <mfobjects.h>
#include <wrl/client.h>

namespace morvel::win32 {

template <typename T>
using DeviceComPtr = Microsoft::WRL::ComPtr<T>;

// What MakeVideoDevice made: the device, and whether it has the video support asked for (a
// system whose driver cannot decode still converts and transfers frames without it).
struct VideoDevice {
    DeviceComPtr<ID3D11Device> device;
    bool videoSupport = false;
};

// A new device on the system's graphics card, or the failure's code.
HRESULT MakeVideoDevice(VideoDevice& made);

// A DXGI device manager that hands `device` to Media Foundation. Needs Media Foundation's
// platform library loaded (mfplat.dll).
HRESULT MakeDeviceManager(ID3D11Device* device, DeviceComPtr<IMFDXGIDeviceManager>& manager);

}  // namespace morvel::win32
