// Modal boxes and the file and folder choosers.
//
// Thread: the user-interface thread only. Every entry runs a nested loop until the user
// answers (or the program quits, which answers it as a cancel): timers keep firing and the
// application-wide handler keeps seeing input meanwhile. `owner` is the window the box
// belongs to, or 0; an owner the backend does not know is taken as 0.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace morvel::platform {

enum class MessageBoxKind { Plain, Information, Warning, Error, Confirmation };

struct FileFilter {
    std::string label;     // "MPEG AVI MOV WMV"
    std::string patterns;  // "*.mpg;*.avi"
};

struct OpenFileRequest {
    std::string title;
    std::vector<FileFilter> filters;  // the first one is in force when the dialog opens
    std::string initialDirectory;
};

class DialogService {
  public:
    virtual ~DialogService() = default;

    // A modal box with one OK button; returns when the user has closed it.
    virtual void messageBox(Handle owner, const std::string& caption, const std::string& text,
                            MessageBoxKind kind) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<std::string> openFileDialog(Handle owner,
                                                      const OpenFileRequest& request) = 0;
    // The chosen folder's full path, or nothing when the user cancelled; the picker opens at
    // `initialDirectory` when it is given and exists.
    virtual std::optional<std::string> folderDialog(Handle owner, const std::string& title,
                                                    const std::string& initialDirectory) = 0;
};

}  // namespace morvel::platform
