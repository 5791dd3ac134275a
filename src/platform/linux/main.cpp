// The program entry of the Linux program: `morvel /s` runs the saver, `morvel /c` the
// settings; `morvel -root` or `-window-id ID` the saver in a screen locker's window.
#include <gst/gst.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "app/startup.h"
#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_hack.h"
#include "platform/linux/linux_host.h"
#include "platform/linux/linux_layer.h"
#include "platform/linux/linux_platform.h"

int main(int argc, char** argv) {
    using namespace morvel::linux_backend;
    // Answered without a display, and before GStreamer and GTK take their own options.
    if (const auto text = InformationRequested({argv + 1, argv + argc})) {
        std::fputs(text->c_str(), stdout);
        return 0;
    }
    gst_init(&argc, &argv);
    // The decoders' libraries alone take longer to load than GTK takes to start: loaded
    // beside it, they are there when the first video opens.
    const std::jthread plugins(LoadMediaPlugins);
    // Settled here, once: the saver on its own screen, or in the window a locker gives it.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const HackRequest hack = ReadHackRequest(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (!hack.error.empty()) {
        std::fprintf(stderr, "morvel: %s\n", hack.error.c_str());
        return 2;
    }
    // A locker's window is an X window; the program's own windows are layer surfaces where the
    // compositor has them, X windows everywhere else.
    const char* requested = std::getenv("GDK_BACKEND");
    const bool asked = requested != nullptr && *requested != '\0';
    gdk_set_allowed_backends(
        AllowedBackends(requested, !hack.hack && !asked && CompositorOffersLayerShell()));
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("morvel: cannot open the display\n", stderr);
        return 1;
    }
    std::unique_ptr<Host> host = HostFor(hack);
    if (!host) {
        std::fprintf(stderr, "morvel: no window 0x%lx on the display\n", hack.window);
        return 1;
    }
    LinuxPlatform platform(std::move(host));
    try {
        if (hack.hack) {
            morvel::app::RunSaver(platform);  // a locker's hack has no switch of ours
            return 0;
        }
        return morvel::app::RunProgram(platform, arguments);
    } catch (const std::exception& error) {
        // Nothing may leave the program unreported; the report ends the process.
        platform.endProcessWithReport(morvel::platform::errorReportText(error.what()));
    }
}
