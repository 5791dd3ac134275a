// The settings file reader and writer. The text is parsed line by line in one pass; nothing
// is held between calls but what a snapshot keeps.
//
// The format as this module reads it:
//   - lines end at LF; a CR right before the LF belongs to the line end, any other CR is a
//     blank like space and tab;
//   - a UTF-8 byte-order mark at the very start is skipped;
//   - after leading blanks, a line starting with ";" is a comment and a line starting with
//     "[" is a section header whose name runs to the first "]" (or the end of the line);
//   - any other line holding "=" is a key line ("key = value"); every other line is ignored;
//   - keys before the first section header belong to no section and are never found.
#include "store/ini_file.h"

#include "common/ascii.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>       // _commit (C runtime)
#include <process.h>  // _getpid (C runtime)
#else
#include <unistd.h>  // fsync, getpid
#endif

namespace morvel::store {

namespace {

namespace fs = std::filesystem;
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

// The value as its users see it: a C string, without surrounding blanks, of bounded length.
std::string cleanValue(std::string_view raw) {
    std::string_view value = trim(raw.substr(0, raw.find('\0')));
    if (value.size() > kMaxValueLength) {
        value = trimRight(value.substr(0, kMaxValueLength));
    }
    return std::string(value);
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

// --- Files ------------------------------------------------------------------------------

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const fs::path& path, bool forWriting) {
#ifdef _WIN32
    return FilePtr(_wfopen(path.c_str(), forWriting ? L"wb" : L"rb"));
#else
    return FilePtr(std::fopen(path.c_str(), forWriting ? "wb" : "rb"));
#endif
}

// The file's bytes; empty when no regular file stands at the path; nothing when one does
// but cannot be read.
std::optional<std::string> readText(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        return std::string();
    }
    if (error) {
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        return std::string();
    }
    const FilePtr file = openFile(path, false);
    if (!file) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, 16384> buffer;
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        text.append(buffer.data(), count);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return text;
}

// Writes the bytes to a new file and makes sure they are on the disk before returning true.
bool writeDurably(const fs::path& path, const std::string& text) {
    FilePtr file = openFile(path, true);
    if (!file) {
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    ok = ok && std::fflush(file.get()) == 0;
#ifdef _WIN32
    ok = ok && _commit(_fileno(file.get())) == 0;
#else
    ok = ok && fsync(fileno(file.get())) == 0;
#endif
    return std::fclose(file.release()) == 0 && ok;
}

// A name no other writer, in this process or another, picks at the same time.
std::string temporarySuffix() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t salt = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device() ^
               static_cast<std::uint64_t>(
                   std::chrono::steady_clock::now().time_since_epoch().count());
    }();
#ifdef _WIN32
    const auto processId = static_cast<std::uint64_t>(_getpid());
#else
    const auto processId = static_cast<std::uint64_t>(getpid());
#endif
    std::array<char, 80> name;
    std::snprintf(name.data(), name.size(), ".%llx-%llx-%llx.tmp",
                  static_cast<unsigned long long>(processId),
                  static_cast<unsigned long long>(counter.fetch_add(1)),
                  static_cast<unsigned long long>(salt));
    return name.data();
}

}  // namespace

// --- The format -------------------------------------------------------------------------

std::optional<std::string> findValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    const Location where = locate(text, trim(section), trim(key));
    if (!where.match) {
        return std::nullopt;
    }
    return cleanValue(where.match->value);
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::optional<std::string_view> value) {
    checkName(section, false);
    checkName(key, true);
    if (value) {
        checkValue(*value);
    }
    section = trim(section);
    key = trim(key);
    const Location where = locate(text, section, key);
    const std::string_view lineEnd = lineEndOf(text);

    std::string result;
    result.reserve(text.size() + section.size() + key.size() + (value ? value->size() : 0) + 8);
    const auto appendKeyLine = [&] { result.append(key).append("=").append(*value); };

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

namespace {

std::string lowered(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), ascii::toLower);
    return lower;
}

std::int32_t integerOr(const std::optional<std::string>& value, std::int32_t defaultValue) {
    return value ? parseInteger(*value).value_or(defaultValue) : defaultValue;
}

}  // namespace

