// Program entry: reads the switch, refuses to run beside a running saver and runs one mode.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace morvel::app {

enum class Mode { None, Saver, Settings, PasswordChange };

// Splits a command line into arguments at runs of characters with codes 1 to 32; a stretch
// in double quotes belongs to the argument it stands in, without the quotes. The program's
// own name is the first argument.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The mode the first argument selects (letter case does not matter).
Mode SelectMode(const std::vector<std::string>& arguments);

// Runs the program on `platform`; `arguments` excludes the program's own name. Returns the
// process exit code.
int RunProgram(platform::Platform& platform, const std::vector<std::string>& arguments);

// Saver mode, for a host that starts the saver itself (a screen locker's hack): no switch to
// read and no look for a saver already running, which the host settles.
void RunSaver(platform::Platform& platform);

// Settings mode: creates the settings dialog and the about box and runs until the dialog
// closes. Lives with the settings dialog.
void RunSettingsMode(platform::Platform& platform);

}  // namespace morvel::app
