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

void cutRange(const std::vector<ValueClass>& values, std::size_t begin, std::size_t end,
              std::size_t classCount, std::vector<double>& cuts) {
    const std::size_t n = end - begin;
    if (n < 2) return;
    std::vector<std::size_t> all(classCount, 0);
    for (std::size_t i = begin; i < end; ++i) ++all[static_cast<std::size_t>(values[i].classCode)];
    std::size_t k = 0;
    const double hAll = entropy(all, n, k);
    if (k < 2) return;  // one class: nothing to separate

    // Try every boundary between distinct values; keep the one of least weighted entropy.
    std::vector<std::size_t> left(classCount, 0);
    std::vector<std::size_t> right(classCount, 0);
    double best = INFINITY;
    std::size_t bestSplit = 0;
    for (std::size_t i = begin; i + 1 < end; ++i) {
        ++left[static_cast<std::size_t>(values[i].classCode)];
        if (values[i].value == values[i + 1].value) continue;
        const std::size_t nLeft = i + 1 - begin;
        const std::size_t nRight = n - nLeft;
        double hLeft = 0;
        double hRight = 0;
        const double dn = static_cast<double>(n);
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
        const double weighted = (static_cast<double>(nLeft) * hLeft +
                                 static_cast<double>(nRight) * hRight) / dn;
        if (weighted < best) {
            best = weighted;
            bestSplit = i + 1;
        }
    }
    if (bestSplit == 0) return;  // all values equal

    std::fill(left.begin(), left.end(), 0);
    for (std::size_t i = begin; i < bestSplit; ++i) ++left[static_cast<std::size_t>(values[i].classCode)];
    for (std::size_t c = 0; c < classCount; ++c) right[c] = all[c] - left[c];
    std::size_t k1 = 0;
    std::size_t k2 = 0;
    const double h1 = entropy(left, bestSplit - begin, k1);
    const double h2 = entropy(right, end - bestSplit, k2);
    const double dn = static_cast<double>(n);
    const double gain = hAll - best;
    const double delta = std::log2(std::pow(3.0, static_cast<double>(k)) - 2.0) -
                         (static_cast<double>(k) * hAll - static_cast<double>(k1) * h1 -
                          static_cast<double>(k2) * h2);
    const double threshold = (std::log2(dn - 1.0) + delta) / dn;
    if (!(gain > threshold)) return;

    cutRange(values, begin, bestSplit, classCount, cuts);
    cuts.push_back((values[bestSplit - 1].value + values[bestSplit].value) / 2.0);
    cutRange(values, bestSplit, end, classCount, cuts);
}

}  // namespace

std::vector<double> mdlCutPoints(std::vector<ValueClass>& values, std::size_t classCount) {
    std::sort(values.begin(), values.end(), [](const ValueClass& a, const ValueClass& b) {
        return a.value < b.value || (a.value == b.value && a.classCode < b.classCode);
    });
    std::vector<double> cuts;
    cutRange(values, 0, values.size(), classCount, cuts);
    return cuts;
}

std::size_t binOf(const std::vector<double>& cuts, double value) {
    return static_cast<std::size_t>(std::lower_bound(cuts.begin(), cuts.end(), value) -
                                    cuts.begin());
}

}  // namespace mining
