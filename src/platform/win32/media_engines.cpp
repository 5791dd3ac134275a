#include "platform/win32/media_engines.h"

#include <mmsystem.h>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

// MCI has no device for the file's type: its refusal says nothing about the file itself.
bool NoDeviceForType(std::uint32_t code) {
    return code == MCIERR_EXTENSION_NOT_FOUND || code == MCIERR_INVALID_DEVICE_NAME ||
           code == MCIERR_CANNOT_LOAD_DRIVER || code == MCIERR_UNRECOGNIZED_COMMAND ||
           code == MCIERR_UNSUPPORTED_FUNCTION;
}

// The file's short name, where the volume keeps one; empty where it has none.
std::string ShortPathOf(const std::string& file) {
    const std::wstring path = Widen(file);
    const DWORD length = path.empty() ? 0 : GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring shortPath(length, L'\0');
    const DWORD written = GetShortPathNameW(path.c_str(), shortPath.data(), length);
    shortPath.resize(written < length ? written : 0);
    return Narrow(shortPath);
}

// Some MCI devices (Wine's) open their file through the ANSI code page and do not find a
// name beyond it; its short name, which keeps to ASCII, reaches the same file.
std::uint32_t OpenThroughMci(MciEngine& mci, const std::string& file, bool wait) {
    const std::uint32_t result = mci.open(file, wait);
    if (result != MCIERR_FILE_NOT_FOUND) {
        return result;
    }
    const std::string shortPath = ShortPathOf(file);
    return shortPath.empty() || shortPath == file ? result : mci.open(shortPath, wait);
}

}  // namespace

std::uint32_t ChoosingEngine::open(const std::string& file, bool wait) {
    if (current_ != &mci_) {
        current_->close(true);
        current_ = &mci_;
    }
    const std::uint32_t refused = OpenThroughMci(mci_, file, wait);
    if (refused == 0) {
        return 0;
    }
    if (!foundation_) {
        foundation_ = std::make_unique<MfEngine>(foundationImports_);
    }
    const std::uint32_t result = foundation_->open(file, wait);
    if (result == 0) {
        current_ = foundation_.get();
        return 0;
    }
    // A device that knows the type speaks best about why the file did not open; else Media
    // Foundation does, also when the system has none (kFoundationMissing).
    return NoDeviceForType(refused) ? result : refused;
}

std::optional<std::string> ChoosingEngine::errorText(std::uint32_t code) {
    // Media Foundation's failures are HRESULTs, with the high bit set; MCI's codes are small.
    if ((code & 0x80000000u) != 0) {
        return FoundationErrorText(code);
    }
    return mci_.errorText(code);
}

}  // namespace morvel::win32
