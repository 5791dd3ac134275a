// The settings file on the disk: the user's own copy when the shared file refuses a write.
// How a file is read and replaced is file_io's; what the text means is ini_format's.
#include "store/ini_file.h"

#include <exception>
#include <optional>
#include <utility>

#include "store/file_io.h"

namespace morvel::store {

IniFile::IniFile(std::string path, LegacyDecoder legacy)
    : location_{std::move(path), {}}, legacy_(std::move(legacy)) {}

IniFile::IniFile(StoreLocation location, LegacyDecoder legacy)
    : location_(std::move(location)), legacy_(std::move(legacy)) {}

const std::string& IniFile::path() const {
    const bool userCopyExists = !location_.userCopy.empty() && IsFile(location_.userCopy);
    return userCopyExists ? location_.userCopy : location_.shared;
}

bool IniFile::exists() const {
    return IsFile(path());
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    return textOr(findValue(readAll(), section, key, legacy_), defaultValue);
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
    return integerOr(findValue(readAll(), section, key, legacy_), defaultValue);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return boolOr(findValue(readAll(), section, key, legacy_), defaultValue);
}

IniSnapshot IniFile::snapshot() const {
    return IniSnapshot(readAll(), legacy_);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    writeAll({KeyChange{std::string(section), std::string(key), std::string(value)}});
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    writeAll({KeyChange{std::string(section), std::string(key), std::nullopt}});
}

void IniFile::writeAll(const std::vector<KeyChange>& changes) {
    for (const KeyChange& change : changes) {
        checkStorable(change.section, change.key, change.value);
    }
    const std::string text = readForUpdate();
    std::string updated = text;
    for (const KeyChange& change : changes) {
        updated = withValue(updated, change.section, change.key, change.value);
    }
    // Nothing changed (a key deleted that was not there, a value written again): the file,
    // present or not, stays as it is.
    if (updated != text) {
        replaceWith(updated);
    }
}

std::string IniFile::readForUpdate() const {
    std::optional<std::string> text;
    try {
        text = ReadWholeFile(path());
    } catch (const std::exception&) {
    }
    if (!text) {
        throw StoreError("Unable to write to " + path());
    }
    return std::move(*text);
}

std::string IniFile::readAll() const {
    try {
        return ReadWholeFile(path()).value_or(std::string());
    } catch (const std::exception&) {
        return std::string();  // unreadable reads as empty
    }
}

void IniFile::replaceWith(const std::string& text) {
    const std::string& current = path();
    if (current == location_.userCopy || location_.userCopy.empty()) {
        ReplaceFile(current, text);
        return;
    }
    try {
        ReplaceFile(location_.shared, text);
    } catch (const StoreError&) {
        ReplaceFile(location_.userCopy, text);  // the text is the shared file's, changed
    }
}

}  // namespace morvel::store
