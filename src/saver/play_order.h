// The order one monitor plays the list in: in sequence, random, or shuffled rounds.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace morvel::saver {

enum class OrderKind {
    Sequence,  // entry after entry, round and round
    Random,    // any entry each time, repeats and all
    Shuffle,   // every entry once a round, each round in a new order
};

// Picord: 1 random, 3 shuffle, anything else in sequence.
OrderKind OrderFromSetting(int picord);

class PlayOrder {
  public:
    // `count` entries listed (at least one). In sequence the first clip is entry
    // `sequenceStart` (from 1, wrapping). Shuffles draw from `shuffler`, which the saver seeds
    // once a run and shares between its monitors.
    PlayOrder(OrderKind kind, int count, int sequenceStart, std::mt19937& shuffler);

    // The next entry, from 1. Random and shuffle orders avoid `busy` (the entries other
    // monitors show now) while any other entry is left. A random draw is seeded from
    // `clockMs`, the time of day, as it always was.
    int next(const std::vector<int>& busy, std::uint32_t clockMs);

  private:
    int nextInSequence();
    int nextRandom(const std::vector<int>& busy, std::uint32_t clockMs) const;
    int nextShuffled(const std::vector<int>& busy);
    void startRound();
    // Takes the first entry left in the round that is neither busy nor `avoid`; 0 for none.
    int takeFromRound(const std::vector<int>& busy, int avoid);

    OrderKind kind_;
    int count_;
    int last_;  // the entry played last, 0 before the first
    std::mt19937* shuffler_;
    std::vector<int> round_;  // the entries left in this round, in their order
};

}  // namespace morvel::saver
