#include "data/record_permutation.h"

#include <algorithm>

namespace mining {

namespace {

// Returns a 64-bit mix of `x` (the finaliser of SplitMix64).
std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

RecordPermutation::RecordPermutation(std::uint64_t n, std::uint64_t seed) : n_(n) {
    for (int round = 0; round < kRounds; ++round)
        keys_[round] = mix(seed + 0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(round + 1));
    int bits = 1;
    while (bits < 64 && (std::uint64_t{1} << bits) < n) ++bits;
    halfBits_ = (bits + 1) / 2;
    halfMask_ = halfBits_ >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << halfBits_) - 1;
}

std::uint64_t RecordPermutation::once(std::uint64_t x) const {
    std::uint64_t left = x >> halfBits_;
    std::uint64_t right = x & halfMask_;
    for (int round = 0; round < kRounds; ++round) {
        const std::uint64_t f = mix(right ^ keys_[round]);
        const std::uint64_t next = (left ^ f) & halfMask_;
        left = right;
        right = next;
    }
    return (left << halfBits_) | right;
}

std::uint64_t RecordPermutation::operator()(std::uint64_t r) const {
    // The network permutes [0, 2^(2 * halfBits)); its values at n and above are walked on.
    std::uint64_t x = once(r);
    while (x >= n_) x = once(x);
    return x;
}

void RecordPermutation::below(std::uint64_t first, std::size_t count, std::uint64_t bound,
                              std::uint8_t* out) const {
    // Each lane holds a record and where its walk has got to; every step takes all lanes
    // through the network once. A lane that lands below n answers for its record and takes the
    // next one, without a branch (a landing is a coin toss the processor cannot predict); a
    // lane with no record left walks on a spare one whose answer goes nowhere.
    constexpr std::size_t kLanes = 8;
    std::uint8_t spare = 0;
    std::uint64_t record[kLanes];
    std::uint64_t x[kLanes];
    std::uint8_t* answer[kLanes];
    std::uint64_t next = 0;
    for (std::size_t k = 0; k < kLanes; ++k) {
        const bool real = next < count;
        record[k] = first + next;
        x[k] = record[k];
        answer[k] = real ? out + next : &spare;
        next += real;
    }
    std::size_t busy = std::min<std::size_t>(count, kLanes);
    while (busy > 0) {
        std::uint64_t left[kLanes];
        std::uint64_t right[kLanes];
        for (std::size_t k = 0; k < kLanes; ++k) {
            left[k] = x[k] >> halfBits_;
            right[k] = x[k] & halfMask_;
        }
        for (int round = 0; round < kRounds; ++round) {
            for (std::size_t k = 0; k < kLanes; ++k) {
                const std::uint64_t mixed = (left[k] ^ mix(right[k] ^ keys_[round])) & halfMask_;
                left[k] = right[k];
                right[k] = mixed;
            }
        }
        for (std::size_t k = 0; k < kLanes; ++k) {
            const std::uint64_t y = (left[k] << halfBits_) | right[k];
            const bool landed = y < n_;
            *answer[k] = static_cast<std::uint8_t>(y < bound);
            const bool more = landed && next < count;
            busy -= landed && answer[k] != &spare && !more;
            answer[k] = landed ? (more ? out + next : &spare) : answer[k];
            record[k] = more ? first + next : record[k];
            x[k] = landed ? record[k] : y;
            next += more;
        }
    }
}

}  // namespace mining
