// The settings file's text: how it is read and how one key is rewritten in it. The text is
// parsed line by line in one pass; nothing is held between calls but what a snapshot keeps.
//
// The format as this module reads it:
//   - lines end at LF; a CR right before the LF belongs to the line end, any other CR is a
//     blank like space and tab;
//   - a UTF-8 byte-order mark at the very start is skipped;
//   - after leading blanks, a line starting with ";" is a comment and a line starting with
//     "[" is a section header whose name runs to the first "]" (or the end of the line);
//   - any other line holding "=" is a key line ("key = value"); every other line is ignored;
//   - keys before the first section header belong to no section and are never found;
//   - a value is read as the system's own reader reads it: one pair of matching quotes
//     around it is dropped, and text an earlier version wrote in the system's code page
//     (not UTF-8) is turned into UTF-8.
#include "store/ini_format.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "common/ascii.h"
#include "common/utf8.h"

namespace morvel::store {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    return s.substr(i);
}

std::string_view trimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1])) {
        --n;
    }
    return s.substr(0, n);
}

std::string_view trim(std::string_view s) {
    return trimRight(trimLeft(s));
}

enum class LineKind { kOther, kSection, kKey };

struct Line {
    std::size_t begin = 0;       // first byte (past the byte-order mark on the first line)
    std::size_t contentEnd = 0;  // where the line end ("\n" or "\r\n") starts
    std::size_t end = 0;         // past the line end
    bool terminated = false;     // false only for a last line without a line end
    LineKind kind = LineKind::kOther;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key lines: everything after the first "=", untrimmed
};

// Walks a text line by line, classifying each line.
class LineReader {
  public:
    explicit LineReader(std::string_view text)
        : text_(text), pos_(text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0) {}

    bool next(Line& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        line = Line{};
        line.begin = pos_;
        const std::size_t newline = text_.find('\n', pos_);
        if (newline == std::string_view::npos) {
            line.contentEnd = line.end = text_.size();
        } else {
            line.terminated = true;
            line.end = newline + 1;
            line.contentEnd =
                (newline > pos_ && text_[newline - 1] == '\r') ? newline - 1 : newline;
        }
        pos_ = line.end;
        classify(line);
        return true;
    }

  private:
    void classify(Line& line) const {
        const std::string_view body =
            trimLeft(text_.substr(line.begin, line.contentEnd - line.begin));
        if (body.empty() || body.front() == ';') {
            return;
        }
        if (body.front() == '[') {
            const std::string_view inside = body.substr(1);
            line.kind = LineKind::kSection;
            line.name = trim(inside.substr(0, inside.find(']')));
            return;
        }
        const std::size_t equals = body.find('=');
        if (equals != std::string_view::npos) {
            line.kind = LineKind::kKey;
            line.name = trimRight(body.substr(0, equals));
            line.value = body.substr(equals + 1);
        }
    }

    std::string_view text_;
    std::size_t pos_;
};

// What a write needs to know about the text: where the section and the key stand.
struct Location {
    std::optional<Line> header;   // the first section of the name
    std::optional<Line> lastKey;  // its last key line before the match (or overall)
    std::optional<Line> match;    // the first line of the key in that section
};

Location locate(std::string_view text, std::string_view section, std::string_view key) {
    Location where;
    LineReader reader(text);
    Line line;
    while (reader.next(line)) {
        if (line.kind == LineKind::kSection) {
            if (where.header) {
                break;  // past the end of the first section of the name
            }
            if (ascii::equalsIgnoringCase(line.name, section)) {
                where.header = line;
            }
        } else if (where.header && line.kind == LineKind::kKey) {
            if (ascii::equalsIgnoringCase(line.name, key)) {
                where.match = line;
                break;
            }
            where.lastKey = line;
        }
    }
    return where;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// A trimmed value less one pair of the same quote around it: "a" and 'a' are a, "" is empty;
// "a' and a lone quote are not quoted. Blanks inside the quotes belong to the value.
std::string_view withoutQuotes(std::string_view value) {
    const bool quoted =
        value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    return quoted ? value.substr(1, value.size() - 2) : value;
}

// The value as its users see it: a C string, without surrounding blanks or quotes, in
// UTF-8 where it can be had, of bounded length.
std::string cleanValue(std::string_view raw, const LegacyDecoder& legacy) {
    const std::string_view value = withoutQuotes(trim(raw.substr(0, raw.find('\0'))));
    std::string text = legacy && !utf8::isValid(value) ? legacy(value) : std::string(value);
    const std::string_view kept = utf8::firstCharacters(text, kMaxValueLength);
    if (kept.size() < text.size()) {
        text = std::string(trimRight(kept));
    }
    return text;
}

// What goes into the file for a value: the value itself, unless reading would take a pair
// of quotes off it; then it goes inside one more pair.
std::string storedForm(std::string_view value) {
    const std::string_view trimmed = trim(value);
    if (withoutQuotes(trimmed).size() == trimmed.size()) {
        return std::string(value);
    }
    return "\"" + std::string(trimmed) + "\"";
}

// The line end new lines get: the one the text already uses, CRLF when it has none.
std::string_view lineEndOf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
        return "\r\n";
    }
    return (newline > 0 && text[newline - 1] == '\r') ? "\r\n" : "\n";
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of("\r\n\0"sv) != s.npos;
}

