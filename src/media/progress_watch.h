// Whether a playing clip still moves. Some engines (Wine's Media Engine) now and then stop
// in the middle of a clip, or at its end, and never say that it ended: the saver would show
// that picture for good. The engine's position is read at every poll of its mode; a position
// that has not moved for a while, or that runs past the clip's length, says what happened.
#pragma once

#include <chrono>
#include <cstdint>

namespace morvel::media {

class ProgressWatch {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict {
        Moving,   // as it should
        Ended,    // at or past its end with no word of it: take it as ended
        Stalled,  // stopped before its end: another engine should go on from there
    };

    // Play began or resumed at `now`: the clip has that long again to move.
    void restart(Clock::time_point now) {
        movedAt_ = now;
        lastMs_ = kNone;
    }

    // `lengthMs` 0 where the engine cannot tell.
    Verdict look(std::uint32_t positionMs, std::uint32_t lengthMs, Clock::time_point now) {
        // The first look after a restart only says where the clip is.
        if (lastMs_ != kNone && positionMs != lastMs_) {
            movedAt_ = now;
        }
        lastMs_ = positionMs;
        if (lengthMs > 0 && positionMs >= lengthMs + kOverrunMs) {
            return Verdict::Ended;
        }
        if (now - movedAt_ < kStillLimit) {
            return Verdict::Moving;
        }
        return lengthMs > 0 && positionMs + kNearEndMs >= lengthMs ? Verdict::Ended
                                                                   : Verdict::Stalled;
    }

  private:
    static constexpr std::uint32_t kNone = 0xffffffffu;
    // Longer than any start or hiccup of a sound engine on a busy machine.
    static constexpr auto kStillLimit = std::chrono::seconds(3);
    static constexpr std::uint32_t kOverrunMs = 1000;
    // A clip stopped this close to its end has shown all there is to see.
    static constexpr std::uint32_t kNearEndMs = 500;

    Clock::time_point movedAt_{};
    std::uint32_t lastMs_ = kNone;
};

}  // namespace morvel::media
