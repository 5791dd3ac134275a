#include "platform/win32/mf_frame_sink.h"

#include <algorithm>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/owned.h"
#include "platform/win32/panel_compositor.h"

namespace morvel::win32 {

namespace {

constexpr DWORD kBytesPerPixel = 4;  // the grabber is asked for 32-bit RGB

// Along one axis: the source pixels that reach the window, and where GDI is to put them.
struct Span {
    LONG from = 0;  // source pixels [from, to)
    LONG to = 0;
    LONG at = 0;  // their place in the window, [at, at + length)
    LONG length = 0;
};

// The picture lies at [at, at + extent) of a window `limit` long and has `pixels` pixels that
// way. The source is cut to the whole pixels that show; the destination follows it, so the
// part drawn lies exactly where it lies in the whole picture (its edges in the window's
// border are cut by GDI).
bool VisibleSpan(LONG at, LONG extent, LONG pixels, LONG limit, Span& span) {
    const LONG from = std::max<LONG>(at, 0);
    const LONG to = std::min<LONG>(at + extent, limit);
    if (extent <= 0 || pixels <= 0 || from >= to) {
        return false;
    }
    const auto scaled = [](LONG value, LONG times, LONG over) {
        return static_cast<LONG>(static_cast<long long>(value) * times / over);
    };
    span.from = scaled(from - at, pixels, extent);
    span.to = std::min(scaled(to - at, pixels, extent) + 1, pixels);
    span.at = at + scaled(span.from, extent, pixels);
    span.length = at + scaled(span.to, extent, pixels) - span.at;
    return span.length > 0;
}

}  // namespace

void DrawClipped(HDC dc, SIZE client, const std::uint32_t* source, SIZE size,
                 const media::VideoRect& to) {
    Span x;
    Span y;
    if (!VisibleSpan(to.left, to.right, size.cx, client.cx, x) ||
        !VisibleSpan(to.top, to.bottom, size.cy, client.cy, y)) {
        return;
    }
    // The rows drawn are a picture of their own, top row first: a source rectangle's rows
    // would count from the bottom of a top-down picture.
    const LONG rows = y.to - y.from;
    const BITMAPINFO format = TopDownFormat({size.cx, rows});
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x.at, y.at, x.length, y.length, x.from, 0, x.to - x.from, rows,
                  source + static_cast<std::size_t>(y.from) * static_cast<std::size_t>(size.cx),
                  &format, DIB_RGB_COLORS, SRCCOPY);
}

// Read row by row, the way the stored picture lies in memory.
void TurnClockwise(const std::uint32_t* stored, SIZE size, int rotation,
                   std::vector<std::uint32_t>& out) {
    const auto width = static_cast<std::size_t>(size.cx);
    const auto height = static_cast<std::size_t>(size.cy);
    out.resize(width * height);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint32_t* row = stored + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            if (rotation == 90) {  // the top row becomes the right column
                out[x * height + (height - 1 - y)] = row[x];
            } else if (rotation == 270) {  // the top row becomes the left column
                out[(width - 1 - x) * height + y] = row[x];
            } else {
                out[(height - 1 - y) * width + (width - 1 - x)] = row[x];
            }
        }
    }
}

void FrameSink::setWindow(HWND window) {
    const std::lock_guard lock(mutex_);
    if (blending_ && targets_.front().window != window) {
        PanelCompositor::Leave(targets_.front().window, this);
    }
    targets_.front().window = window;
}

void FrameSink::addMirror(HWND window) {
    const std::lock_guard lock(mutex_);
    targets_.push_back(Target{window, media::VideoRect{frame_.cx, frame_.cy}});
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
        target.destination = media::VideoRect{size.cx, size.cy};
    }
}

void FrameSink::setDestination(std::size_t window, media::VideoRect destination) {
    const std::lock_guard lock(mutex_);
    targets_.at(window).destination = destination;
}

media::VideoRect FrameSink::destination(std::size_t window) {
    const std::lock_guard lock(mutex_);
    return targets_.at(window).destination;
}

void FrameSink::fade(double from, double to, std::uint32_t durationMs) {
    const std::lock_guard lock(mutex_);
    ramp_.start(from, to, durationMs, FadeRamp::Clock::now());
    blending_ = true;
}

double FrameSink::weight() {
    const std::lock_guard lock(mutex_);
    return blending_ ? ramp_.weightAt(FadeRamp::Clock::now()) : 1.0;
}

void FrameSink::endFile() {
    const std::lock_guard lock(mutex_);
    for (const Target& target : targets_) {
        D3dPanels::Release(target.window, this);
    }
    if (blending_) {
        for (const Target& target : targets_) {
            PanelCompositor::Leave(target.window, this);
        }
    }
    blending_ = false;
    ramp_ = FadeRamp{};
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
    if (draw(buffer, size) && afterFrame_) {
        afterFrame_();
    }
    return S_OK;
}

FrameSink::Picture FrameSink::turned(Picture stored, int rotation) {
    TurnClockwise(stored.pixels, SIZE{stored.width, stored.height}, rotation, turned_);
    const bool sideways = rotation != 180;
    return Picture{turned_.data(), sideways ? stored.height : stored.width,
                   sideways ? stored.width : stored.height};
}

bool FrameSink::draw(const BYTE* pixels, DWORD size) {
    const std::lock_guard lock(mutex_);
    if (frame_.cx <= 0 || frame_.cy <= 0) {
        return blending_;
    }
    // Decoders may pad the picture with rows below it; only the frame's own rows are drawn.
    const DWORD rowBytes = static_cast<DWORD>(frame_.cx) * kBytesPerPixel;
    if (static_cast<LONG>(size / rowBytes) < frame_.cy) {
        return blending_;
    }
    const Picture stored{reinterpret_cast<const std::uint32_t*>(pixels), frame_.cx, frame_.cy};
    Picture turnedPicture;
    int turnedBy = 0;  // the frame is turned once, whatever number of windows show it turned
    for (const Target& target : targets_) {
        const int given = target.destination.rotation;
        const int rotation = given == 90 || given == 180 || given == 270 ? given : 0;
        if (target.window == nullptr) {
            continue;
        }
        if (rotation != 0 && rotation != turnedBy) {
            turnedPicture = turned(stored, rotation);
            turnedBy = rotation;
        }
        const Picture& picture = rotation != 0 ? turnedPicture : stored;
        if (blending_ &&
            PanelCompositor::Show(target.window, this,
                                  PixelsView{picture.pixels, SIZE{picture.width, picture.height}},
                                  target.destination, ramp_)) {
            continue;
        }
        if (D3dPanels::ShowPicture(target.window, this, picture.pixels,
                                   SIZE{picture.width, picture.height}, target.destination)) {
            continue;
        }
        RECT client{};
        GetClientRect(target.window, &client);
        const WindowDc dc(target.window);
        DrawClipped(dc.get(), SIZE{client.right, client.bottom}, picture.pixels,
                    SIZE{picture.width, picture.height}, target.destination);
    }
    return blending_;
}

}  // namespace morvel::win32
