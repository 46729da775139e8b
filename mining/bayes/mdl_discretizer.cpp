#include "bayes/mdl_discretizer.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

// Distinct values given once each with their class counts (ValueRuns): a position is a run.
struct RunSample {
    const ValueRuns& runs;
    std::size_t classCount;
    std::vector<std::size_t> before;  // the records of the runs before each, and of all

    RunSample(const ValueRuns& r, std::size_t classes) : runs(r), classCount(classes) {
        const std::size_t n = r.values.size();
        before.assign(n + 1, 0);
        for (std::size_t i = 0; i < n; ++i)
            before[i + 1] =
                before[i] +
                std::accumulate(r.counts.begin() + static_cast<std::ptrdiff_t>(i * classes),
                                r.counts.begin() + static_cast<std::ptrdiff_t>((i + 1) * classes),
                                std::size_t{0});
    }
    double value(std::size_t i) const { return runs.values[i]; }
    // The first class of run i's records (its only class when the run is pure).
    std::size_t classOf(std::size_t i) const {
        std::size_t c = 0;
        while (c + 1 < classCount && runs.counts[i * classCount + c] == 0) ++c;
        return c;
    }
};

// Returns the number of records at positions [begin, end).
template <class Sample>
std::size_t records(const Sample&, std::size_t begin, std::size_t end) {
    return end - begin;
}

std::size_t records(const RunSample& s, std::size_t begin, std::size_t end) {
    return s.before[end] - s.before[begin];
}

// Adds the class counts of the records at positions [begin, end) to `counts`.
template <class Sample>
void addCounts(const Sample& s, std::size_t begin, std::size_t end,
               std::vector<std::size_t>& counts) {
    for (std::size_t i = begin; i < end; ++i) ++counts[s.classOf(i)];
}

void addCounts(const RunSample& s, std::size_t begin, std::size_t end,
               std::vector<std::size_t>& counts) {
    for (std::size_t i = begin; i < end; ++i)
        for (std::size_t c = 0; c < s.classCount; ++c)
            counts[c] += s.runs.counts[i * s.classCount + c];
}

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

std::size_t runEnd(const RunSample& s, std::size_t i, std::size_t, bool& pure) {
    std::size_t present = 0;
    for (std::size_t c = 0; c < s.classCount; ++c)
        present += s.runs.counts[i * s.classCount + c] != 0;
    pure = present <= 1;
    return i + 1;
}

