#include "platform/win32/win32_overlay.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/d3d_panels.h"
#include "platform/win32/owned.h"

namespace morvel::win32 {

namespace {

constexpr COLORREF kText = RGB(255, 255, 255);
constexpr COLORREF kShadow = RGB(24, 24, 24);
constexpr const wchar_t* kFontProperty = L"MorvelOverlayFont";

// The outline's width: some twelfth of the letters' height, at least two pixels.
int OutlineWidth(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return std::max(2, static_cast<int>(metrics.tmHeight / 12));
}

std::vector<std::wstring> Lines(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        std::max(GetWindowTextW(window, text.data(), static_cast<int>(text.size())), 0)));
    std::vector<std::wstring> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find(L'\n', from)) != std::wstring::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    lines.push_back(text.substr(from));
    return lines;
}

// The text's letters in `dc`'s path: right-aligned, the last line at the bottom, room left
// for the outline and the shadow.
void TextPath(HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    const int edge = OutlineWidth(dc) * 2;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const std::vector<std::wstring> lines = Lines(window);
    int top = client.bottom - edge - static_cast<int>(lines.size()) * metrics.tmHeight;
    SetBkMode(dc, TRANSPARENT);
    BeginPath(dc);
    for (const std::wstring& line : lines) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &extent);
        TextOutW(dc, client.right - edge - extent.cx, top, line.c_str(),
                 static_cast<int>(line.size()));
        top += metrics.tmHeight;
    }
    EndPath(dc);
}

HFONT FontOf(HWND window) {
    return static_cast<HFONT>(GetPropW(window, kFontProperty));
}

// The letters, and the dark outline and shadow around them: `letters` alone, `whole` all.
// The outline is the letters moved a few pixels each way: Wine refuses a window region
// made by WidenPath (its bands overlap), and moved copies of a region are as good a rim.
void Regions(HWND window, OwnedRegion& letters, OwnedRegion& whole) {
    WindowDc dc(window);
    if (FontOf(window) != nullptr) {
        dc.selectFont(FontOf(window));
    }
    const int outline = OutlineWidth(dc.get());
    SetPolyFillMode(dc.get(), ALTERNATE);
    TextPath(window, dc.get());
    letters.reset(PathToRegion(dc.get()));
    whole.reset(CreateRectRgn(0, 0, 0, 0));
    if (!letters) {
        letters.reset(CreateRectRgn(0, 0, 0, 0));
        return;
    }
    const OwnedRegion moved(CreateRectRgn(0, 0, 0, 0));
    const int shadow = outline / 2 + 1;
    const POINT offsets[] = {
        {-outline, 0},       {outline, 0},         {0, -outline},
        {0, outline},        {-outline, -outline}, {outline, -outline},
        {-outline, outline}, {outline, outline},   {outline + shadow, outline + shadow}};
    CombineRgn(whole.get(), letters.get(), nullptr, RGN_COPY);
    for (const POINT& offset : offsets) {
        CombineRgn(moved.get(), letters.get(), nullptr, RGN_COPY);
        OffsetRgn(moved.get(), offset.x, offset.y);
        CombineRgn(whole.get(), whole.get(), moved.get(), RGN_OR);
    }
}

// The window takes the shape of its text anew: after a new text, size or font.
void Reshape(HWND window) {
    OwnedRegion letters;
    OwnedRegion whole;
    Regions(window, letters, whole);
    if (SetWindowRgn(window, whole.get(), TRUE) != 0) {
        whole.release();  // the window owns it now
    }
}

// What the old text covered is painted again beneath: Wine paints nothing of what a child
// window's smaller region uncovers, and the old letters would stay over the video.
void Uncover(HWND window) {
    const HWND parent = GetParent(window);
    RECT area{};
    if (parent == nullptr || GetWindowRect(window, &area) == 0) {
        return;
    }
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// Where `region` is, the colour (opaque, so premultiplied as it is) in the picture.
void FillPixels(std::vector<std::uint32_t>& pixels, SIZE size, HRGN region, COLORREF colour) {
    const DWORD bytes = GetRegionData(region, 0, nullptr);
    std::vector<std::byte> data(bytes);
    auto* rects = reinterpret_cast<RGNDATA*>(data.data());
    if (bytes == 0 || GetRegionData(region, bytes, rects) != bytes) {
        return;
    }
    const std::uint32_t bgra = 0xff000000u | (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
                               (static_cast<std::uint32_t>(GetGValue(colour)) << 8) |
                               GetBValue(colour);
    const auto* rect = reinterpret_cast<const RECT*>(rects->Buffer);
    for (DWORD index = 0; index < rects->rdh.nCount; ++index, ++rect) {
        const LONG left = std::clamp(rect->left, 0L, size.cx);
        const LONG right = std::clamp(rect->right, 0L, size.cx);
        for (LONG row = std::clamp(rect->top, 0L, size.cy);
             row < std::clamp(rect->bottom, 0L, size.cy); ++row) {
            std::fill_n(pixels.begin() + row * size.cx + left, right - left, bgra);
        }
    }
}

// The same letters for a window the graphics card composes (d3d_panels.h), transparent
// around them.
void ShowOnGraphicsCard(HWND window, HRGN letters, HRGN whole) {
    RECT client{};
    GetClientRect(window, &client);
    const SIZE size{client.right, client.bottom};
    if (size.cx <= 0 || size.cy <= 0) {
        D3dPanels::HideOverlay(window);
        return;
    }
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.cx) *
                                      static_cast<std::size_t>(size.cy));
    FillPixels(pixels, size, whole, kShadow);
    FillPixels(pixels, size, letters, kText);
    D3dPanels::ShowOverlay(window, std::move(pixels), size);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    OwnedRegion letters;
    OwnedRegion whole;
    Regions(window, letters, whole);
    const OwnedBrush shadow(CreateSolidBrush(kShadow));
    const OwnedBrush text(CreateSolidBrush(kText));
    FillRgn(dc, whole.get(), shadow.get());
    FillRgn(dc, letters.get(), text.get());
    EndPaint(window, &paint);
    if (D3dPanels::Wanted()) {
        ShowOnGraphicsCard(window, letters.get(), whole.get());
    }
}

LRESULT CALLBACK OverlayProc(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_SETFONT:
            SetPropW(window, kFontProperty, reinterpret_cast<HANDLE>(wParam));
            Reshape(window);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(FontOf(window));
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(window, id, wParam, lParam);
            Reshape(window);
            Uncover(window);
            return result;
        }
        case WM_SIZE:
            Reshape(window);
            return 0;
        case WM_MOVE:
            InvalidateRect(window, nullptr, FALSE);  // painted, and so composed, at its place
            return 0;
        case WM_SHOWWINDOW:
            if (wParam == FALSE) {
                D3dPanels::HideOverlay(window);
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            Paint(window);
            return 0;
        case WM_NCDESTROY:
            RemovePropW(window, kFontProperty);
            D3dPanels::HideOverlay(window);
            break;
        default:
            break;
    }
    return DefWindowProcW(window, id, wParam, lParam);
}

}  // namespace

void RegisterOverlayClass(HINSTANCE instance) {
    WNDCLASSEXW overlay{};
    overlay.cbSize = sizeof(overlay);
    overlay.lpfnWndProc = OverlayProc;
    overlay.hInstance = instance;
    overlay.hCursor = LoadCursor(nullptr, IDC_ARROW);
    overlay.lpszClassName = kOverlayClass;
    RegisterClassExW(&overlay);
}

}  // namespace morvel::win32
