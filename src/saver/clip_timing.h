// When clips start and how they change: the dissolve's length, and where a long clip
// starts. Plain values, decided here; MonitorVideo carries them out.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace morvel::saver {

// Where a long clip starts (StartAt in the settings).
enum class StartAtMode {
    Beginning = 0,     // every clip from its start
    RandomPoint = 1,   // a point chosen afresh each time the clip comes up
    WhereStopped = 2,  // where the saver left it last time
};
StartAtMode StartAtFromSetting(int value);

inline constexpr std::uint32_t kMaxFadeMs = 5000;
// Fade: 0 (a cut) to 5000 milliseconds; anything else is a cut.
std::uint32_t FadeFromSetting(int value);

// How the clips of one monitor play, beyond which clip comes next.
struct PlaybackChoices {
    std::uint32_t fadeMs = 0;  // 0: a cut
    StartAtMode startAt = StartAtMode::Beginning;
    int volume = 100;  // the videos' own sound, per cent of the device's
};

// Clips shorter than this always start at their start.
inline constexpr std::uint32_t kLongClipMs = 60'000;

// How long a clip of this length fades in and out: the dissolve's length, or half the clip
// where it is shorter than two of them; 0 where the length is not known.
std::uint32_t FadeLengthFor(std::uint32_t fadeMs, std::uint32_t lengthMs);

// The latest point a long clip may start at: before its last tenth, and never closer to its
// end than two dissolves.
std::uint32_t LatestStart(std::uint32_t lengthMs, std::uint32_t fadeMs);

// Where a clip of this length starts; 0 for a short clip or an unknown length.
std::uint32_t RandomStart(std::uint32_t lengthMs, std::uint32_t fadeMs, std::mt19937& random);
// The point it was left at, where that is still a place to start from; else its start.
std::uint32_t ResumedStart(std::uint32_t lengthMs, std::uint32_t fadeMs,
                           std::optional<std::uint32_t> leftAt);

}  // namespace morvel::saver
