// The program entry of the Linux program: `morvel /s` runs the saver, `morvel /c` the settings.
#include <gst/gst.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <exception>
#include <thread>

#include "app/startup.h"
#include "platform/linux/gst_engine.h"
#include "platform/linux/linux_platform.h"

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
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    morvel::linux_backend::LinuxPlatform platform;
    try {
        return morvel::app::RunProgram(platform, arguments);
    } catch (const std::exception& error) {
        // Nothing may leave the program unreported; the report ends the process.
        platform.endProcessWithReport(morvel::platform::errorReportText(error.what()));
    }
}