IniSnapshot::IniSnapshot(std::string_view text) {
    LineReader reader(text);
    Line line;
    std::map<std::string, std::string>* section = nullptr;
    while (reader.next(line)) {
        if (line.kind == LineKind::kSection) {
            auto [entry, first] = sections_.try_emplace(lowered(line.name));
            section = first ? &entry->second : nullptr;  // a later one of the name is not read
        } else if (section != nullptr && line.kind == LineKind::kKey) {
            section->try_emplace(lowered(line.name), cleanValue(line.value));
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
    std::optional<std::string> value = find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::int32_t IniSnapshot::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
    return integerOr(find(section, key), defaultValue);
}

bool IniSnapshot::readBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
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

// --- The file ---------------------------------------------------------------------------

namespace {

// A writer that was killed between writing its temporary file and renaming it leaves the
// file behind. Once per process and folder, the first write removes those of the settings
// file that are older than any live writer's can be.
void RemoveAbandonedTemporaries(const fs::path& target) {
    static std::mutex mutex;
    static std::set<fs::path> swept;
    const std::lock_guard lock(mutex);
    if (!swept.insert(target).second) {
        return;
    }
    const std::string prefix = target.filename().string() + ".";
    const auto abandonedBefore = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool ours =
            name.size() > prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".tmp");
        std::error_code ignored;
        if (ours && it->is_regular_file(ignored) &&
            it->last_write_time(ignored) < abandonedBefore) {
            fs::remove(it->path(), ignored);
        }
    }
}

// Replaces the file at `path` with `text` in one step, making its folders where missing.
void ReplaceFile(const std::string& path, const std::string& text) {
    const StoreError failure("Unable to write to " + path);
    try {
        const fs::path target(path);
        std::error_code error;
        if (target.has_parent_path()) {
            fs::create_directories(target.parent_path(), error);
            if (error) {
                throw failure;
            }
        }
        fs::path temporary = target;
        temporary += temporarySuffix();
        bool ok = writeDurably(temporary, text);
        if (ok) {
            fs::rename(temporary, target, error);
            ok = !error;
        }
        if (!ok) {
            fs::remove(temporary, error);
            throw failure;
        }
        RemoveAbandonedTemporaries(target);
    } catch (const StoreError&) {
        throw;
    } catch (const std::exception&) {
        throw failure;  // e.g. a path that cannot be converted, or no memory for it
    }
}

bool IsFile(const std::string& path) {
    try {
        std::error_code error;
        return fs::is_regular_file(fs::path(path), error);
    } catch (const std::exception&) {
        return false;  // a path that cannot even be converted names no file
    }
}

}  // namespace

IniFile::IniFile(std::string path) : location_{std::move(path), {}} {}

IniFile::IniFile(StoreLocation location) : location_(std::move(location)) {}

const std::string& IniFile::path() const {
    const bool userCopyExists = !location_.userCopy.empty() && IsFile(location_.userCopy);
    return userCopyExists ? location_.userCopy : location_.shared;
}

bool IniFile::exists() const {
    return IsFile(path());
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    std::optional<std::string> value = findValue(readAll(), section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
    return integerOr(findValue(readAll(), section, key), defaultValue);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

IniSnapshot IniFile::snapshot() const {
    return IniSnapshot(readAll());
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    checkName(section, false);
    checkName(key, true);
    checkValue(value);
    const std::string text = readForUpdate();
    std::string updated = withValue(text, section, key, value);
    if (updated != text) {
        replaceWith(updated);
    }
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    checkName(section, false);
    checkName(key, true);
    const std::string text = readForUpdate();
    std::string updated = withValue(text, section, key, std::nullopt);
    if (updated != text) {  // nothing deleted: the file, present or not, stays as it is
        replaceWith(updated);
    }
}

void IniFile::writeAll(const std::vector<KeyChange>& changes) {
    for (const KeyChange& change : changes) {
        checkName(change.section, false);
        checkName(change.key, true);
        if (change.value) {
            checkValue(*change.value);
        }
    }
    const std::string text = readForUpdate();
    std::string updated = text;
    for (const KeyChange& change : changes) {
        std::optional<std::string_view> value;
        if (change.value) {
            value = *change.value;
        }
        updated = withValue(updated, change.section, change.key, value);
    }
    if (updated != text) {
        replaceWith(updated);
    }
}

std::string IniFile::readForUpdate() const {
    std::optional<std::string> text;
    try {
        text = readText(fs::path(path()));
    } catch (const std::exception&) {
    }
    if (!text) {
        throw StoreError("Unable to write to " + path());
    }
    return std::move(*text);
}

std::string IniFile::readAll() const {
    try {
        return readText(fs::path(path())).value_or(std::string());
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
