// The hack: which window a locker gives, and the saver's life inside it.
// The seam first: the X headers define names (None, Status) its declarations use.
#include "platform/linux/linux_host.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/linux_common.h"

namespace morvel::linux_backend {

namespace {

// Hexadecimal ("0x2a00007") as lockers write it, or decimal; nothing after the number.
std::optional<unsigned long> WindowIdOf(const std::string& text) {
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long id = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || id == 0) {
        return std::nullopt;
    }
    return id;
}

HackRequest WindowRequest(const std::string& text) {
    HackRequest request;
    request.hack = true;
    if (const std::optional<unsigned long> id = WindowIdOf(text)) {
        request.window = *id;
    } else {
        request.error = "not a window id: \"" + text + "\"";
    }
    return request;
}

}  // namespace

HackRequest ReadHackRequest(const std::vector<std::string>& arguments, const char* lockerWindow) {
    const bool lockerSet = lockerWindow != nullptr && *lockerWindow != '\0';
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-window-id" || argument == "--window-id") {
            return WindowRequest(i + 1 < arguments.size() ? arguments[i + 1] : "");
        }
        if (argument == "-root" || argument == "--root") {
            return lockerSet ? WindowRequest(lockerWindow) : HackRequest{true, 0, {}};
        }
    }
    // A locker that names its window and passes nothing else; a switch of our own wins.
    if (arguments.empty() && lockerSet) {
        return WindowRequest(lockerWindow);
    }
    return {};
}

// One screen: the switches, the hack's options, where the settings are, the Wayland opt-in.
constexpr const char* kHelpText =
    "Usage: morvel /s | /c | /a\n"
    "       morvel -root | --root | -window-id ID\n"
    "A screen saver that plays your own videos.\n"
    "\n"
    "  /s             play the videos full screen; a key or a mouse button ends it\n"
    "  /c             the settings window: the list of videos and the options\n"
    "  /a             ends at once (passwords are the screen locker's business)\n"
    "  -root, --root  as a screen locker's hack: draw into XSCREENSAVER_WINDOW, else the\n"
    "                 root window; SIGTERM ends it\n"
    "  -window-id ID  as a screen locker's hack: draw into the X window ID\n"
    "  --help         this text;  --version  the version\n"
    "\n"
    "Switches are matched without regard to case. The settings are in\n"
    "$XDG_CONFIG_HOME/morvel4.ini (else ~/.config/morvel4.ini). On a Wayland compositor\n"
    "with the layer shell it covers each output natively; GDK_BACKEND=x11 keeps X11.\n"
    "More in morvel(1).\n";

std::optional<std::string> InformationRequested(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) {
        return std::nullopt;
    }
    if (arguments[0] == "--help" || arguments[0] == "-h") {
        return kHelpText;
    }
    if (arguments[0] == "--version") {
        return std::string("morvel " MORVEL_VERSION "\n");
    }
    return std::nullopt;
}

// --- The saver in a locker's window ----------------------------------------------------------

std::unique_ptr<LockerWindowHost> LockerWindowHost::Open(unsigned long window) {
    GdkDisplay* display = gdk_display_get_default();
    // A locker destroys its window as it ends the hack, often before the hack has seen its
    // SIGTERM; what the saver then asks of its windows there fails, and must not end it
    // before its media have stopped. The trap stays for the program's life.
    gdk_x11_display_error_trap_push(display);
    if (window == 0) {
        return std::make_unique<LockerWindowHost>(Key{}, gdk_get_default_root_window(), false);
    }
    GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, window);
    if (foreign == nullptr) {
        return nullptr;
    }
    // Told when the locker's window goes: ours goes with it, and so must the saver.
    gdk_window_set_events(
        foreign, static_cast<GdkEventMask>(gdk_window_get_events(foreign) | GDK_STRUCTURE_MASK));
    return std::make_unique<LockerWindowHost>(Key{}, foreign, true);
}

LockerWindowHost::LockerWindowHost(Key /*only Open*/, GdkWindow* window, bool foreign)
    : window_(window), foreign_(foreign ? window : nullptr) {}

LockerWindowHost::~LockerWindowHost() = default;

// The form is a popup, as a child of the locker's window has no window manager; it covers
// all of that window, whichever full-screen style it asks for.
GtkWidget* LockerWindowHost::makeSaverWindow(const platform::WindowSpec& /*design*/,
                                             GtkWidget* layout,
                                             std::vector<GtkWidget*>& /*covers*/) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_container_add(GTK_CONTAINER(window), layout);
    const platform::Size size = screenSize();
    gtk_widget_set_size_request(layout, size.width, size.height);
    embed(window);
    return window;
}

// The form becomes a child of the locker's window; a popup asks for no window manager
// before it is moved there.
void LockerWindowHost::embed(GtkWidget* window) const {
    gtk_window_move(GTK_WINDOW(window), 0, 0);
    if (window_ == gdk_get_default_root_window()) {
        return;
    }
    gtk_widget_realize(window);
    Display* x = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(window_));
    XReparentWindow(x, GDK_WINDOW_XID(gtk_widget_get_window(window)), GDK_WINDOW_XID(window_), 0,
                    0);
    XSync(x, False);
}

platform::Size LockerWindowHost::screenSize() const {
    int width = 0;
    int height = 0;
    gdk_window_get_geometry(window_, nullptr, nullptr, &width, &height);
    return {width, height};
}

// The locker starts a hack of its own for each monitor, and gives each its window.
std::vector<platform::Rect> LockerWindowHost::monitors() const {
    const platform::Size size = screenSize();
    return {platform::Rect{0, 0, size.width, size.height}};
}

// A locker lends a window on each monitor, the size of that monitor: the one under its
// centre. The screen's root (a locker without a window of its own) counts as the primary.
int LockerWindowHost::firstMonitorIndex() const {
    if (window_ == gdk_get_default_root_window()) {
        return 0;
    }
    int left = 0;
    int top = 0;
    gdk_window_get_origin(window_, &left, &top);
    const platform::Size size = screenSize();
    return MonitorIndexAt(OwnScreenHost().monitors(), left + size.width / 2, top + size.height / 2);
}

// Nobody could answer a box under a locker's grab; its log keeps the message.
bool LockerWindowHost::logInsteadOfBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "morvel: %s: %s\n", caption.c_str(), text.c_str());
    return true;
}

// The locker ends its hack with SIGTERM; an interrupt from a terminal ends it the same way.
void LockerWindowHost::watchForEnd(std::function<void()> end) {
    termination_.start(std::move(end));
}

// The locker's window is gone, and ours in it.
bool LockerWindowHost::endsAt(const GdkEvent& event) const {
    return event.type == GDK_DESTROY;
}

}  // namespace morvel::linux_backend
