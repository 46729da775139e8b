#include "interval/gain_ratio.h"

#include <cmath>

namespace mining::interval {

namespace {

// Returns n log2 n (0 for n = 0), the building block of every entropy term below.
double nlogn(double n) { return n > 0 ? n * std::log2(n) : 0.0; }

}  // namespace

double entropy(std::span<const std::uint32_t> counts) {
    double total = 0;
    double sum = 0;
    for (std::uint32_t c : counts) {
        total += c;
        sum += nlogn(c);
    }
    return total > 0 ? (nlogn(total) - sum) / total : 0.0;
}

double gainRatio(std::span<const std::uint32_t> partCounts, std::size_t classCount,
                 std::uint64_t nodeRecords) {
    const std::size_t parts = classCount ? partCounts.size() / classCount : 0;
    std::vector<double> classTotals(classCount, 0.0);
    double known = 0;
    double partEntropySum = 0;  // sum_j |P_j| H(P_j)
    double splitSum = 0;        // sum_j |P_j| log2 |P_j|
    std::size_t nonEmpty = 0;
    for (std::size_t j = 0; j < parts; ++j) {
        auto counts = partCounts.subspan(j * classCount, classCount);
        double size = 0;
        double inner = 0;
        for (std::size_t m = 0; m < classCount; ++m) {
            size += counts[m];
            inner += nlogn(counts[m]);
            classTotals[m] += counts[m];
        }
        if (size == 0) continue;
        ++nonEmpty;
        known += size;
        partEntropySum += nlogn(size) - inner;
        splitSum += nlogn(size);
    }
    if (nonEmpty < 2 || nodeRecords == 0) return 0.0;
    double classSum = 0;
    for (double c : classTotals) classSum += nlogn(c);
    const double h = (nlogn(known) - classSum) / known;
    const double gain = h - partEntropySum / known;
    const double splitInfo = (nlogn(known) - splitSum) / known;
    if (splitInfo <= 0) return 0.0;
    return gain / splitInfo * (known / static_cast<double>(nodeRecords));
}

}  // namespace mining::interval
