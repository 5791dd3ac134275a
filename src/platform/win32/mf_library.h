// What Media Foundation needs of the system before its first call: its libraries, with every
// function the program takes from them, and the texts of its errors.
//
// The program loads Media Foundation's libraries on first use (see mf.def and mfplat.def).
// Windows N editions without their media pack, Server Core and a Wine with the libraries
// switched off have none: the first call would end the process. The engine therefore looks
// for all of them before it makes any call, and a system without them plays no MP4 but says
// why.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/owned.h"

namespace morvel::win32 {

// One function the program takes from a library.
struct LibraryImport {
    const char* library;
    const char* function;
};

// What the program takes from Media Foundation: mfplat.def and mf.def, as the build lists them.
std::span<const LibraryImport> FoundationImports();

// The libraries of `imports`, loaded from the system folder and held while this lives, so the
// loader finds them loaded at the first call. Present only when each has every function.
class SystemLibraries {
  public:
    explicit SystemLibraries(std::span<const LibraryImport> imports);
    bool present() const { return present_; }

  private:
    std::vector<OwnedLibrary> held_;
    bool present_ = false;
};

// The result of an open on a system without Media Foundation. It carries the customer bit, so
// that no system text is ever found for it but ours.
inline constexpr std::uint32_t kFoundationMissing = 0xA0040001u;

// The system's text for a Media Foundation result code, or ours, if there is one.
std::optional<std::string> FoundationErrorText(std::uint32_t code);

}  // namespace morvel::win32
