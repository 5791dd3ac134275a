// Files, folders, the clock and the shell.
//
// Thread: the user-interface thread only. Nothing here runs a nested loop; a failure is an
// empty answer, never an exception.
#pragma once

#include <cstdint>
#include <string>
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
    // The directory of the password components; empty when it cannot be had.
    virtual std::string systemDirectory() = 0;
    virtual char pathSeparator() const = 0;
    virtual bool fileExists(const std::string& path) = 0;  // a file, not a directory
    // The names (not paths) of the regular files directly in `folder`; none when it cannot
    // be read.
    virtual std::vector<std::string> filesInFolder(const std::string& folder) = 0;
    // The milliseconds since midnight, universal time.
    virtual std::uint32_t millisecondsSinceMidnight() = 0;
    // The shell's "open" verb; returns the shell's value (below 32: failure).
    virtual std::intptr_t shellOpen(Handle parent, const std::string& target, ShowCommand show) = 0;
};

}  // namespace morvel::platform
