// Letter case of plain ASCII text: switches, settings-file names and file patterns compare
// their letters a to z without regard to case and leave every other byte as it is.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace morvel::ascii {

constexpr char toLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char toUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), toUpper);
    return text;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return toLower(x) == toLower(y);
           });
}

}  // namespace morvel::ascii
