// Boxes and dialogs, the screen, the settings folder, the X11 window search, the shell's open
// and the ALSA mixer.
// The seam first: the X headers define names (None, Status) its declarations use.
#include "platform/linux/linux_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <alsa/asoundlib.h>
#include <gdk/gdkx.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace morvel::linux_backend {

namespace {

// The mixer's result codes, numbered as the wave mixer numbers them, so that a failure reads
// the same in the program's report.
constexpr std::uint32_t kBadDevice = 2;       // no mixer on the default device
constexpr std::uint32_t kInvalidLine = 1024;  // no element with a playback switch
constexpr std::uint32_t kInvalidControl = 1025;
constexpr int kWindowSearchDepth = 3;
constexpr int kChooserWidth = 720;
constexpr int kChooserHeight = 480;  // a window manager puts its frames between

GtkMessageType TypeOf(platform::MessageBoxKind kind) {
    switch (kind) {
        case platform::MessageBoxKind::Information:
            return GTK_MESSAGE_INFO;
        case platform::MessageBoxKind::Warning:
            return GTK_MESSAGE_WARNING;
        case platform::MessageBoxKind::Error:
            return GTK_MESSAGE_ERROR;
        case platform::MessageBoxKind::Confirmation:
            return GTK_MESSAGE_QUESTION;
        case platform::MessageBoxKind::Plain:
            break;
    }
    return GTK_MESSAGE_OTHER;
}

// GTK 3's message dialogs show no icon of their own; the boxes show the kind's, as they do on
// Windows.
const char* IconOf(platform::MessageBoxKind kind) {
    switch (kind) {
        case platform::MessageBoxKind::Information:
            return "dialog-information";
        case platform::MessageBoxKind::Warning:
            return "dialog-warning";
        case platform::MessageBoxKind::Error:
            return "dialog-error";
        case platform::MessageBoxKind::Confirmation:
            return "dialog-question";
        case platform::MessageBoxKind::Plain:
            break;
    }
    return nullptr;
}

GtkWindow* OwnerWindow(Handle owner) {
    auto* widget = reinterpret_cast<GtkWidget*>(owner);
    return owner != 0 && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

// A pattern in both cases as well as given: file names here are case-sensitive, the
// patterns were written for a system where they are not.
void AddPatterns(GtkFileFilter* filter, const std::string& patterns) {
    std::stringstream list(patterns);
    std::string pattern;
    while (std::getline(list, pattern, ';')) {
        std::string lower = pattern;
        std::string upper = pattern;
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        gtk_file_filter_add_pattern(filter, pattern.c_str());
        gtk_file_filter_add_pattern(filter, lower.c_str());
        gtk_file_filter_add_pattern(filter, upper.c_str());
    }
}

struct MixerClose {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using OwnedMixer = std::unique_ptr<snd_mixer_t, MixerClose>;

// ALSA's own complaints on the terminal: the program reports a failure by its code.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The default device's mixer, loaded; the ALSA error code when it cannot be had.
OwnedMixer OpenMixer(int& error) {
    snd_lib_error_set_handler(QuietAlsa);
    snd_mixer_t* raw = nullptr;
    error = snd_mixer_open(&raw, 0);
    OwnedMixer mixer(error == 0 ? raw : nullptr);
    if (error == 0 && (error = snd_mixer_attach(raw, "default")) == 0 &&
        (error = snd_mixer_selem_register(raw, nullptr, nullptr)) == 0) {
        error = snd_mixer_load(raw);
    }
    return error == 0 ? std::move(mixer) : nullptr;
}

// "Master" when it has a playback switch, else the first element that has one; its place
// among the elements is the line's number.
snd_mixer_elem_t* MuteElement(snd_mixer_t* mixer, std::uint32_t* index) {
    snd_mixer_elem_t* first = nullptr;
    std::uint32_t firstIndex = 0;
    std::uint32_t at = 0;
    for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer); element != nullptr;
         element = snd_mixer_elem_next(element), ++at) {
        if (!snd_mixer_selem_has_playback_switch(element)) {
            continue;
        }
        if (std::string(snd_mixer_selem_get_name(element)) == "Master") {
            *index = at;
            return element;
        }
        if (first == nullptr) {
            first = element;
            firstIndex = at;
        }
    }
    *index = firstIndex;
    return first;
}

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

}  // namespace

// --- Boxes and dialogs -----------------------------------------------------------------------

gint LinuxPlatform::runDialog(GtkWidget* dialog) {
    runningDialogs_.push_back(dialog);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    std::erase(runningDialogs_, dialog);
    return response;
}

