// Muting the whole system's sound through the mute control of the speakers line of the
// first mixer device. The previous mute state is neither read nor restored.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace morvel::saver {

// Finds the mute control of the speakers line; returns the platform's result code, 0 for
// success, with `controlId` filled in then.
std::uint32_t FindMuteControl(platform::Platform& platform, std::uint32_t mixerId,
                              std::uint32_t& controlId);

// Mutes (true) or un-mutes (false); raises "Volume setting error... error is #N" on failure.
void SetSystemMute(platform::Platform& platform, bool mute);

// The saver's mute choices: 1 un-mutes, 0 mutes, anything else leaves the mute alone.
void ApplyMuteChoice(platform::Platform& platform, int choice);

}  // namespace morvel::saver
