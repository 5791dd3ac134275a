// The settings file: our own reader and writer of the initialization-file format, used on
// every platform so that the bytes are the same everywhere.
//
// An `IniFile` is only a location: every call opens the file, does its one thing and releases
// it. Nothing is cached, so a change made by another program is seen by the next call. Every
// write replaces the file atomically (temporary file beside it, flushed, renamed over it).
// A reader of many keys at one moment (the saver reads its whole list at start) takes an
// `IniSnapshot` instead: the file read and parsed once. The text itself is ini_format.h's.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_io.h"

#include "store/ini_format.h"
#include "store/store_path.h"

namespace morvel::store {

// One key's new value for IniFile::writeAll; no value deletes the key.
struct KeyChange {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

// Paths are UTF-8, and so is what is written. Reads turn a value that is not UTF-8 into
// UTF-8 through `legacy` (see LegacyDecoder); writes keep every line they do not change as
// it was, whatever its bytes.
class IniFile {
  public:
    // A file at one place only.
    explicit IniFile(std::string path, LegacyDecoder legacy = {});
    // The settings file with a copy per user: reads take the user's copy when it exists,
    // else the shared one. Writes go to the user's copy when it exists, else to the shared
    // one; when that is refused, the user's copy is made from the shared one (copy on
    // write) with the change in it, and the shared file stays as it was.
    explicit IniFile(StoreLocation location, LegacyDecoder legacy = {});

    // The file reads come from now.
    const std::string& path() const;
    bool exists() const;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // The whole file as it stands now, read once; a file that cannot be read gives an empty
    // snapshot, as each single read would.
    IniSnapshot snapshot() const;

    // Each write throws StoreError when the file cannot be replaced; the old file is intact.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);
    // Makes the changes in order, as the single writes would, but in one replace of the
    // file: either all of them reach it or none does. A name or value that cannot be stored
    // throws std::invalid_argument before anything is written.
    void writeAll(const std::vector<KeyChange>& changes);

  private:
    std::string readAll() const;
    // The current text for a read-modify-write; throws StoreError when a file stands there
    // but cannot be read, since rewriting it would lose every other setting in it.
    std::string readForUpdate() const;
    void replaceWith(const std::string& text);

    StoreLocation location_;
    LegacyDecoder legacy_;
};

}  // namespace morvel::store
