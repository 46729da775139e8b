#include "data/record_permutation.h"

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

}  // namespace mining
