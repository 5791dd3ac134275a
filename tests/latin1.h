// Latin-1 to UTF-8: the stand-in for a system's code page where the store's readers and the
// fuzz target need one that turns every byte into a character.
#pragma once

#include <string>
#include <string_view>

namespace morvel::test_support {

inline std::string latin1(std::string_view text) {
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += static_cast<char>(0xC0 | (byte >> 6));
            result += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

}  // namespace morvel::test_support
