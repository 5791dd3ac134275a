// The screen-saver host (platform/host_service.h): the running flag, the platform id, the
// registry, the password libraries and the search for another saver's window.
#include "platform/win32/win32_platform.h"

#include <memory>

#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// The system-wide "a screen saver runs" flag; not every header names it.
constexpr UINT kScreenSaverRunning = 97;

class Win32RegistryKey final : public platform::RegistryKey {
  public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}

    bool hasValue(std::string_view name) override {
        const std::wstring value = Widen(name);
        return RegQueryValueExW(key_.get(), value.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    std::optional<std::uint32_t> readInteger(std::string_view name) override {
        const std::wstring value = Widen(name);
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof(data);
        const LONG result = RegQueryValueExW(key_.get(), value.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(&data), &size);
        if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) {
            return std::nullopt;
        }
        return data;
    }

  private:
    OwnedKey key_;
};

// Looks an entry point up with the type the caller states.
template <typename Function>
Function EntryPoint(HMODULE module, const char* name) {
    const FARPROC found = GetProcAddress(module, name);
    // Through the generic function type, which the compiler accepts as a neutral step.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

class Win32Library final : public platform::Library {
  public:
    explicit Win32Library(HMODULE module) : module_(module) {}

    bool hasEntryPoint(std::string_view name) override {
        const std::string entry(name);
        return GetProcAddress(module_.get(), entry.c_str()) != nullptr;
    }

    bool verifyScreenSavePassword(Handle owner) override {
        using Verify = BOOL(WINAPI*)(HWND);
        const auto verify = EntryPoint<Verify>(module_.get(), "VerifyScreenSavePwd");
        if (verify == nullptr) {
            return false;
        }
        // The library's dialog is scaled by the system, as every box (see win32_dpi.h).
        const ThreadDpi unaware(ThreadDpi::Awareness::Unaware);
        // Only the low byte carries the answer.
        return (static_cast<unsigned>(verify(ToHwnd(owner))) & 0xFFu) != 0;
    }

    void changePassword(const std::string& provider, Handle owner) override {
        using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
        if (const auto change = EntryPoint<Change>(module_.get(), "PwdChangePasswordA")) {
            change(provider.c_str(), ToHwnd(owner), 0, nullptr);
        }
    }

  private:
    OwnedLibrary module_;
};

}  // namespace

void Win32Platform::setScreenSaverRunning(bool running) {
    BOOL previous = FALSE;
    SystemParametersInfoA(kScreenSaverRunning, running ? TRUE : FALSE, &previous, 0);
}

int Win32Platform::platformId() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // Deprecated, but the one call that still answers the platform-family question.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
    return known ? static_cast<int>(version.dwPlatformId) : 0;
}

std::unique_ptr<platform::RegistryKey> Win32Platform::openCurrentUserKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32RegistryKey>(key);
}

std::unique_ptr<platform::Library> Win32Platform::loadLibrary(const std::string& path) {
    const std::wstring wide = Widen(path);
    const HMODULE module = wide.empty() ? nullptr : LoadLibraryW(wide.c_str());
    if (module == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32Library>(module);
}

bool Win32Platform::findWindow(const std::string& className, const std::string& caption) {
    return FindWindowW(Widen(className).c_str(), Widen(caption).c_str()) != nullptr;
}

}  // namespace morvel::win32
