// The floor the saver's memory over many clip changes is measured against: a program that
// does only what playing clips one after another through the Media Engine needs. One
// Direct3D 11 device and its DXGI device manager for the whole run; per clip a new engine in
// frame-server mode, played to its end, its frames transferred into a texture as they come;
// no window, nothing drawn. What grows here grows in the system (Wine), not in the saver.
//
//   bare_media_engine.exe CHANGES FILE...   (the files in turn, CHANGES + 1 clips in all)
//
// It prints "change N" after each clip's end, so that bench/saver-memory-wine reads its
// resident memory at the same points as the saver's, and after the last waits for its input
// to end (the memory is read first); "failed ..." and exit code 1 where a clip does not play.
#include <windows.h>

#include <d3d11.h>
#include <mfapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/mf_media_engine_api.h"

namespace {

namespace me = morvel::win32::mediaengine;

constexpr DWORD kClipTimeoutMs = 30000;
constexpr DWORD kTickMs = 10;

template <typename T>
class Com {
  public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** put() {
        reset();
        return &pointer_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* operator->() const { return pointer_; }
    T* get() const { return pointer_; }
    void reset() {
        if (pointer_) {
            pointer_->Release();
            pointer_ = nullptr;
        }
    }

  private:
    T* pointer_ = nullptr;
};

// The engine's notices: the clip loaded, ended or failed; each sets the event.
class Notify : public me::IMFMediaEngineNotify {
  public:
    Notify() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Notify() { CloseHandle(event_); }
    Notify(const Notify&) = delete;
    Notify& operator=(const Notify&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == me::kNotifyInterface) {
            *object = static_cast<me::IMFMediaEngineNotify*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on main's stack, longer than every engine.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE EventNotify(DWORD event, DWORD_PTR, DWORD) override {
        if (event == me::kEventEnded || event == me::kEventError) {
            ended_ = true;
            failed_ = failed_ || event == me::kEventError;
            SetEvent(event_);
        }
        return S_OK;
    }

    void reset() {
        ended_ = false;
        failed_ = false;
        ResetEvent(event_);
    }
    bool ended() const { return ended_; }
    bool failed() const { return failed_; }

  private:
    HANDLE event_;
    std::atomic<bool> ended_{false};
    std::atomic<bool> failed_{false};
};

// Plays one clip on a new engine to its end; false where it does not.
bool PlayOne(me::IMFMediaEngineClassFactory& factory, IMFDXGIDeviceManager& manager,
             ID3D11Device& device, Notify& notify, const std::wstring& file) {
    notify.reset();
    Com<IMFAttributes> attributes;
    Com<me::IMFMediaEngine> engine;
    HRESULT result = MFCreateAttributes(attributes.put(), 3);
    if (SUCCEEDED(result)) {
        attributes->SetUnknown(me::kCallbackAttribute, &notify);
        attributes->SetUnknown(me::kDxgiManagerAttribute, &manager);
        attributes->SetUINT32(me::kVideoOutputFormatAttribute, DXGI_FORMAT_B8G8R8A8_UNORM);
        result = factory.CreateInstance(0, attributes.get(), engine.put());
    }
    BSTR url = SysAllocString(file.c_str());
    if (SUCCEEDED(result)) {
        result = engine->SetSource(url);
    }
    if (SUCCEEDED(result)) {
        result = engine->Play();
    }
    Com<ID3D11Texture2D> frame;
    const ULONGLONG started = GetTickCount64();
    while (SUCCEEDED(result) && !notify.ended() && GetTickCount64() - started < kClipTimeoutMs) {
        LONGLONG time = 0;
        if (engine->OnVideoStreamTick(&time) == S_OK) {
            DWORD width = 0, height = 0;
            if (!frame.get() && SUCCEEDED(engine->GetNativeVideoSize(&width, &height))) {
                D3D11_TEXTURE2D_DESC description{};
                description.Width = width;
                description.Height = height;
                description.MipLevels = 1;
                description.ArraySize = 1;
                description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
                description.SampleDesc.Count = 1;
                description.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
                device.CreateTexture2D(&description, nullptr, frame.put());
            }
            if (frame.get()) {
                D3D11_TEXTURE2D_DESC description;
                frame->GetDesc(&description);
                const RECT whole{0, 0, static_cast<LONG>(description.Width),
                                 static_cast<LONG>(description.Height)};
                const MFARGB black{0, 0, 0, 255};
                engine->TransferVideoFrame(frame.get(), nullptr, &whole, &black);
            }
        }
        Sleep(kTickMs);
    }
    const bool played = SUCCEEDED(result) && notify.ended() && !notify.failed();
    if (engine.get()) {
        engine->Shutdown();
    }
    SysFreeString(url);
    return played;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bare_media_engine.exe CHANGES FILE...\n");
        return 2;
    }
    const int changes = std::atoi(argv[1]);
    std::vector<std::wstring> files;
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        files.emplace_back(name.begin(), name.end());  // the bench's paths are ASCII
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    MFStartup(MF_VERSION, MFSTARTUP_FULL);
    Com<ID3D11Device> device;
    HRESULT result =
        D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                          D3D11_CREATE_DEVICE_BGRA_SUPPORT | D3D11_CREATE_DEVICE_VIDEO_SUPPORT,
                          nullptr, 0, D3D11_SDK_VERSION, device.put(), nullptr, nullptr);
    if (FAILED(result)) {  // Wine has no video device: the plain one
        result = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr,
                                   D3D11_CREATE_DEVICE_BGRA_SUPPORT, nullptr, 0, D3D11_SDK_VERSION,
                                   device.put(), nullptr, nullptr);
    }
    Com<ID3D10Multithread> multithread;
    if (SUCCEEDED(result) &&
        SUCCEEDED(device->QueryInterface(__uuidof(ID3D10Multithread), multithread.putVoid()))) {
        multithread->SetMultithreadProtected(TRUE);
    }
    UINT token = 0;
    Com<IMFDXGIDeviceManager> manager;
    if (SUCCEEDED(result)) {
        result = MFCreateDXGIDeviceManager(&token, manager.put());
    }
    if (SUCCEEDED(result)) {
        result = manager->ResetDevice(device.get(), token);
    }
    Com<me::IMFMediaEngineClassFactory> factory;
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(me::kClassFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                                  me::kClassFactoryInterface, factory.putVoid());
    }
    if (FAILED(result)) {
        std::printf("failed to set up: 0x%08lx\n", static_cast<unsigned long>(result));
        return 1;
    }
    Notify notify;
    for (int n = 0; n <= changes; ++n) {
        if (!PlayOne(*factory.get(), *manager.get(), *device.get(), notify,
                     files[n % files.size()])) {
            std::printf("failed at clip %d\n", n);
            return 1;
        }
        std::printf("change %d\n", n);
        std::fflush(stdout);
    }
    while (std::getchar() != EOF) {
    }
    factory.reset();
    manager.reset();
    multithread.reset();
    device.reset();
    MFShutdown();
    CoUninitialize();
    return 0;
}
