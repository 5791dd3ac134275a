#include "platform/win32/mf_frame_sink.h"

#include "platform/win32/owned.h"

namespace morvel::win32 {

namespace {

constexpr DWORD kBytesPerPixel = 4;  // the grabber is asked for 32-bit RGB

}  // namespace

void FrameSink::setWindow(HWND window) {
    const std::lock_guard lock(mutex_);
    targets_.front().window = window;
}

void FrameSink::addMirror(HWND window) {
    const std::lock_guard lock(mutex_);
    targets_.push_back(Target{window, RECT{0, 0, frame_.cx, frame_.cy}});
}

std::size_t FrameSink::windows() {
    const std::lock_guard lock(mutex_);
    return targets_.size();
}

HWND FrameSink::window(std::size_t window) {
    const std::lock_guard lock(mutex_);
    return targets_.at(window).window;
}

void FrameSink::setFrameSize(SIZE size) {
    const std::lock_guard lock(mutex_);
    frame_ = size;
    for (Target& target : targets_) {
        target.destination = RECT{0, 0, size.cx, size.cy};
    }
}

void FrameSink::setDestination(std::size_t window, RECT destination) {
    const std::lock_guard lock(mutex_);
    targets_.at(window).destination = destination;
}

RECT FrameSink::destination(std::size_t window) {
    const std::lock_guard lock(mutex_);
    return targets_.at(window).destination;
}

STDMETHODIMP FrameSink::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (id == IID_IUnknown || id == __uuidof(IMFClockStateSink) ||
        id == __uuidof(IMFSampleGrabberSinkCallback)) {
        *object = static_cast<IMFSampleGrabberSinkCallback*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP FrameSink::OnProcessSample(REFGUID, DWORD, LONGLONG, LONGLONG, const BYTE* buffer,
                                        DWORD size) {
    draw(buffer, size);
    return S_OK;
}

void FrameSink::draw(const BYTE* pixels, DWORD size) {
    const std::lock_guard lock(mutex_);
    if (frame_.cx <= 0 || frame_.cy <= 0) {
        return;
    }
    // Decoders may pad the picture with rows below it; only the frame's own rows are drawn.
    const DWORD rowBytes = static_cast<DWORD>(frame_.cx) * kBytesPerPixel;
    const LONG rows = static_cast<LONG>(size / rowBytes);
    if (rows < frame_.cy) {
        return;
    }
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = frame_.cx;
    format.bmiHeader.biHeight = -rows;  // the grabber's frames run top to bottom
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    for (const Target& target : targets_) {
        if (target.window == nullptr) {
            continue;
        }
        const RECT& to = target.destination;
        const WindowDc dc(target.window);
        SetStretchBltMode(dc.get(), COLORONCOLOR);
        StretchDIBits(dc.get(), to.left, to.top, to.right - to.left, to.bottom - to.top, 0,
                      rows - frame_.cy, frame_.cx, frame_.cy, pixels, &format, DIB_RGB_COLORS,
                      SRCCOPY);
    }
}

}  // namespace morvel::win32
