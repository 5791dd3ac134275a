// Files of the program's own (the settings file, the saver's state): read whole, and
// replaced in one step, so that a crash or a full disk leaves the old file or the new one,
// never a torn one.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace morvel::store {

// A write that could not reach the file. The message is "Unable to write to <path>".
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The bytes of the file at this UTF-8 path; empty when no regular file stands there;
// nothing when one does but cannot be read. Throws what converting the path throws.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Replaces the file at `path` with `text` in one step (a temporary file beside it, flushed
// to the disk, renamed over it), making its folders where missing. Throws StoreError when
// it cannot; the old file is then intact.
void ReplaceFile(const std::string& path, const std::string& text);
// Whether a regular file stands at the path.
bool IsFile(const std::string& path);

}  // namespace morvel::store
