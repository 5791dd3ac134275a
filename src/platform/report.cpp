#include "platform/platform.h"

#include <exception>

namespace morvel::platform {

std::string errorReportText(const std::string& message) {
    if (!message.empty() && message.back() > '.') {
        return message + ".";
    }
    return message;
}

void showErrorReport(Platform& platform, const std::string& message) {
    platform.messageBox(0, platform.applicationTitle(), errorReportText(message),
                        MessageBoxKind::Error);
}

void invokeHandler(Platform& platform, const std::function<void()>& handler) {
    if (!handler) {
        return;
    }
    try {
        handler();
    } catch (const std::exception& error) {
        showErrorReport(platform, error.what());
    }
}

void invokeMessageHandler(Platform& platform, const Platform::MessageHandler& handler,
                          const Message& message, bool& handled) {
    if (!handler) {
        return;
    }
    try {
        handler(message, handled);
    } catch (const std::exception& error) {
        platform.endProcessWithReport(errorReportText(error.what()));
    }
}

}  // namespace morvel::platform
