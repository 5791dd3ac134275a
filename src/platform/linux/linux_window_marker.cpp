#include "platform/linux/linux_window_marker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace morvel::linux_backend {

namespace {

// One mark per display, so that a saver on one compositor does not keep another's away.
std::filesystem::path MarkPath(const std::string& className, const std::string& caption) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/') {
        return {};
    }
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const std::size_t name = std::hash<std::string>{}(className + '\n' + caption);
    return std::filesystem::path(runtime) /
           ("morvel-" + std::to_string(name) + "-" + (display != nullptr ? display : "") + ".lock");
}

int OpenMark(const std::filesystem::path& path) {
    return path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

WindowMarker::WindowMarker(const std::string& className, const std::string& caption)
    : descriptor_(OpenMark(MarkPath(className, caption))) {
    // Shared, so that several windows of one name may hold it; a probe's exclusive hold lasts
    // only for its look, so the wait is short.
    if (descriptor_ >= 0 && ::flock(descriptor_, LOCK_SH) != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

WindowMarker::~WindowMarker() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

bool WindowMarker::Held(const std::string& className, const std::string& caption) {
    const int descriptor = OpenMark(MarkPath(className, caption));
    if (descriptor < 0) {
        return false;
    }
    const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
    return held;
}

}  // namespace morvel::linux_backend