void checkName(std::string_view name, bool isKey) {
    const bool breaksFormat = hasLineBreakOrNul(name) ||
                              name.find_first_of("]=") != std::string_view::npos ||
                              (isKey && !trimLeft(name).empty() &&
                               (trimLeft(name).front() == ';' || trimLeft(name).front() == '['));
    if (breaksFormat) {
        throw std::invalid_argument(std::string("The ") + (isKey ? "key" : "section") +
                                    " name cannot be stored in the settings file.");
    }
}

void checkValue(std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        throw std::invalid_argument("The value cannot be stored because it contains a line break.");
    }
    if (value.find('\0') != std::string_view::npos) {
        throw std::invalid_argument("The value cannot be stored because it contains a NUL byte.");
    }
}

std::string lowered(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), ascii::toLower);
    return lower;
}

}  // namespace

void checkStorable(std::string_view section, std::string_view key,
                   std::optional<std::string_view> value) {
    checkName(section, false);
    checkName(key, true);
    if (value) {
        checkValue(*value);
    }
}

std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key, const LegacyDecoder& legacy) {
    const Location where = locate(text, trim(section), trim(key));
    if (!where.match) {
        return std::nullopt;
    }
    return cleanValue(where.match->value, legacy);
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::optional<std::string_view> value) {
    checkStorable(section, key, value);
    section = trim(section);
    key = trim(key);
    const Location where = locate(text, section, key);
    const std::string_view lineEnd = lineEndOf(text);

    const std::string stored = value ? storedForm(*value) : std::string();
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + stored.size() + 8);
    const auto appendKeyLine = [&] { result.append(key).append("=").append(stored); };

    if (where.match) {
        result.append(text.substr(0, where.match->begin));
        if (value) {
            appendKeyLine();
            result.append(text.substr(where.match->contentEnd));
        } else {
            result.append(text.substr(where.match->end));
        }
    } else if (!value) {
        result.append(text);  // nothing to delete
    } else if (where.header) {
        const Line& after = where.lastKey ? *where.lastKey : *where.header;
        result.append(text.substr(0, after.end));
        if (!after.terminated) {
            result.append(lineEnd);
        }
        appendKeyLine();
        result.append(lineEnd).append(text.substr(after.end));
    } else {
        result.append(text);
        const bool onlyMark = text.empty() || text == kByteOrderMark;
        if (!onlyMark && text.back() != '\n') {
            result.append(lineEnd);
        }
        result.append("[").append(section).append("]").append(lineEnd);
        appendKeyLine();
        result.append(lineEnd);
    }
    return result;
}

IniSnapshot::IniSnapshot(std::string_view text, const LegacyDecoder& legacy) {
    LineReader reader(text);
    Line line;
    std::map<std::string, std::string>* section = nullptr;
    while (reader.next(line)) {
        if (line.kind == LineKind::kSection) {
            auto [entry, first] = sections_.try_emplace(lowered(line.name));
            section = first ? &entry->second : nullptr;  // a later one of the name is not read
        } else if (section != nullptr && line.kind == LineKind::kKey) {
            const std::string name = lowered(line.name);
            if (!section->contains(name)) {
                section->emplace(name, cleanValue(line.value, legacy));
            }
        }
    }
}

std::optional<std::string> IniSnapshot::find(std::string_view section, std::string_view key) const {
    const auto keys = sections_.find(lowered(trim(section)));
    if (keys == sections_.end()) {
        return std::nullopt;
    }
    const auto value = keys->second.find(lowered(trim(key)));
    if (value == keys->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

std::string IniSnapshot::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    return textOr(find(section, key), defaultValue);
}

std::int32_t IniSnapshot::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
    return integerOr(find(section, key), defaultValue);
}

bool IniSnapshot::readBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return boolOr(find(section, key), defaultValue);
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
    text = trim(text);
    const auto digitValue = [](char c, int base) -> int {
        int digit = 99;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        return digit < base ? digit : -1;
    };

    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        // Hexadecimal: the bits of a 32-bit word, so "0xFFFFFFFF" is -1.
        std::uint64_t number = 0;
        for (const char c : text.substr(2)) {
            const int digit = digitValue(c, 16);
            if (digit < 0) {
                return std::nullopt;
            }
            number = number * 16 + static_cast<std::uint64_t>(digit);
            if (number > std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
    }

    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t number = 0;
    for (const char c : text) {
        const int digit = digitValue(c, 10);
        if (digit < 0) {
            return std::nullopt;
        }
        number = number * 10 + digit;
        if (number > limit) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(negative ? -number : number);
}

std::string textOr(std::optional<std::string> value, std::string_view defaultValue) {
    return value ? std::move(*value) : std::string(defaultValue);
}

std::int32_t integerOr(const std::optional<std::string>& value, std::int32_t defaultValue) {
    return value ? parseInteger(*value).value_or(defaultValue) : defaultValue;
}

bool boolOr(const std::optional<std::string>& value, bool defaultValue) {
    return integerOr(value, defaultValue ? 1 : 0) != 0;
}

}  // namespace morvel::store
