// The saver as a hack of a screen locker: the locker gives it a window to draw into, by
// `-window-id ID`, or by `-root` (its virtual root, XSCREENSAVER_WINDOW, else the screen's
// root), or by XSCREENSAVER_WINDOW alone with no switch at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_backend {

struct HackRequest {
    bool hack = false;         // draw into a window given by the locker
    unsigned long window = 0;  // its X id; 0 is the screen's root
    std::string error;         // a window id that is none; the program says it and ends
};

// `arguments` without the program name; `lockerWindow` is XSCREENSAVER_WINDOW or null.
HackRequest ReadHackRequest(const std::vector<std::string>& arguments, const char* lockerWindow);

// The text `--help` (or `-h`) and `--version` print, answered before any display is opened;
// nullopt for every other command line.
std::optional<std::string> InformationRequested(const std::vector<std::string>& arguments);

}  // namespace morvel::linux_backend
