#include "store/store_path.h"

#include "common/path.h"

namespace morvel::store {

std::string storePath(const std::string& windowsDirectory, char separator) {
    return joinPath(windowsDirectory.empty() ? std::string("c:\\windows") : windowsDirectory,
                    separator, "morvel4.ini");
}

namespace {

// "C:\Windows\morvel4.ini" -> "\Windows\morvel4.ini"; a path without a drive is kept whole.
std::string WithoutDrive(const std::string& path) {
    const bool hasDrive = path.size() >= 2 && path[1] == ':';
    return hasDrive ? path.substr(2) : path;
}

}  // namespace

StoreLocation storeLocation(const std::string& windowsDirectory, const std::string& localAppData,
                            char separator) {
    StoreLocation location{storePath(windowsDirectory, separator), {}};
    if (localAppData.empty()) {
        return location;
    }
    std::string userCopy = joinPath(localAppData, separator, "VirtualStore");
    std::string rest = WithoutDrive(location.shared);
    if (rest.empty() || rest.front() != separator) {
        userCopy += separator;
    }
    location.userCopy = userCopy + rest;
    return location;
}

}  // namespace morvel::store
