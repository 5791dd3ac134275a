// The system mixer, addressed by device identifier, for muting the speakers.
//
// Thread: the user-interface thread only. Each entry returns the platform's result code, 0
// for success; a platform without a mixer answers with a non-zero code, never an exception.
#pragma once

#include <cstdint>

namespace morvel::platform {

// The mixer's published numbers the core passes on unchanged.
namespace mixer {
inline constexpr std::uint32_t kComponentTypeDstSpeakers = 4;
inline constexpr std::uint32_t kControlTypeMute = 0x20010002;
}  // namespace mixer

class MixerService {
  public:
    virtual ~MixerService() = default;

    virtual std::uint32_t mixerFindLine(std::uint32_t mixerId, std::uint32_t componentType,
                                        std::uint32_t& lineId) = 0;
    virtual std::uint32_t mixerFindControl(std::uint32_t mixerId, std::uint32_t lineId,
                                           std::uint32_t controlType, std::uint32_t& controlId) = 0;
    virtual std::uint32_t mixerSetBoolean(std::uint32_t mixerId, std::uint32_t controlId,
                                          bool value) = 0;
};

}  // namespace morvel::platform
