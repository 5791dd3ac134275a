// The settings file's format, on text held in memory: finding a key, rewriting one key while
// every other byte stays as it is, and a snapshot that answers many reads from one parse.
// Nothing here touches a file; `IniFile` (ini_file.h) brings the text in and out. The fuzz
// target drives this part alone.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvel::store {

// Longest value a read returns, in characters.
inline constexpr std::size_t kMaxValueLength = 2047;

// The file is written in UTF-8. A value that is not UTF-8 was written by an earlier version
// in the system's own code page; this turns it into UTF-8 (SystemService::codePageToUtf8).
// Empty: such a value reads as its bytes.
using LegacyDecoder = std::function<std::string(std::string_view)>;

// The value of `key` in `section` (names matched without regard to case; the first section
// and the first key of that name win), as the system's own reader of the format gives it:
// trimmed of blanks, less one pair of matching quotes around it ("a" and 'a' read a; "a' and
// a lone " stay as they are), in UTF-8 (through `legacy` when it is not), and cut at
// kMaxValueLength characters; nothing when the section or key is absent.
std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key, const LegacyDecoder& legacy = {});

// `text` with `key` in `section` set to `value` (nothing: the key deleted). Every line not
// changed is kept byte for byte; an existing key is rewritten in its place, a new key goes
// to the end of its section, a new section to the end of the text. A value with a line
// break or a NUL, or a name that would read back as something else, throws
// std::invalid_argument: it could not be stored without changing other lines. A value that
// would lose its quotes on reading is written inside one more pair, so that it reads back
// as it was given (less its surrounding blanks, as every value).
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::optional<std::string_view> value);

// Throws the std::invalid_argument that withValue would for these names and value; returns
// when they can be stored. A writer checks before it touches the file.
void checkStorable(std::string_view section, std::string_view key,
                   std::optional<std::string_view> value);

// Integer and boolean encodings of a stored text.
std::optional<std::int32_t> parseInteger(std::string_view text);

// What a typed read answers for a value found or not: the value as the type reads it, else
// the default. A boolean is an integer, 0 for false; text that is no integer gives the default.
std::string textOr(std::optional<std::string> value, std::string_view defaultValue);
std::int32_t integerOr(const std::optional<std::string>& value, std::int32_t defaultValue);
bool boolOr(const std::optional<std::string>& value, bool defaultValue);

// The keys of a text, parsed once. Every read answers exactly as findValue would on the
// same text with the same decoder, so a snapshot and the file it was taken from never
// disagree about a key.
class IniSnapshot {
  public:
    explicit IniSnapshot(std::string_view text, const LegacyDecoder& legacy = {});

    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

  private:
    // Lower-case section name -> lower-case key name -> value as a read returns it; only the
    // first section of a name and the first key of a name in it.
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace morvel::store
