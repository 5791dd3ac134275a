// Modal boxes and the file and folder choosers (platform/dialog_service.h).
#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

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

}  // namespace morvel::win32
