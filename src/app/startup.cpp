#include "app/startup.h"

#include "common/ascii.h"
#include "common/path.h"
#include "saver/saver_window.h"

namespace morvel::app {

namespace {

constexpr const char* kApplicationTitle = "Morvel Screensaver";
constexpr const char* kPasswordChangeLibrary = "MPR.DLL";
constexpr const char* kPasswordChangeEntryPoint = "PwdChangePasswordA";
constexpr const char* kPasswordProvider = "SCRSAVE";

bool IsSeparator(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

void RunPasswordChangeMode(platform::Platform& platform) {
    const std::string path =
        joinPath(platform.systemDirectory(), platform.pathSeparator(), kPasswordChangeLibrary);
    if (auto library = platform.loadLibrary(path)) {
        if (library->hasEntryPoint(kPasswordChangeEntryPoint)) {
            library->changePassword(kPasswordProvider, 0);
        }
    }
}

}  // namespace

void RunSaver(platform::Platform& platform) {
    platform.setApplicationTitle(kApplicationTitle);
    saver::TForm1 form(platform);
    platform.runMessageLoop();
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        while (i < commandLine.size() && IsSeparator(commandLine[i])) {
            ++i;
        }
        // A NUL ends the command line, as it does for the platform's own text.
        if (i >= commandLine.size() || commandLine[i] == '\0') {
            break;
        }
        std::string argument;
        bool quoted = false;
        while (i < commandLine.size() && commandLine[i] != '\0' &&
               (quoted || !IsSeparator(commandLine[i]))) {
            if (commandLine[i] == '"') {
                quoted = !quoted;
            } else {
                argument += commandLine[i];
            }
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

Mode SelectMode(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return Mode::None;
    }
    const std::string first = ascii::upper(arguments.front());
    const std::string switchPrefix = first.substr(0, 2);
    if (first == "/S") {
        return Mode::Saver;
    }
    if (first == "/C" || switchPrefix == "/C") {
        return Mode::Settings;
    }
    if (first == "/A" || switchPrefix == "/A") {
        return Mode::PasswordChange;
    }
    return Mode::None;
}

int RunProgram(platform::Platform& platform, const std::vector<std::string>& arguments) {
    if (platform.findWindow(saver::kSaverClassName, saver::kSaverCaption)) {
        return 0;
    }
    switch (SelectMode(arguments)) {
        case Mode::Saver:
            RunSaver(platform);
            break;
        case Mode::Settings:
            RunSettingsMode(platform);
            break;
        case Mode::PasswordChange:
            RunPasswordChangeMode(platform);
            break;
        case Mode::None:
            break;
    }
    return 0;
}

}  // namespace morvel::app
