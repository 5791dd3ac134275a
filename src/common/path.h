// Joining a directory and a name into a path, with the platform's separator.
#pragma once

#include <string>
#include <string_view>

namespace morvel {

// `directory`, then `separator` unless the directory already ends with it (a drive root such
// as "C:\"), then `name`. An empty directory gives `name` alone: where the system would not
// say where a file lives, the name is looked for the platform's own way.
inline std::string joinPath(std::string directory, char separator, std::string_view name) {
    if (!directory.empty() && directory.back() != separator) {
        directory += separator;
    }
    return directory.append(name);
}

}  // namespace morvel
