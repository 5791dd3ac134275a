#include "store/store_path.h"

namespace morvel::store {

std::string storePath(const std::string& windowsDirectory, char separator) {
    std::string path = windowsDirectory.empty() ? std::string("c:\\windows") : windowsDirectory;
    if (path.back() != separator) {
        path += separator;
    }
    return path + "morvel4.ini";
}

}  // namespace morvel::store
