// Owners for the operating system's handles: each closes its handle when it goes.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstdint>
#include <memory>
#include <utility>

namespace morvel::win32 {

// Owns one handle of type H and gives it back with `Closer` when destroyed. The empty value
// is H{}; handles whose failure value is something else are normalised by their maker.
template <typename H, typename Closer>
class Owned {
  public:
    Owned() = default;
    explicit Owned(H handle) : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, H{}));
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    H get() const { return handle_; }
    // Hands the handle to one who closes it himself (SetWindowRgn takes its region).
    H release() { return std::exchange(handle_, H{}); }
    explicit operator bool() const { return handle_ != H{}; }
    void reset(H handle = H{}) {
        if (handle_ != H{}) {
            Closer{}(handle_);
        }
        handle_ = handle;
    }

  private:
    H handle_{};
};

struct GdiObjectCloser {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct RegistryKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct LibraryCloser {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
struct HookCloser {
    void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};
struct IconCloser {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct WindowCloser {
    void operator()(HWND window) const { DestroyWindow(window); }
};

// Memory the shell hands out with CoTaskMemAlloc, for std::unique_ptr.
struct TaskMemFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

using OwnedFont = Owned<HFONT, GdiObjectCloser>;
using OwnedBrush = Owned<HBRUSH, GdiObjectCloser>;
using OwnedRegion = Owned<HRGN, GdiObjectCloser>;
using OwnedPen = Owned<HPEN, GdiObjectCloser>;
using OwnedKey = Owned<HKEY, RegistryKeyCloser>;
using OwnedLibrary = Owned<HMODULE, LibraryCloser>;
using OwnedFind = Owned<HANDLE, FindCloser>;
using OwnedHook = Owned<HHOOK, HookCloser>;
using OwnedWindow = Owned<HWND, WindowCloser>;
using OwnedIcon = Owned<HICON, IconCloser>;

// A window's device context, released when it goes; the font selected into it is put back.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (previousFont_ != nullptr) {
            SelectObject(dc_, previousFont_);
        }
        ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    void selectFont(HFONT font) {
        HGDIOBJ previous = SelectObject(dc_, font);
        if (previousFont_ == nullptr) {
            previousFont_ = previous;
        }
    }

  private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previousFont_ = nullptr;
};

inline HWND ToHwnd(std::uintptr_t handle) {
    return reinterpret_cast<HWND>(handle);
}
inline std::uintptr_t ToHandle(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

}  // namespace morvel::win32
