// Drives the settings-file format with arbitrary bytes. The input holds a section name, a key
// name and a value (each ended by a backslash followed by another character), then the text.
// Reading must never fail, and a snapshot of the text must read as the text itself (also
// through a decoder of the system's code page, which always gives UTF-8); a written value
// must read back as the reader cleans it; other keys must keep their values;
// writing the same value twice must change nothing the second time.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf8.h"
#include "latin1.h"
#include "store/ini_format.h"

namespace {

using morvel::store::findValue;
using morvel::store::IniSnapshot;
using morvel::store::kMaxValueLength;
using morvel::store::parseInteger;
using morvel::store::withValue;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    return trimRight(s);
}

bool sameName(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Names the writer accepts: nothing that ends a header, splits a key line or breaks a line,
// and no key that would read as a comment or a header.
bool storableName(std::string_view name, bool isKey) {
    for (const char c : name) {
        if (c == ']' || c == '=' || c == '\r' || c == '\n' || c == '\0') {
            return false;
        }
    }
    const std::string_view start = trim(name);
    return !isKey || start.empty() || (start.front() != ';' && start.front() != '[');
}

// What a read of a stored value gives back: the writer keeps its quotes, so only blanks go.
std::string asRead(std::string_view value) {
    value = trim(value.substr(0, value.find('\0')));
    const std::string_view kept = morvel::utf8::firstCharacters(value, kMaxValueLength);
    return std::string(kept.size() < value.size() ? trimRight(kept) : value);
}

std::size_t characters(std::string_view text) {
    if (!morvel::utf8::isValid(text)) {
        return text.size();
    }
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void checkRead(const std::optional<std::string>& value) {
    if (value) {
        require(characters(*value) <= kMaxValueLength);
        require(value->find('\0') == std::string::npos);
    }
}

using morvel::test_support::latin1;

void checkInteger(std::string_view text) {
    if (const std::optional<std::int32_t> number = parseInteger(text)) {
        require(parseInteger(std::to_string(*number)) == number);
    }
}

struct Lookup {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    std::string value = input.ConsumeRandomLengthString(4 * kMaxValueLength);
    const std::string text = input.ConsumeRemainingBytesAsString();

    std::vector<Lookup> before;
    const IniSnapshot snapshot(text);
    for (const std::string& s : {section, std::string("VidConfig"), std::string("General")}) {
        for (const std::string& k : {key, std::string("Name1"), std::string()}) {
            std::optional<std::string> found = findValue(text, s, k);
            require(snapshot.find(s, k) == found);
            checkRead(found);
            const std::optional<std::string> decoded = findValue(text, s, k, latin1);
            require(decoded.has_value() == found.has_value());
            require(!decoded || morvel::utf8::isValid(*decoded));
            require(IniSnapshot(text, latin1).find(s, k) == decoded);
            if (found) {
                checkInteger(*found);
            }
            before.push_back({s, k, std::move(found)});
        }
    }
    checkInteger(value);

    std::erase_if(value, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    const bool storable = storableName(section, false) && storableName(key, true);
    std::string written;
    try {
        written = withValue(text, section, key, value);
    } catch (const std::invalid_argument&) {
        require(!storable);
        return 0;
    }
    require(storable);
    require(findValue(written, section, key) == asRead(value));
    require(withValue(written, section, key, value) == written);

    const std::string removed = withValue(text, section, key, std::nullopt);
    if (!findValue(text, section, key)) {
        require(removed == text);
    }
    for (const Lookup& other : before) {
        if (!(sameName(other.section, section) && sameName(other.key, key))) {
            require(findValue(written, other.section, other.key) == other.value);
            require(findValue(removed, other.section, other.key) == other.value);
        }
    }
    return 0;
}
