// Files, folders, the clock and the shell (platform/system_service.h).
#include "platform/win32/win32_platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <iterator>
#include <memory>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

std::vector<std::string> Win32Platform::filesInFolder(const std::string& folder) {
    std::wstring pattern = Widen(folder);
    if (pattern.empty() != folder.empty()) {
        return {};  // not UTF-8: it names no folder
    }
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    const HANDLE first = FindFirstFileW(pattern.c_str(), &found);
    const OwnedFind search(first == INVALID_HANDLE_VALUE ? nullptr : first);
    std::vector<std::string> names;
    if (!search) {
        return names;
    }
    do {
        const std::string name = Narrow(found.cFileName);
        // A name that is no well-formed text (a lone surrogate) could not be opened again.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !name.empty()) {
            names.push_back(name);
        }
    } while (FindNextFileW(search.get(), &found));
    return names;
}

std::string Win32Platform::windowsDirectory() {
    wchar_t path[256] = {};
    constexpr UINT kRoom = 200;
    const UINT length = GetWindowsDirectoryW(path, kRoom);
    // 0 is a failure; a length beyond the room given means nothing was written.
    if (length == 0 || length >= kRoom) {
        return {};
    }
    return Narrow(std::wstring_view(path, length));
}

std::string Win32Platform::localAppDataDirectory() {
    wchar_t* found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &found);
    const std::unique_ptr<wchar_t, TaskMemFree> folder(found);
    if (FAILED(result) || !folder) {
        return {};
    }
    return Narrow(folder.get());
}

// The user's Local AppData and "Morvel Screensaver", made when it is missing (its parent is
// the system's to make).
std::string Win32Platform::stateDirectory() {
    const std::string appData = localAppDataDirectory();
    if (appData.empty()) {
        return {};
    }
    const std::string folder = appData + "\\Morvel Screensaver";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);  // fails harmlessly where it exists
    return folder;
}

std::string Win32Platform::systemDirectory() {
    wchar_t path[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return Narrow(std::wstring_view(path, length));
}

bool Win32Platform::fileExists(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32Platform::codePageToUtf8(std::string_view text) {
    return AnsiToUtf8(text);
}

std::uint32_t Win32Platform::millisecondsSinceMidnight() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
}

// The user's own formats: the short time without seconds, the long date.
std::string Win32Platform::localTimeText() {
    wchar_t text[128]{};
    return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, text,
                           static_cast<int>(std::size(text))) > 0
               ? Narrow(text)
               : std::string();
}

std::string Win32Platform::localDateText() {
    wchar_t text[128]{};
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, text,
                           static_cast<int>(std::size(text)), nullptr) > 0
               ? Narrow(text)
               : std::string();
}

std::intptr_t Win32Platform::shellOpen(Handle parent, const std::string& target,
                                       platform::ShowCommand show) {
    const HINSTANCE result =
        ShellExecuteW(ToHwnd(parent), L"open", Widen(target).c_str(), nullptr, nullptr,
                      show == platform::ShowCommand::Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace morvel::win32
