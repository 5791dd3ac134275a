// The screen-saver host: what the operating system's screen-saver machinery asks of a saver
// and offers it (the running flag, the password components, the desktop settings, the window
// list). A platform without some of it answers as a host without the feature would: no
// registry key, no library, no other window.
//
// Thread: the user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace morvel::platform {

// A registry key opened read-only; closed when destroyed.
class RegistryKey {
  public:
    virtual ~RegistryKey() = default;
    virtual bool hasValue(std::string_view name) = 0;
    // The value as a 32-bit integer; empty when it is missing or of another type.
    virtual std::optional<std::uint32_t> readInteger(std::string_view name) = 0;
};

// A library loaded at run time by full path; released when destroyed. The two entry points
// the program calls are typed here so that no operating-system type leaks into the core.
class Library {
  public:
    virtual ~Library() = default;
    virtual bool hasEntryPoint(std::string_view name) = 0;
    // "VerifyScreenSavePwd": shows the platform's password dialog owned by `owner`; true when
    // the right password was given. Only call it when hasEntryPoint said so.
    virtual bool verifyScreenSavePassword(Handle owner) = 0;
    // "PwdChangePasswordA": shows the platform's password-change dialog for `provider`.
    virtual void changePassword(const std::string& provider, Handle owner) = 0;
};

class HostService {
  public:
    virtual ~HostService() = default;

    // Tells the host that a saver runs (true at its start, false at its end), so that the
    // system does not start another one meanwhile.
    virtual void setScreenSaverRunning(bool running) = 0;
    // The platform id of the version record: 2 for the NT family, where the saver asks the
    // password itself only when the host does not.
    virtual int platformId() = 0;
    // Opens an existing key under the current user's root, or nothing.
    virtual std::unique_ptr<RegistryKey> openCurrentUserKey(const std::string& path) = 0;
    // Loads a library by full path (or bare name), or nothing. A library's dialogs run a
    // nested loop, as the boxes do.
    virtual std::unique_ptr<Library> loadLibrary(const std::string& path) = 0;
    // A top-level window with this class name and caption exists (another saver runs).
    virtual bool findWindow(const std::string& className, const std::string& caption) = 0;
};

}  // namespace morvel::platform
