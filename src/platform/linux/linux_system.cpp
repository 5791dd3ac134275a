// The system services: the settings folder, files, the clock, the search for a running saver
// (X11's windows, Wayland's marks), the shell's open, and the media engine.
// The seam first: the X headers define names (None, Status) its declarations use.
#include "platform/linux/linux_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <langinfo.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/linux/gst_engine.h"

namespace morvel::linux_backend {

namespace {

constexpr int kWindowSearchDepth = 3;

bool MatchesWindow(Display* display, Window window, const std::string& className,
                   const std::string& caption) {
    XClassHint hint{};
    bool matches = false;
    if (XGetClassHint(display, window, &hint) != 0) {
        matches = hint.res_class != nullptr && className == hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    if (!matches) {
        return false;
    }
    char* name = nullptr;
    matches = XFetchName(display, window, &name) != 0 && name != nullptr && caption == name;
    XFree(name);
    return matches;
}

bool SearchWindows(Display* display, Window parent, const std::string& className,
                   const std::string& caption, int depth) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) {
        return false;
    }
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = MatchesWindow(display, children[i], className, caption) ||
                (depth > 1 && SearchWindows(display, children[i], className, caption, depth - 1));
    }
    XFree(children);
    return found;
}

// Makes `folder` and whichever of its parents are missing, each new one the user's alone
// (0700), as the base directory rules ask; folders already there keep their modes.
void MakeOwnFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            return;  // the writer meets the same failure and keeps no state
        }
    }
}

}  // namespace

// --- Files and folders -----------------------------------------------------------------------

// The settings file lives in the user's configuration folder, made when it is missing.
std::string LinuxPlatform::windowsDirectory() {
    std::string folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != 0) {
        folder = config;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        folder = std::string(home) + "/.config";
    } else {
        return {};
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

// $XDG_STATE_HOME/morvel, else ~/.local/state/morvel; a relative $XDG_STATE_HOME is to be
// ignored, as the base directory rules say.
std::string LinuxPlatform::stateDirectory() {
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        base = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    const std::string folder = base + "/morvel";
    MakeOwnFolders(folder);
    return folder;
}

bool LinuxPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::vector<std::string> LinuxPlatform::filesInFolder(const std::string& folder) {
    // Never the throwing iterator: a folder that fails part-way (a failing disk, a share gone
    // away) lists what it could, and an entry gone before it is looked at is left out.
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code unreadable;
        if (entry->is_regular_file(unreadable)) {
            names.push_back(entry->path().filename().string());
        }
    }
    return names;
}

// The settings file of a Linux program held a file's name as its bytes: they name the file.
std::string LinuxPlatform::codePageToUtf8(std::string_view text) {
    return std::string(text);
}

// --- Clock, window search, shell -------------------------------------------------------------

std::uint32_t LinuxPlatform::millisecondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(now.count() % (24LL * 60 * 60 * 1000));
}

namespace {

std::string LocalNow(const std::string& format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[256];
    const std::size_t length = std::strftime(text, sizeof text, format.c_str(), &local);
    return std::string(text, length);
}

// The locale's time format without its seconds: the clock changes on the minute.
std::string TimeFormatWithoutSeconds() {
    std::string format = nl_langinfo(T_FMT);
    if (format == "%r") {
        format = nl_langinfo(T_FMT_AMPM);
    }
    for (const char* seconds : {":%S", ".%S", "%S"}) {
        if (const std::size_t at = format.find(seconds); at != std::string::npos) {
            format.erase(at, std::char_traits<char>::length(seconds));
        }
    }
    if (format == "%T") {
        format = "%H:%M";
    }
    return format.empty() ? "%H:%M" : format;
}

}  // namespace

std::string LinuxPlatform::localTimeText() {
    return LocalNow(TimeFormatWithoutSeconds());
}

std::string LinuxPlatform::localDateText() {
    return LocalNow(std::string("%A, ") + nl_langinfo(D_FMT));
}

// Asked as the command line starts the program; a locker's hack is not asked (main runs it
// directly), as a locker starts one for each of its windows and ends them itself.
bool LinuxPlatform::findWindow(const std::string& className, const std::string& caption) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) {
        return false;
    }
    if (!GDK_IS_X11_DISPLAY(display)) {
        return WindowMarker::Held(className, caption);
    }
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    return SearchWindows(x, DefaultRootWindow(x), className, caption, kWindowSearchDepth);
}

// The desktop's default application for the address; never through a shell.
std::intptr_t LinuxPlatform::shellOpen(Handle parent, const std::string& target,
                                       platform::ShowCommand /*show*/) {
    constexpr std::intptr_t kOpened = 42;
    constexpr std::intptr_t kNotFound = 2;
    std::string uri = target;
    if (gchar* scheme = g_uri_parse_scheme(target.c_str())) {
        g_free(scheme);
    } else if (gchar* file = g_filename_to_uri(target.c_str(), nullptr, nullptr)) {
        uri = file;
        g_free(file);
    }
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
        return kOpened;
    }
    // The desktop says why, as the shell of the other platform does in its own box.
    const std::string reason = error != nullptr ? error->message : "No application opens " + uri;
    if (error != nullptr) {
        g_error_free(error);
    }
    messageBox(parent, title_, reason, platform::MessageBoxKind::Error);
    return kNotFound;
}

// --- Media -----------------------------------------------------------------------------------

std::unique_ptr<media::MediaEngine> LinuxPlatform::createMediaEngine() {
    return std::make_unique<GstEngine>();
}

}  // namespace morvel::linux_backend
