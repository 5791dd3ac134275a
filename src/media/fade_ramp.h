// A picture's (and its sound's) weight over time: from one value to another over a length of
// time from the moment it starts, then at the last value. It is read on the thread that draws
// each frame, from the monotonic clock, so a fade is as smooth as the frames come.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace morvel::media {

class FadeRamp {
  public:
    using Clock = std::chrono::steady_clock;

    void start(double from, double to, std::uint32_t durationMs, Clock::time_point now) {
        from_ = std::clamp(from, 0.0, 1.0);
        to_ = std::clamp(to, 0.0, 1.0);
        start_ = now;
        duration_ = std::chrono::milliseconds(durationMs);
    }

    double weightAt(Clock::time_point now) const {
        if (now >= start_ + duration_ || duration_.count() <= 0) {
            return to_;
        }
        const double done =
            std::chrono::duration<double>(std::max(now - start_, Clock::duration{})).count() /
            std::chrono::duration<double>(duration_).count();
        return from_ + (to_ - from_) * done;
    }

    bool doneAt(Clock::time_point now) const { return now >= start_ + duration_; }

    // At its last value for good: a whole picture needs no blending.
    bool settledWhole(Clock::time_point now) const {
        return to_ >= 1.0 && now >= start_ + duration_;
    }

  private:
    double from_ = 1.0;
    double to_ = 1.0;
    Clock::time_point start_{};
    std::chrono::milliseconds duration_{0};
};

}  // namespace morvel::media
