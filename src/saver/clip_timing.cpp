#include "saver/clip_timing.h"

#include <algorithm>

namespace morvel::saver {

StartAtMode StartAtFromSetting(int value) {
    return value == 1 || value == 2 ? static_cast<StartAtMode>(value) : StartAtMode::Beginning;
}

std::uint32_t FadeFromSetting(int value) {
    return value > 0 && static_cast<std::uint32_t>(value) <= kMaxFadeMs
               ? static_cast<std::uint32_t>(value)
               : 0;
}

std::uint32_t FadeLengthFor(std::uint32_t fadeMs, std::uint32_t lengthMs) {
    return std::min(fadeMs, lengthMs / 2);
}

std::uint32_t LatestStart(std::uint32_t lengthMs, std::uint32_t fadeMs) {
    if (lengthMs < kLongClipMs) {
        return 0;
    }
    const std::uint32_t beforeLastTenth = lengthMs - lengthMs / 10;
    const std::uint32_t beforeTwoFades = lengthMs > 2 * fadeMs ? lengthMs - 2 * fadeMs : 0;
    return std::min(beforeLastTenth, beforeTwoFades);
}

std::uint32_t RandomStart(std::uint32_t lengthMs, std::uint32_t fadeMs, std::mt19937& random) {
    const std::uint32_t latest = LatestStart(lengthMs, fadeMs);
    if (latest == 0) {
        return 0;
    }
    return std::uniform_int_distribution<std::uint32_t>(0, latest - 1)(random);
}

std::uint32_t ResumedStart(std::uint32_t lengthMs, std::uint32_t fadeMs,
                           std::optional<std::uint32_t> leftAt) {
    return leftAt && *leftAt < LatestStart(lengthMs, fadeMs) ? *leftAt : 0;
}

}  // namespace morvel::saver
