// Files of our own on the disk: read whole, replaced in one step through a temporary file
// and a rename, the temporary files of killed writers swept away.
#include "store/file_io.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <utility>

#include "common/utf8.h"

#ifdef _WIN32
#include <io.h>       // _commit (C runtime)
#include <process.h>  // _getpid (C runtime)
#else
#include <unistd.h>  // fsync, getpid
#endif

namespace morvel::store {

namespace {

namespace fs = std::filesystem;

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
std::optional<std::string> ReadFileAt(const fs::path& path) {
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
    const std::string prefix = utf8::fromPath(target.filename()) + ".";
    const auto abandonedBefore = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = utf8::fromPath(it->path().filename());
        const bool ours =
            name.size() > prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".tmp");
        std::error_code ignored;
        if (ours && it->is_regular_file(ignored) &&
            it->last_write_time(ignored) < abandonedBefore) {
            fs::remove(it->path(), ignored);
        }
    }
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    return ReadFileAt(utf8::toPath(path));
}

// Replaces the file at `path` with `text` in one step, making its folders where missing.
void ReplaceFile(const std::string& path, const std::string& text) {
    const StoreError failure("Unable to write to " + path);
    try {
        const fs::path target = utf8::toPath(path);
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
        return fs::is_regular_file(utf8::toPath(path), error);
    } catch (const std::exception&) {
        return false;  // a path that cannot even be converted names no file
    }
}

}  // namespace morvel::store
