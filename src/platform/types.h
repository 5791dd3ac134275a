// The values that cross the seam: handles, messages, rectangles, colours and fonts. None of
// them is an operating-system type; every backend converts them to its own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace morvel::platform {

// Win32 message identifiers. Every backend translates its native input into these.
namespace msg {
inline constexpr std::uint32_t kKeyDown = 0x0100;
inline constexpr std::uint32_t kKeyUp = 0x0101;
inline constexpr std::uint32_t kChar = 0x0102;
inline constexpr std::uint32_t kSysKeyDown = 0x0104;
inline constexpr std::uint32_t kSysKeyUp = 0x0105;
inline constexpr std::uint32_t kMouseMove = 0x0200;
inline constexpr std::uint32_t kLButtonDown = 0x0201;
inline constexpr std::uint32_t kLButtonUp = 0x0202;
inline constexpr std::uint32_t kLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kRButtonDown = 0x0204;
inline constexpr std::uint32_t kRButtonUp = 0x0205;
inline constexpr std::uint32_t kMButtonDown = 0x0207;
inline constexpr std::uint32_t kMButtonUp = 0x0208;
inline constexpr std::uint32_t kMouseWheel = 0x020A;
}  // namespace msg

// An opaque window or control handle; 0 is "none". On Win32 it is the HWND's value.
using Handle = std::uintptr_t;

struct Message {
    Handle window = 0;
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The smallest rectangle that holds all of `rects` (the desktop, for the monitors); empty
// for none.
inline Rect BoundingRect(const std::vector<Rect>& rects) {
    if (rects.empty()) {
        return {};
    }
    int left = rects.front().left;
    int top = rects.front().top;
    int right = left + rects.front().width;
    int bottom = top + rects.front().height;
    for (const Rect& rect : rects) {
        left = std::min(left, rect.left);
        top = std::min(top, rect.top);
        right = std::max(right, rect.left + rect.width);
        bottom = std::max(bottom, rect.top + rect.height);
    }
    return Rect{left, top, right - left, bottom - top};
}

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    // The system's window-text colour, whatever it is on this desktop; red/green/blue unused.
    bool systemWindowText = false;
    friend bool operator==(const Color&, const Color&) = default;

    static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        return Color{r, g, b, false};
    }
    static constexpr Color windowText() { return Color{0, 0, 0, true}; }
};

struct Font {
    std::string face = "Arial";
    // Exactly one of the two sizes is given: a pixel height of the characters, or points.
    int pixelHeight = 0;
    int points = 8;
    bool bold = false;
    Color color = Color::windowText();
    friend bool operator==(const Font&, const Font&) = default;
};

}  // namespace morvel::platform
