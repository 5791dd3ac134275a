// Boxes and dialogs, the system queries, the registry, run-time libraries and the mixer.
#include <windows.h>

#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "platform/win32/win32_platform.h"

namespace morvel::win32 {

namespace {

// The system-wide "a screen saver runs" flag; not every header names it.
constexpr UINT kScreenSaverRunning = 97;
constexpr std::size_t kFileBufferSize = MAX_PATH * 4;

UINT IconOf(platform::MessageBoxKind kind) {
    switch (kind) {
        case platform::MessageBoxKind::Information:
            return MB_ICONINFORMATION;
        case platform::MessageBoxKind::Error:
            return MB_ICONERROR;
        case platform::MessageBoxKind::Confirmation:
            return MB_ICONQUESTION;
        case platform::MessageBoxKind::Warning:
            return MB_ICONWARNING;
        case platform::MessageBoxKind::Plain:
            break;
    }
    return 0;
}

// "Label\0patterns\0...\0\0", the form the file dialog reads its filters in.
std::string FilterText(const std::vector<platform::FileFilter>& filters) {
    std::string text;
    for (const platform::FileFilter& filter : filters) {
        text += filter.label;
        text += '\0';
        text += filter.patterns;
        text += '\0';
    }
    text += '\0';
    return text;
}

// COM for the folder dialog, for as long as the dialog runs.
class ComScope {
  public:
    ComScope() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (initialized_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialized_;
};

// Memory the shell hands out with CoTaskMemAlloc.
struct TaskMemFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComOwned = std::unique_ptr<Interface, ComRelease>;

// The paths of the rest of the program are in the ANSI code page; the picker speaks UTF-16.
std::wstring Wide(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Empty when a character has no place in the ANSI code page: such a path could not be
// opened by the rest of the program, and a best-fit stand-in would name another file.
std::string Narrow(const wchar_t* text) {
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
    if (length <= 1 || lossy) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, narrow.data(), length, nullptr,
                        nullptr);
    narrow.resize(static_cast<std::size_t>(length - 1));  // the terminator
    return narrow;
}

// The current folder picker; empty on a system that does not have it.
ComOwned<IFileOpenDialog> MakeFolderPicker() {
    IFileOpenDialog* picker = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&picker)))) {
        return nullptr;
    }
    return ComOwned<IFileOpenDialog>(picker);
}

std::optional<std::string> PickFolder(IFileOpenDialog& picker, HWND owner, const std::string& title,
                                      const std::string& initialDirectory) {
    FILEOPENDIALOGOPTIONS options = 0;
    picker.GetOptions(&options);
    picker.SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    picker.SetTitle(Wide(title).c_str());
    IShellItem* start = nullptr;
    if (!initialDirectory.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(Wide(initialDirectory).c_str(), nullptr,
                                              IID_PPV_ARGS(&start)))) {
        const ComOwned<IShellItem> folder(start);
        picker.SetFolder(folder.get());
    }
    IShellItem* result = nullptr;
    if (FAILED(picker.Show(owner)) || FAILED(picker.GetResult(&result))) {
        return std::nullopt;  // cancelled
    }
    const ComOwned<IShellItem> chosen(result);
    wchar_t* path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return std::nullopt;  // a place that is not a folder on disk
    }
    const std::unique_ptr<wchar_t, TaskMemFree> owned(path);
    return Narrow(owned.get());
}

// The old folder tree, for systems without the current picker.
std::optional<std::string> BrowseForFolder(HWND owner, const std::string& title) {
    BROWSEINFOA browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    const std::unique_ptr<ITEMIDLIST, TaskMemFree> chosen(SHBrowseForFolderA(&browse));
    if (!chosen) {
        return std::nullopt;
    }
    char path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(chosen.get(), path)) {
        return std::nullopt;  // a place that is not a folder on disk
    }
    return std::string(path);
}

class Win32RegistryKey final : public platform::RegistryKey {
  public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}

    bool hasValue(std::string_view name) override {
        const std::string value(name);
        return RegQueryValueExA(key_.get(), value.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    std::optional<std::uint32_t> readInteger(std::string_view name) override {
        const std::string value(name);
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof(data);
        const LONG result = RegQueryValueExA(key_.get(), value.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(&data), &size);
        if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) {
            return std::nullopt;
        }
        return data;
    }

  private:
    OwnedKey key_;
};

