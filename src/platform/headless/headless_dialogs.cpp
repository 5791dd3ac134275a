// Message boxes, file and folder dialogs: prompts the driver sees and answers while the
// program waits in a nested loop.
#include "platform/headless/headless_platform.h"

namespace morvel::headless {

// An owner the backend does not know is taken as none, as the seam says.
Prompt& HeadlessPlatform::runPrompt(Prompt prompt) {
    if (windowByHandle(prompt.owner) == nullptr) {
        prompt.owner = 0;
    }
    prompt.atMs = nowMs_;
    prompts.push_back(std::move(prompt));
    Prompt& shown = prompts.back();  // a deque keeps references stable
    runLoop([&] { return shown.answered || quitRequested_; });
    return shown;
}

void HeadlessPlatform::messageBox(Handle owner, const std::string& caption, const std::string& text,
                                  platform::MessageBoxKind kind) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::MessageBox;
    prompt.boxKind = kind;
    prompt.owner = owner;
    prompt.caption = caption;
    prompt.text = text;
    runPrompt(std::move(prompt));
}

std::optional<std::string> HeadlessPlatform::openFileDialog(
    Handle owner, const platform::OpenFileRequest& request) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::OpenFile;
    prompt.owner = owner;
    prompt.caption = request.title;
    prompt.request = request;
    return runPrompt(std::move(prompt)).chosenPath;
}

std::optional<std::string> HeadlessPlatform::folderDialog(Handle owner, const std::string& title,
                                                          const std::string& initialDirectory) {
    Prompt prompt;
    prompt.kind = Prompt::Kind::Folder;
    prompt.owner = owner;
    prompt.caption = title;
    prompt.request.initialDirectory = initialDirectory;
    return runPrompt(std::move(prompt)).chosenPath;
}

}  // namespace morvel::headless
