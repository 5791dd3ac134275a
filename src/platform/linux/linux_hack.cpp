// The hack mode: which window a locker gives, and the platform's life inside it.
// The seam first: the X headers define names (None, Status) its declarations use.
#include "platform/linux/linux_platform.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux/linux_hack.h"

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

// --- The platform in a locker's window -------------------------------------------------------

bool LinuxPlatform::drawInto(unsigned long window) {
    GdkDisplay* display = gdk_display_get_default();
    // A locker destroys its window as it ends the hack, often before the hack has seen its
    // SIGTERM; what the saver then asks of its windows there fails, and must not end it
    // before its media have stopped. The trap stays for the program's life.
    gdk_x11_display_error_trap_push(display);
    if (window == 0) {
        host_ = gdk_get_default_root_window();
        return true;
    }
    host_ = gdk_x11_window_foreign_new_for_display(display, window);
    if (host_ == nullptr) {
        return false;
    }
    ownsHost_ = true;
    // Told when the locker's window goes: ours goes with it, and so must the saver.
    gdk_window_set_events(
        host_, static_cast<GdkEventMask>(gdk_window_get_events(host_) | GDK_STRUCTURE_MASK));
    return true;
}

void LinuxPlatform::endAsHack() {
    if (hackEnded_) {
        return;
    }
    hackEnded_ = true;
    if (endRequestHandler_) {
        // The saver's own way to end: it stops its media and unmutes.
        const std::function<void()> handler = endRequestHandler_;
        platform::invokeHandler(*this, handler);
    }
    quit();
}

// The form becomes a child of the locker's window, over all of it; as a child it has no
// window manager, and a popup asks for none before it is moved there.
void LinuxPlatform::embedInHost(GtkWidget* window) {
    gtk_window_move(GTK_WINDOW(window), 0, 0);
    if (host_ == gdk_get_default_root_window()) {
        return;
    }
    gtk_widget_realize(window);
    Display* x = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(host_));
    XReparentWindow(x, GDK_WINDOW_XID(gtk_widget_get_window(window)), GDK_WINDOW_XID(host_), 0, 0);
    XSync(x, False);
}

platform::Size LinuxPlatform::hostSize() const {
    int width = 0;
    int height = 0;
    gdk_window_get_geometry(host_, nullptr, nullptr, &width, &height);
    return {width, height};
}

}  // namespace morvel::linux_backend