std::optional<std::string> LinuxPlatform::runChooser(GtkWidget* dialog) {
    // A size and place of its own: its saved ones may not fit, and no window manager may
    // be there to place it.
    gtk_window_set_default_size(GTK_WINDOW(dialog), kChooserWidth, kChooserHeight);
    GdkGeometry limit{};
    limit.max_width = kChooserWidth;
    limit.max_height = kChooserHeight;
    gtk_window_set_geometry_hints(GTK_WINDOW(dialog), nullptr, &limit, GDK_HINT_MAX_SIZE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);  // Enter opens
    std::optional<std::string> chosen;
    if (runDialog(dialog) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            chosen = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void TraceBox(const std::string& caption, const std::string& text) {
    if (std::getenv("MORVEL_TRACE_BOXES") == nullptr) {
        return;
    }
    std::string line = "box: " + caption + ": ";
    for (const char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\\') {
            line += "\\\\";
        } else {
            line += c;
        }
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void LinuxPlatform::messageBox(Handle owner, const std::string& caption, const std::string& text,
                               platform::MessageBoxKind kind) {
    if (host_ != nullptr) {
        // Nobody could answer a box under a locker's grab; its log keeps the message.
        std::fprintf(stderr, "morvel: %s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    GtkWidget* box = gtk_message_dialog_new(OwnerWindow(owner), GTK_DIALOG_MODAL, TypeOf(kind),
                                            GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    if (const char* icon = IconOf(kind)) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(box), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    TraceBox(caption, text);
    // Centred by GTK itself: on a display without a window manager nobody else places it.
    gtk_window_set_position(GTK_WINDOW(box),
                            owner == 0 ? GTK_WIN_POS_CENTER : GTK_WIN_POS_CENTER_ON_PARENT);
    if (owner == 0) {
        // Without an owner it could open behind the topmost saver and leave it looking frozen.
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    }
    runDialog(box);
    gtk_widget_destroy(box);
}

std::optional<std::string> LinuxPlatform::openFileDialog(Handle owner,
                                                         const platform::OpenFileRequest& request) {
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title.empty() ? "Open" : request.title.c_str(),
                                    OwnerWindow(owner), GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    for (const platform::FileFilter& wanted : request.filters) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, wanted.label.c_str());
        AddPatterns(filter, wanted.patterns);
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);  // the first is in force
    }
    if (!request.initialDirectory.empty()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog),
                                            request.initialDirectory.c_str());
    }
    return runChooser(dialog);
}

std::optional<std::string> LinuxPlatform::folderDialog(Handle owner, const std::string& title,
                                                       const std::string& initialDirectory) {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title.c_str(), OwnerWindow(owner), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
    std::error_code error;
    if (!initialDirectory.empty() && std::filesystem::is_directory(initialDirectory, error)) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), initialDirectory.c_str());
    }
    return runChooser(dialog);
}

std::vector<std::string> LinuxPlatform::filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error)) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

// --- Screen and system -----------------------------------------------------------------------

platform::Size LinuxPlatform::screenSize() const {
    if (host_ != nullptr) {
        return hostSize();
    }
    GdkMonitor* monitor = PrimaryMonitor();
    GdkRectangle area{};
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    return {area.width, area.height};
}

int LinuxPlatform::showCursor(bool show) {
    cursorCount_ += show ? 1 : -1;
    if (host_ != nullptr) {
        return cursorCount_;  // over a locker's window the cursor is the locker's
    }
    for (const auto& [handle, data] : windows_) {
        applyCursor(data->window);
        for (GtkWidget* cover : data->covers) {
            applyCursor(cover);
        }
    }
    return cursorCount_;
}

// Below zero the cursor is blank over every window of the program.
void LinuxPlatform::applyCursor(GtkWidget* window) const {
    GdkWindow* native = gtk_widget_get_window(window);
    if (native == nullptr) {
        return;  // not realized yet: done when it is
    }
    GdkCursor* blank = cursorCount_ < 0 ? gdk_cursor_new_for_display(gdk_window_get_display(native),
                                                                     GDK_BLANK_CURSOR)
                                        : nullptr;
    gdk_window_set_cursor(native, blank);
    if (blank != nullptr) {
        g_object_unref(blank);
    }
}

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

bool LinuxPlatform::fileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::uint32_t LinuxPlatform::millisecondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(now.count() % (24LL * 60 * 60 * 1000));
}

bool LinuxPlatform::findWindow(const std::string& className, const std::string& caption) {
    GdkDisplay* display = gdk_display_get_default();
    if (host_ != nullptr) {
        return false;  // a locker starts one hack for each window it has, and ends them
    }
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        return false;
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

// --- Mixer: one line, the mute switch, found by the same element each time --------------------

std::uint32_t LinuxPlatform::mixerFindLine(std::uint32_t /*mixerId*/, std::uint32_t /*type*/,
                                           std::uint32_t& lineId) {
    int error = 0;
    const OwnedMixer mixer = OpenMixer(error);
    if (!mixer) {
        return error < 0 ? static_cast<std::uint32_t>(-error) : kBadDevice;
    }
    return MuteElement(mixer.get(), &lineId) != nullptr ? 0 : kInvalidLine;
}

std::uint32_t LinuxPlatform::mixerFindControl(std::uint32_t /*mixerId*/, std::uint32_t lineId,
                                              std::uint32_t /*controlType*/,
                                              std::uint32_t& controlId) {
    controlId = lineId;  // the element's one switch
    return 0;
}

std::uint32_t LinuxPlatform::mixerSetBoolean(std::uint32_t /*mixerId*/, std::uint32_t controlId,
                                             bool value) {
    int error = 0;
    const OwnedMixer mixer = OpenMixer(error);
    if (!mixer) {
        return error < 0 ? static_cast<std::uint32_t>(-error) : kBadDevice;
    }
    std::uint32_t index = 0;
    snd_mixer_elem_t* element = MuteElement(mixer.get(), &index);
    if (element == nullptr || index != controlId) {
        return kInvalidControl;
    }
    // The switch is "sound on": muting turns it off.
    const int result = snd_mixer_selem_set_playback_switch_all(element, value ? 0 : 1);
    return result < 0 ? static_cast<std::uint32_t>(-result) : 0;
}

}  // namespace morvel::linux_backend
