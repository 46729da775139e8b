#include "bayes/mdl_discretizer.h"

#include <algorithm>
#include <cmath>

namespace mining {

namespace {

// Entropy in bits of the class counts `counts` summing to `total`; sets `present` to the number
// of classes with a non-zero count.
double entropy(const std::vector<std::size_t>& counts, std::size_t total, std::size_t& present) {
    present = 0;
    if (total == 0) return 0.0;
    double h = 0;
    const double n = static_cast<double>(total);
    for (std::size_t c : counts) {
        if (c == 0) continue;
        ++present;
        const double p = static_cast<double>(c) / n;
        h -= p * std::log2(p);
    }
    return h;
}

// The values and classes of a sorted sample, by position.
struct PairSample {
    const std::vector<ValueClass>& values;
    double value(std::size_t i) const { return values[i].value; }
    std::size_t classOf(std::size_t i) const {
        return static_cast<std::size_t>(values[i].classCode);
    }
};

struct PackedSample {
    const std::vector<std::uint64_t>& keys;
    double scale;
    double value(std::size_t i) const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(keys[i] >> 32) ^ 0x80000000u) /
               scale;
    }
    std::size_t classOf(std::size_t i) const { return keys[i] & 0xFFFFFFFFu; }
};

// Returns the end of the run of equal values starting at `i`, and whether its records all
// have one class.
template <class Sample>
std::size_t runEnd(const Sample& s, std::size_t i, std::size_t end, bool& pure) {
    const double v = s.value(i);
    const std::size_t c = s.classOf(i);
    pure = true;
    std::size_t j = i + 1;
    for (; j < end && s.value(j) == v; ++j)
        if (s.classOf(j) != c) pure = false;
    return j;
}

template <class Sample>
void cutRange(const Sample& s, std::size_t begin, std::size_t end, std::size_t classCount,
              std::vector<double>& cuts) {
    const std::size_t n = end - begin;
    if (n < 2) return;
    std::vector<std::size_t> all(classCount, 0);
    for (std::size_t i = begin; i < end; ++i) ++all[s.classOf(i)];
    std::size_t k = 0;
    const double hAll = entropy(all, n, k);
    if (k < 2) return;  // one class: nothing to separate

    // Try the boundaries between runs of equal values; keep the one of least weighted entropy.
    // A boundary between two runs of one and the same class is never the best (Fayyad and
    // Irani's boundary points), so it is skipped.
    std::vector<std::size_t> left(classCount, 0);
    std::vector<std::size_t> right(classCount, 0);
    double best = INFINITY;
    std::size_t bestSplit = 0;
    const double dn = static_cast<double>(n);
    bool pure = false;
    std::size_t run = begin;
    std::size_t runStop = runEnd(s, run, end, pure);
    while (runStop < end) {
        for (std::size_t i = run; i < runStop; ++i) ++left[s.classOf(i)];
        bool nextPure = false;
        const std::size_t nextStop = runEnd(s, runStop, end, nextPure);
        const bool boundary = !(pure && nextPure && s.classOf(run) == s.classOf(runStop));
        if (boundary) {
            const std::size_t nLeft = runStop - begin;
            const std::size_t nRight = n - nLeft;
            double hLeft = 0;
            double hRight = 0;
            for (std::size_t c = 0; c < classCount; ++c) {
                if (left[c] != 0) {
                    const double p = static_cast<double>(left[c]) / static_cast<double>(nLeft);
                    hLeft -= p * std::log2(p);
                }
                const std::size_t r = all[c] - left[c];
                if (r != 0) {
                    const double p = static_cast<double>(r) / static_cast<double>(nRight);
                    hRight -= p * std::log2(p);
                }
            }
            const double weighted =
                (static_cast<double>(nLeft) * hLeft + static_cast<double>(nRight) * hRight) / dn;
            if (weighted < best) {
                best = weighted;
                bestSplit = runStop;
            }
        }
        run = runStop;
        runStop = nextStop;
        pure = nextPure;
    }
    if (bestSplit == 0) return;  // all values equal

    std::fill(left.begin(), left.end(), 0);
    for (std::size_t i = begin; i < bestSplit; ++i) ++left[s.classOf(i)];
    for (std::size_t c = 0; c < classCount; ++c) right[c] = all[c] - left[c];
    std::size_t k1 = 0;
    std::size_t k2 = 0;
    const double h1 = entropy(left, bestSplit - begin, k1);
    const double h2 = entropy(right, end - bestSplit, k2);
    const double gain = hAll - best;
    const double delta = std::log2(std::pow(3.0, static_cast<double>(k)) - 2.0) -
                         (static_cast<double>(k) * hAll - static_cast<double>(k1) * h1 -
                          static_cast<double>(k2) * h2);
    const double threshold = (std::log2(dn - 1.0) + delta) / dn;
    if (!(gain > threshold)) return;

    cutRange(s, begin, bestSplit, classCount, cuts);
    cuts.push_back((s.value(bestSplit - 1) + s.value(bestSplit)) / 2.0);
    cutRange(s, bestSplit, end, classCount, cuts);
}

}  // namespace

std::vector<double> mdlCutPoints(std::vector<ValueClass>& values, std::size_t classCount) {
    std::sort(values.begin(), values.end(), [](const ValueClass& a, const ValueClass& b) {
        return a.value < b.value || (a.value == b.value && a.classCode < b.classCode);
    });
    std::vector<double> cuts;
    cutRange(PairSample{values}, 0, values.size(), classCount, cuts);
    return cuts;
}

std::vector<double> mdlCutPointsOfDecimals(std::vector<std::uint64_t>& keys, double scale,
                                           std::size_t classCount) {
    // Stable radix sort on the value half of each key, 16 bits at a time.
    std::vector<std::uint64_t> buffer(keys.size());
    std::vector<std::size_t> counts(1 << 16);
    for (int shift : {32, 48}) {
        std::fill(counts.begin(), counts.end(), 0);
        for (std::uint64_t key : keys) ++counts[(key >> shift) & 0xFFFF];
        std::size_t position = 0;
        for (std::size_t& c : counts) {
            const std::size_t here = c;
            c = position;
            position += here;
        }
        for (std::uint64_t key : keys) buffer[counts[(key >> shift) & 0xFFFF]++] = key;
        keys.swap(buffer);
    }
    buffer = {};
    std::vector<double> cuts;
    cutRange(PackedSample{keys, scale}, 0, keys.size(), classCount, cuts);
    return cuts;
}

std::uint64_t packDecimal(std::int32_t mantissa, std::int32_t classCode) {
    return (std::uint64_t{static_cast<std::uint32_t>(mantissa) ^ 0x80000000u} << 32) |
           static_cast<std::uint32_t>(classCode);
}

std::size_t binOf(const std::vector<double>& cuts, double value) {
    return static_cast<std::size_t>(std::lower_bound(cuts.begin(), cuts.end(), value) -
                                    cuts.begin());
}

}  // namespace mining
