// Modal boxes and the file and folder choosers (platform/dialog_service.h).
#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace morvel::win32 {

namespace {

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
std::wstring FilterText(const std::vector<platform::FileFilter>& filters) {
    std::wstring text;
    for (const platform::FileFilter& filter : filters) {
        text += Widen(filter.label);
        text += L'\0';
        text += Widen(filter.patterns);
        text += L'\0';
    }
    text += L'\0';
    return text;
}

// The text for a call that takes a string or nothing: nothing for an empty one.
const wchar_t* OrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
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

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComOwned = std::unique_ptr<Interface, ComRelease>;

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
    picker.SetTitle(Widen(title).c_str());
    IShellItem* start = nullptr;
    if (!initialDirectory.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(Widen(initialDirectory).c_str(), nullptr,
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
    const std::wstring wideTitle = Widen(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = wideTitle.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    const std::unique_ptr<ITEMIDLIST, TaskMemFree> chosen(SHBrowseForFolderW(&browse));
    if (!chosen) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path)) {
        return std::nullopt;  // a place that is not a folder on disk
    }
    return Narrow(path);
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
    // Scaled by the system as ever, also over the saver's own windows (see win32_dpi.h).
    const ThreadDpi unaware(ThreadDpi::Awareness::Unaware);
    MessageBoxW(ToHwnd(owner), Widen(text).c_str(), Widen(caption).c_str(), flags);
}

std::optional<std::string> Win32Platform::openFileDialog(Handle owner,
                                                         const platform::OpenFileRequest& request) {
    const std::wstring filters = FilterText(request.filters);
    const std::wstring initialDirectory = Widen(request.initialDirectory);
    const std::wstring title = Widen(request.title);
    std::wstring file(kFileBufferSize, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ToHwnd(owner);
    dialog.lpstrFilter = request.filters.empty() ? nullptr : filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = OrNull(initialDirectory);
    dialog.lpstrTitle = OrNull(title);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    return Narrow(file.c_str());
}

std::optional<std::string> Win32Platform::folderDialog(Handle owner, const std::string& title,
                                                       const std::string& initialDirectory) {
    const ComScope com;
    if (const ComOwned<IFileOpenDialog> picker = MakeFolderPicker()) {
        return PickFolder(*picker, ToHwnd(owner), title, initialDirectory);
    }
    return BrowseForFolder(ToHwnd(owner), title);
}

}  // namespace morvel::win32
