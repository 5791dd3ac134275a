#include "platform/win32/mf_library.h"

#include <algorithm>
#include <string_view>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

constexpr LibraryImport kFoundationImports[] = {
#include "mf_imports.inc"  // generated from mfplat.def and mf.def
};

constexpr const char* kFoundationMissingText =
    "The system's video components (Media Foundation) are missing, so videos of this kind "
    "cannot be played. On Windows N and KN editions they come with the Media Feature Pack.";

// From the system folder only: a library of that name beside the program is not the system's.
OwnedLibrary LoadSystemLibrary(const char* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return OwnedLibrary();
    }
    const std::wstring path = std::wstring(folder, length) + L"\\" + Widen(name);
    return OwnedLibrary(LoadLibraryW(path.c_str()));
}

std::optional<std::string> MessageText(DWORD flags, const void* source, std::uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       source, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return std::nullopt;
    }
    std::string message = Narrow(std::wstring_view(text, length));
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message.empty() ? std::nullopt : std::optional<std::string>(message);
}

}  // namespace

std::span<const LibraryImport> FoundationImports() {
    return kFoundationImports;
}

SystemLibraries::SystemLibraries(std::span<const LibraryImport> imports) {
    std::vector<std::string_view> names;  // of held_, in its order
    for (const LibraryImport& import : imports) {
        auto known = std::find(names.begin(), names.end(), import.library);
        if (known == names.end()) {
            held_.push_back(LoadSystemLibrary(import.library));
            names.emplace_back(import.library);
            known = names.end() - 1;
        }
        const OwnedLibrary& library = held_[static_cast<std::size_t>(known - names.begin())];
        if (!library || GetProcAddress(library.get(), import.function) == nullptr) {
            return;
        }
    }
    present_ = !imports.empty();
}

std::optional<std::string> FoundationErrorText(std::uint32_t code) {
    if (code == kFoundationMissing) {
        return kFoundationMissingText;
    }
    if (auto text = MessageText(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code)) {
        return text;
    }
    // Media Foundation keeps the texts of its own errors in a library of their own.
    const OwnedLibrary texts(LoadLibraryExW(L"mferror.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!texts) {
        return std::nullopt;
    }
    return MessageText(FORMAT_MESSAGE_FROM_HMODULE, texts.get(), code);
}

}  // namespace morvel::win32
