// Files, folders, the clock and the shell (platform/system_service.h).
#include "platform/win32/win32_platform.h"

#include <shellapi.h>
#include <shlobj.h>

#include <memory>

#include "platform/win32/win32_text.h"

namespace morvel::win32 {

std::vector<std::string> Win32Platform::filesInFolder(const std::string& folder) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') {
        pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAA found{};
    const HANDLE first = FindFirstFileA(pattern.c_str(), &found);
    const OwnedFind search(first == INVALID_HANDLE_VALUE ? nullptr : first);
    std::vector<std::string> names;
    if (!search) {
        return names;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileA(search.get(), &found));
    return names;
}

std::string Win32Platform::windowsDirectory() {
    char path[256] = {};
    constexpr UINT kRoom = 200;
    const UINT length = GetWindowsDirectoryA(path, kRoom);
    // 0 is a failure; a length beyond the room given means nothing was written.
    if (length == 0 || length >= kRoom) {
        return {};
    }
    return std::string(path, length);
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

std::string Win32Platform::systemDirectory() {
    char path[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::string(path, length);
}

bool Win32Platform::fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::uint32_t Win32Platform::millisecondsSinceMidnight() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
}

std::intptr_t Win32Platform::shellOpen(Handle parent, const std::string& target,
                                       platform::ShowCommand show) {
    const HINSTANCE result =
        ShellExecuteA(ToHwnd(parent), "open", target.c_str(), nullptr, nullptr,
                      show == platform::ShowCommand::Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace morvel::win32
