// Files, folders, the clock and the shell.
//
// Thread: the user-interface thread only. Nothing here runs a nested loop; a failure is an
// empty answer, never an exception.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace morvel::platform {

enum class ShowCommand { Normal, Maximized };

class SystemService {
  public:
    virtual ~SystemService() = default;

    // The directory that holds the shared settings file; empty when it cannot be had.
    virtual std::string windowsDirectory() = 0;
    // The user's Local AppData folder, which holds the user's own copy of the settings file
    // where the Windows directory is not the user's to write; empty where the platform keeps
    // no copy per user or the folder cannot be had.
    virtual std::string localAppDataDirectory() = 0;
    // The folder of the saver's own state (where long videos stopped), which is never the
    // settings file's: Windows: the user's Local AppData and "Morvel Screensaver"; Linux:
    // $XDG_STATE_HOME, else ~/.local/state, and "morvel". It may not exist yet (its writer
    // makes it); empty when it cannot be had.
    virtual std::string stateDirectory() = 0;
    // The directory of the password components; empty when it cannot be had.
    virtual std::string systemDirectory() = 0;
    virtual char pathSeparator() const = 0;
    virtual bool fileExists(const std::string& path) = 0;  // a file, not a directory
    // The names (not paths) of the regular files directly in `folder`; none when it cannot
    // be read.
    virtual std::vector<std::string> filesInFolder(const std::string& folder) = 0;
    // The milliseconds since midnight, universal time.
    virtual std::uint32_t millisecondsSinceMidnight() = 0;
    // The local time now, hours and minutes, and today's local date with its weekday, each
    // in the user's own format (Windows: the user's time and long date formats; Linux: the
    // locale's).
    virtual std::string localTimeText() = 0;
    virtual std::string localDateText() = 0;
    // Text in the system's own code page as UTF-8, the program's text everywhere. Earlier
    // versions wrote the settings file in that code page; the store reads a value that is
    // not UTF-8 through this. Windows: the ANSI code page. Linux: a file name is its bytes
    // and the file held them as they were, so the bytes come back unchanged. Headless:
    // Windows-1252, the code page of a Western Windows.
    virtual std::string codePageToUtf8(std::string_view text) = 0;
    // The shell's "open" verb; returns the shell's value (below 32: failure).
    virtual std::intptr_t shellOpen(Handle parent, const std::string& target, ShowCommand show) = 0;
};

}  // namespace morvel::platform
