// The settings file: our own reader and writer of the initialization-file format, used on
// every platform so that the bytes are the same everywhere.
//
// An `IniFile` is only a path: every call opens the file, does its one thing and releases it.
// Nothing is cached, so a change made by another program is seen by the next call. Every
// write replaces the file atomically (temporary file beside it, flushed, renamed over it).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvel::store {

// A write that could not reach the file. The message is "Unable to write to <path>".
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Longest value a read returns, in characters.
inline constexpr std::size_t kMaxValueLength = 2047;

// --- The format, on text held in memory (also what the fuzz target drives) ---------------

// The value of `key` in `section` (names matched without regard to case; the first section
// and the first key of that name win), trimmed of blanks and cut at kMaxValueLength;
// nothing when the section or key is absent.
std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key);

// `text` with `key` in `section` set to `value` (nothing: the key deleted). Every line not
// changed is kept byte for byte; an existing key is rewritten in its place, a new key goes
// to the end of its section, a new section to the end of the text.
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::optional<std::string_view> value);

// Integer and boolean encodings of a stored text.
std::optional<std::int32_t> parseInteger(std::string_view text);

// --- The file --------------------------------------------------------------------------

class IniFile {
  public:
    explicit IniFile(std::string path);

    const std::string& path() const { return path_; }
    bool exists() const;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Each write throws StoreError when the file cannot be replaced; the old file is intact.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);

  private:
    std::string readAll() const;
    void replaceWith(const std::string& text);

    std::string path_;
};

}  // namespace morvel::store