// Returns the class entropy, weighted by size, of the two parts of [begin, end) split before
// `split`; `left` holds the class counts before the split and `all` those of the whole range.
double splitEntropy(const std::vector<std::size_t>& left, const std::vector<std::size_t>& all,
                    std::size_t nLeft, std::size_t n) {
    const std::size_t nRight = n - nLeft;
    double hLeft = 0;
    double hRight = 0;
    for (std::size_t c = 0; c < all.size(); ++c) {
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
    return (static_cast<double>(nLeft) * hLeft + static_cast<double>(nRight) * hRight) /
           static_cast<double>(n);
}

// Returns the boundary between runs of equal values in [begin, end) of least weighted class
// entropy, and that entropy in `best`; 0 when all values are equal. A boundary between two runs
// of one and the same class is never the best (Fayyad and Irani's boundary points), so it is
// skipped.
template <class Sample>
std::size_t bestBoundary(const Sample& s, std::size_t begin, std::size_t end,
                         const std::vector<std::size_t>& all, double& best) {
    std::vector<std::size_t> left(all.size(), 0);
    best = INFINITY;
    std::size_t bestSplit = 0;
    bool pure = false;
    std::size_t run = begin;
    std::size_t runStop = runEnd(s, run, end, pure);
    while (runStop < end) {
        addCounts(s, run, runStop, left);
        bool nextPure = false;
        const std::size_t nextStop = runEnd(s, runStop, end, nextPure);
        const bool boundary = !(pure && nextPure && s.classOf(run) == s.classOf(runStop));
        if (boundary) {
            const double weighted =
                splitEntropy(left, all, records(s, begin, runStop), records(s, begin, end));
            if (weighted < best) {
                best = weighted;
                bestSplit = runStop;
            }
        }
        run = runStop;
        runStop = nextStop;
        pure = nextPure;
    }
    return bestSplit;
}

// Returns whether the split of [begin, end) before `split`, of weighted entropy `best`, pays
// for itself by the MDL criterion; hAll and k are the range's entropy and classes present.
template <class Sample>
bool acceptSplit(const Sample& s, std::size_t begin, std::size_t split, std::size_t end,
                 const std::vector<std::size_t>& all, double hAll, std::size_t k, double best) {
    std::vector<std::size_t> left(all.size(), 0);
    std::vector<std::size_t> right(all.size(), 0);
    addCounts(s, begin, split, left);
    for (std::size_t c = 0; c < all.size(); ++c) right[c] = all[c] - left[c];
    std::size_t k1 = 0;
    std::size_t k2 = 0;
    const double h1 = entropy(left, records(s, begin, split), k1);
    const double h2 = entropy(right, records(s, split, end), k2);
    const double gain = hAll - best;
    const double delta = std::log2(std::pow(3.0, static_cast<double>(k)) - 2.0) -
                         (static_cast<double>(k) * hAll - static_cast<double>(k1) * h1 -
                          static_cast<double>(k2) * h2);
    const double dn = static_cast<double>(records(s, begin, end));
    const double threshold = (std::log2(dn - 1.0) + delta) / dn;
    return gain > threshold;
}

template <class Sample>
void cutRange(const Sample& s, std::size_t begin, std::size_t end, std::size_t classCount,
              std::vector<double>& cuts) {
    const std::size_t n = records(s, begin, end);
    if (n < 2) return;
    std::vector<std::size_t> all(classCount, 0);
    addCounts(s, begin, end, all);
    std::size_t k = 0;
    const double hAll = entropy(all, n, k);
    if (k < 2) return;  // one class: nothing to separate
    double best = INFINITY;
    const std::size_t bestSplit = bestBoundary(s, begin, end, all, best);
    if (bestSplit == 0) return;  // all values equal
    if (!acceptSplit(s, begin, bestSplit, end, all, hAll, k, best)) return;
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

// Keys from this many on are sorted by the radix sort.
constexpr std::size_t kRadixKeys = std::size_t{1} << 16;

void sortDecimalKeys(std::vector<std::uint64_t>& keys) {
    // Stable radix sort on the value half of each key, 16 bits at a time, from the keys to a
    // buffer and back. The buffer is the thread's, kept from sort to sort: on large data a new
    // one a sort costs more in the system's page faults than the sort itself.
    const std::size_t n = keys.size();
    // Few keys sort faster by comparison than by passes over a table of 65,536 counts (which
    // self-tuning would clear thousands of times on a small file).
    if (n < kRadixKeys) {
        std::stable_sort(keys.begin(), keys.end(),
                         [](std::uint64_t a, std::uint64_t b) { return (a >> 32) < (b >> 32); });
        return;
    }
    thread_local std::vector<std::uint64_t> buffer;
    if (buffer.size() < n) buffer.resize(n);
    std::uint64_t* from = keys.data();
    std::uint64_t* to = buffer.data();
    thread_local std::vector<std::size_t> counts(std::size_t{1} << 16);
    for (int shift : {32, 48}) {
        std::fill(counts.begin(), counts.end(), 0);
        for (std::size_t i = 0; i < n; ++i) ++counts[(from[i] >> shift) & 0xFFFF];
        std::size_t position = 0;
        for (std::size_t& c : counts) {
            const std::size_t here = c;
            c = position;
            position += here;
        }
        for (std::size_t i = 0; i < n; ++i) to[counts[(from[i] >> shift) & 0xFFFF]++] = from[i];
        std::swap(from, to);
    }
}

std::vector<double> mdlCutPointsOfDecimals(std::vector<std::uint64_t>& keys, double scale,
                                           std::size_t classCount) {
    sortDecimalKeys(keys);
    std::vector<double> cuts;
    cutRange(PackedSample{keys, scale}, 0, keys.size(), classCount, cuts);
    return cuts;
}

std::vector<double> mdlCutPointsOfRuns(const ValueRuns& runs, std::size_t classCount) {
    std::vector<double> cuts;
    cutRange(RunSample(runs, classCount), 0, runs.values.size(), classCount, cuts);
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
