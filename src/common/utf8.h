// Text inside the program is UTF-8 on every platform: paths, captions, the settings file's
// values. These helpers tell well-formed UTF-8 from other bytes, count its characters, and
// make file-system paths from it, so that every platform opens the file the text names.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace morvel::utf8 {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 to 4 bytes); 0 when
// none starts there (a stray continuation byte, an overlong form, a surrogate, a cut-off end).
constexpr std::size_t sequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range the second byte must lie in
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong form
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

constexpr bool isValid(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

// The first `count` characters of `text`: of UTF-8 its whole characters, never part of one;
// of other bytes (a value that could not be read as text), its bytes.
constexpr std::string_view firstCharacters(std::string_view text, std::size_t count) {
    if (!isValid(text)) {
        return text.substr(0, count);
    }
    std::size_t end = 0;
    for (std::size_t n = 0; n < count && end < text.size(); ++n) {
        end += sequenceLength(text.substr(end));
    }
    return text.substr(0, end);
}

// The path the UTF-8 text names. On Windows the file system's names are UTF-16 and the text
// is converted; elsewhere a name is its bytes, whatever they are, and they are kept.
inline std::filesystem::path toPath(std::string_view text) {
#ifdef _WIN32
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
#else
    return std::filesystem::path(std::string(text));
#endif
}

// The path's name as UTF-8 text (the reverse of toPath).
inline std::string fromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
#else
    return path.string();
#endif
}

}  // namespace morvel::utf8
