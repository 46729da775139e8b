#pragma once

#include <cstdint>

namespace mining {

// A seeded permutation of the record numbers [0, n), evaluated for one number at a time, so that
// any process can tell where each of its own records goes without a table of n entries: a
// balanced Feistel network on the smallest even number of bits that holds n, four rounds keyed by
// the seed, walked along its cycle until it lands below n (cycle walking), which keeps it a
// permutation of [0, n). The same seed and n give the same permutation on every machine.
class RecordPermutation {
public:
    // Requires n >= 1.
    RecordPermutation(std::uint64_t n, std::uint64_t seed);

    // Returns where record `r` (< n) goes, in [0, n).
    std::uint64_t operator()(std::uint64_t r) const;

    // Sets out[i] to whether record first + i goes below `bound`, for i < count (first + count
    // <= n): operator()'s answers, many records' networks run side by side, which keeps the
    // multiplier busy where one record's rounds would wait on each other.
    void below(std::uint64_t first, std::size_t count, std::uint64_t bound,
               std::uint8_t* out) const;

private:
    std::uint64_t once(std::uint64_t x) const;

    static constexpr int kRounds = 4;

    std::uint64_t n_;
    std::uint64_t keys_[kRounds];  // each round's key, mixed from the seed once
    int halfBits_;
    std::uint64_t halfMask_;
};

}  // namespace mining
