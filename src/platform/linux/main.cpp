// The program entry of the Linux program: `morvel /s` runs the saver, `morvel /c` the
// settings; `morvel -root` or `-window-id ID` the saver in a screen locker's window.
#include <glib-unix.h>
#include <gst/gst.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "app/startup.h"
#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_hack.h"
#include "platform/linux/linux_platform.h"

namespace {

using morvel::linux_backend::LinuxPlatform;

// The locker ends its hack with SIGTERM; an interrupt from a terminal ends it the same way.
void EndAsHackOnSignals(LinuxPlatform& platform) {
    for (const int signal : {SIGTERM, SIGINT}) {
        g_unix_signal_add(
            signal,
            +[](gpointer self) -> gboolean {
                static_cast<LinuxPlatform*>(self)->endAsHack();
                return G_SOURCE_CONTINUE;
            },
            &platform);
    }
}

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    // The decoders' libraries alone take longer to load than GTK takes to start: loaded
    // beside it, they are there when the first video opens.
    const std::jthread plugins(morvel::linux_backend::LoadMediaPlugins);
    // X11 only: the saver's window is found by its X class, the video drawn into X windows.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("morvel: cannot open the X display\n", stderr);
        return 1;
    }
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const morvel::linux_backend::HackRequest hack =
        morvel::linux_backend::ReadHackRequest(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (!hack.error.empty()) {
        std::fprintf(stderr, "morvel: %s\n", hack.error.c_str());
        return 2;
    }
    LinuxPlatform platform;
    if (hack.hack) {
        if (!platform.drawInto(hack.window)) {
            std::fprintf(stderr, "morvel: no window 0x%lx on the display\n", hack.window);
            return 1;
        }
        EndAsHackOnSignals(platform);
        arguments = {"/s"};
    }
    try {
        return morvel::app::RunProgram(platform, arguments);
    } catch (const std::exception& error) {
        // Nothing may leave the program unreported; the report ends the process.
        platform.endProcessWithReport(morvel::platform::errorReportText(error.what()));
    }
}
