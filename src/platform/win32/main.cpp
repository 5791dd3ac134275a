// The program entry of morvel.scr: the system starts a screen saver with one switch.
#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "app/startup.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    // The whole command line, not WinMain's copy: its first argument is the program itself.
    std::vector<std::string> arguments =
        morvel::app::SplitCommandLine(morvel::win32::Narrow(GetCommandLineW()));
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    // The saver's windows in each monitor's own pixels, from before it asks where they lie;
    // every other mode's not aware, as the manifest says (Wine takes a program for aware
    // unless told).
    using morvel::win32::ThreadDpi;
    const ThreadDpi dpi(morvel::app::SelectMode(arguments) == morvel::app::Mode::Saver
                            ? ThreadDpi::Awareness::PerMonitor
                            : ThreadDpi::Awareness::Unaware);
    morvel::win32::Win32Platform platform(instance);
    try {
        return morvel::app::RunProgram(platform, arguments);
    } catch (const std::exception& error) {
        // Nothing may leave the program unreported; the report ends the process.
        platform.endProcessWithReport(morvel::platform::errorReportText(error.what()));
    }
}
