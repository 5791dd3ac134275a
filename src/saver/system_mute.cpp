#include "saver/system_mute.h"

#include <stdexcept>
#include <string>

namespace morvel::saver {

std::uint32_t FindMuteControl(platform::Platform& platform, std::uint32_t mixerId,
                              std::uint32_t& controlId) {
    std::uint32_t lineId = 0;
    const std::uint32_t lineResult =
        platform.mixerFindLine(mixerId, platform::mixer::kComponentTypeDstSpeakers, lineId);
    if (lineResult != 0) {
        return lineResult;
    }
    return platform.mixerFindControl(mixerId, lineId, platform::mixer::kControlTypeMute, controlId);
}

void SetSystemMute(platform::Platform& platform, bool mute) {
    constexpr std::uint32_t kFirstMixer = 0;
    std::uint32_t controlId = 0;
    std::uint32_t result = FindMuteControl(platform, kFirstMixer, controlId);
    if (result == 0) {
        result = platform.mixerSetBoolean(kFirstMixer, controlId, mute);
    }
    if (result != 0) {
        throw std::runtime_error("Volume setting error... error is #" +
                                 std::to_string(static_cast<int>(result)));
    }
}

void ApplyMuteChoice(platform::Platform& platform, int choice) {
    if (choice == 1) {
        SetSystemMute(platform, false);
    } else if (choice == 0) {
        SetSystemMute(platform, true);
    }
}

}  // namespace morvel::saver