// Looks an entry point up with the type the caller states.
template <typename Function>
Function EntryPoint(HMODULE module, const char* name) {
    const FARPROC found = GetProcAddress(module, name);
    // Through the generic function type, which the compiler accepts as a neutral step.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

class Win32Library final : public platform::Library {
  public:
    explicit Win32Library(HMODULE module) : module_(module) {}

    bool hasEntryPoint(std::string_view name) override {
        const std::string entry(name);
        return GetProcAddress(module_.get(), entry.c_str()) != nullptr;
    }

    bool verifyScreenSavePassword(Handle owner) override {
        using Verify = BOOL(WINAPI*)(HWND);
        const auto verify = EntryPoint<Verify>(module_.get(), "VerifyScreenSavePwd");
        if (verify == nullptr) {
            return false;
        }
        // Only the low byte carries the answer.
        return (static_cast<unsigned>(verify(ToHwnd(owner))) & 0xFFu) != 0;
    }

    void changePassword(const std::string& provider, Handle owner) override {
        using Change = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
        if (const auto change = EntryPoint<Change>(module_.get(), "PwdChangePasswordA")) {
            change(provider.c_str(), ToHwnd(owner), 0, nullptr);
        }
    }

  private:
    OwnedLibrary module_;
};

HMIXEROBJ MixerObject(std::uint32_t mixerId) {
    return reinterpret_cast<HMIXEROBJ>(static_cast<std::uintptr_t>(mixerId));
}

}  // namespace

// --- Boxes and dialogs -----------------------------------------------------------------------

void Win32Platform::messageBox(Handle owner, const std::string& caption, const std::string& text,
                               platform::MessageBoxKind kind) {
    UINT flags = MB_OK | IconOf(kind);
    if (owner == 0) {
        // Without an owner the box could open behind a topmost window of ours and leave the
        // program looking frozen: it stays on top and holds every window of the program.
        flags |= MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND;
    }
    MessageBoxA(ToHwnd(owner), text.c_str(), caption.c_str(), flags);
}

std::optional<std::string> Win32Platform::openFileDialog(Handle owner,
                                                         const platform::OpenFileRequest& request) {
    const std::string filters = FilterText(request.filters);
    std::string file(kFileBufferSize, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ToHwnd(owner);
    dialog.lpstrFilter = request.filters.empty() ? nullptr : filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir =
        request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
    dialog.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) {
        return std::nullopt;
    }
    file.resize(file.find('\0'));
    return file;
}

std::optional<std::string> Win32Platform::folderDialog(Handle owner, const std::string& title,
                                                       const std::string& initialDirectory) {
    const ComScope com;
    if (const ComOwned<IFileOpenDialog> picker = MakeFolderPicker()) {
        return PickFolder(*picker, ToHwnd(owner), title, initialDirectory);
    }
    return BrowseForFolder(ToHwnd(owner), title);
}

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

// --- Screen and system -----------------------------------------------------------------------

platform::Size Win32Platform::screenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int Win32Platform::showCursor(bool show) {
    return ShowCursor(show ? TRUE : FALSE);
}

void Win32Platform::setScreenSaverRunning(bool running) {
    BOOL previous = FALSE;
    SystemParametersInfoA(kScreenSaverRunning, running ? TRUE : FALSE, &previous, 0);
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

int Win32Platform::platformId() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // Deprecated, but the one call that still answers the platform-family question.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
    return known ? static_cast<int>(version.dwPlatformId) : 0;
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

std::unique_ptr<platform::RegistryKey> Win32Platform::openCurrentUserKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Win32RegistryKey>(key);
}

std::unique_ptr<platform::Library> Win32Platform::loadLibrary(const std::string& path) {
    const HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32Library>(module);
}

bool Win32Platform::findWindow(const std::string& className, const std::string& caption) {
    return FindWindowA(className.c_str(), caption.c_str()) != nullptr;
}

std::intptr_t Win32Platform::shellOpen(Handle parent, const std::string& target,
                                       platform::ShowCommand show) {
    const HINSTANCE result =
        ShellExecuteA(ToHwnd(parent), "open", target.c_str(), nullptr, nullptr,
                      show == platform::ShowCommand::Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result);
}

// --- Mixer: the records carry this build's own sizes -------------------------------------------

std::uint32_t Win32Platform::mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                           std::uint32_t& lineId) {
    MIXERLINEA line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = componentType;
    const MMRESULT result = mixerGetLineInfoA(
        MixerObject(mixerId), &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_MIXER);
    if (result == MMSYSERR_NOERROR) {
        lineId = line.dwLineID;
    }
    return result;
}

std::uint32_t Win32Platform::mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                              std::uint32_t controlType, std::uint32_t& controlId) {
    MIXERCONTROLA control{};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA query{};
    query.cbStruct = sizeof(query);
    query.dwLineID = lineId;
    query.dwControlType = controlType;
    query.cControls = 1;
    query.cbmxctrl = sizeof(control);
    query.pamxctrl = &control;
    const MMRESULT result = mixerGetLineControlsA(
        MixerObject(mixerId), &query, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_MIXER);
    if (result == MMSYSERR_NOERROR) {
        controlId = control.dwControlID;
    }
    return result;
}

std::uint32_t Win32Platform::mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                             bool value) {
    MIXERCONTROLDETAILS_BOOLEAN state{};
    state.fValue = value ? -1 : 0;
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(details);
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(state);
    details.paDetails = &state;
    return mixerSetControlDetails(MixerObject(mixerId), &details,
                                  MIXER_SETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_MIXER);
}

}  // namespace morvel::win32
