// Drives the reader of an MP4 file's picture (the Windows saver's) with arbitrary bytes: it
// must end, never read outside the file, and answer a quarter turn and a sane pixel shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/win32/mp4_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    const morvel::win32::Mp4Picture picture = morvel::win32::ReadMp4Picture(file);
    const int rotation = picture.rotation;
    if ((rotation != 0 && rotation != 90 && rotation != 180 && rotation != 270) ||
        picture.pixelAspectNum <= 0 || picture.pixelAspectDen <= 0) {
        std::abort();
    }
    return 0;
}
