// Where the settings file lives.
#pragma once

#include <string>

namespace morvel::store {

// The settings file's full path: the directory (the Windows directory; "c:\windows" when it
// is empty) followed by the separator and "morvel4.ini". A directory that already ends with
// the separator (a drive root such as "C:\") does not get a second one.
std::string storePath(const std::string& windowsDirectory, char separator);

}  // namespace morvel::store
