#include "saver/play_order.h"

#include <algorithm>
#include <numeric>

namespace morvel::saver {

namespace {

bool Contains(const std::vector<int>& entries, int entry) {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

}  // namespace

OrderKind OrderFromSetting(int picord) {
    switch (picord) {
        case 1:
            return OrderKind::Random;
        case 3:
            return OrderKind::Shuffle;
        default:
            return OrderKind::Sequence;
    }
}

PlayOrder::PlayOrder(OrderKind kind, int count, int sequenceStart, std::mt19937& shuffler)
    : kind_(kind),
      count_(std::max(count, 1)),
      last_(kind == OrderKind::Sequence ? (sequenceStart - 1) % count_ : 0),
      shuffler_(&shuffler) {}

int PlayOrder::next(const std::vector<int>& busy, std::uint32_t clockMs) {
    switch (kind_) {
        case OrderKind::Random:
            return last_ = nextRandom(busy, clockMs);
        case OrderKind::Shuffle:
            return last_ = nextShuffled(busy);
        case OrderKind::Sequence:
            break;
    }
    return last_ = nextInSequence();
}

int PlayOrder::nextInSequence() {
    return last_ + 1 > count_ ? 1 : last_ + 1;
}

int PlayOrder::nextRandom(const std::vector<int>& busy, std::uint32_t clockMs) const {
    std::vector<int> free;
    for (int entry = 1; entry <= count_; ++entry) {
        if (!Contains(busy, entry)) {
            free.push_back(entry);
        }
    }
    if (free.empty()) {
        free.resize(static_cast<std::size_t>(count_));
        std::iota(free.begin(), free.end(), 1);
    }
    // Seeded afresh from the clock at every draw; with nothing busy this draws exactly as
    // the single-monitor saver always has.
    std::mt19937 generator(clockMs);
    std::uniform_int_distribution<std::size_t> draw(0, free.size() - 1);
    return free[draw(generator)];
}

int PlayOrder::nextShuffled(const std::vector<int>& busy) {
    if (const int entry = takeFromRound(busy, 0)) {
        return entry;
    }
    // The round is over, or what is left of it shows on other monitors now and is skipped.
    startRound();
    // A new round never opens with the entry just played; where every other entry shows on
    // another monitor (as many entries as monitors), showing none twice at once comes first.
    const int avoid = count_ > 1 ? last_ : 0;
    if (const int entry = takeFromRound(busy, avoid)) {
        return entry;
    }
    if (const int entry = takeFromRound(busy, 0)) {
        return entry;
    }
    if (const int entry = takeFromRound({}, avoid)) {
        return entry;
    }
    return takeFromRound({}, 0);
}

void PlayOrder::startRound() {
    round_.resize(static_cast<std::size_t>(count_));
    std::iota(round_.begin(), round_.end(), 1);
    std::shuffle(round_.begin(), round_.end(), *shuffler_);
}

int PlayOrder::takeFromRound(const std::vector<int>& busy, int avoid) {
    const auto found = std::find_if(round_.begin(), round_.end(), [&](int entry) {
        return entry != avoid && !Contains(busy, entry);
    });
    if (found == round_.end()) {
        return 0;
    }
    const int entry = *found;
    round_.erase(found);
    return entry;
}

}  // namespace morvel::saver
