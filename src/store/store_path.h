// Where the settings file lives.
#pragma once

#include <string>

namespace morvel::store {

// The settings file's full path: the directory (the Windows directory; "c:\windows" when it
// is empty) followed by the separator and "morvel4.ini". A directory that already ends with
// the separator (a drive root such as "C:\") does not get a second one.
std::string storePath(const std::string& windowsDirectory, char separator);

// The two places the settings file may be. The shared copy is the one in the Windows
// directory. Where ordinary users may not write there (Windows since Vista), each user keeps
// an own copy at the place Windows itself redirects such writes of older programs to, so a
// file that an older version of the program left there is still found.
struct StoreLocation {
    std::string shared;
    std::string userCopy;  // empty: this platform keeps no copy per user
};

// `localAppData` is the user's Local AppData folder; empty: none. The user's copy is that
// folder, "VirtualStore", and the shared copy's path without its drive:
// "C:\Users\ann\AppData\Local" and "C:\Windows\morvel4.ini" give
// "C:\Users\ann\AppData\Local\VirtualStore\Windows\morvel4.ini".
StoreLocation storeLocation(const std::string& windowsDirectory, const std::string& localAppData,
                            char separator);

}  // namespace morvel::store
