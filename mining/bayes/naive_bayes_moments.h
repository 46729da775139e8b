#pragma once

// The moments naive Bayes fits a numeric attribute's normal distributions and kernels from, for
// the files that train it (one process, or the shares of several).
#include <algorithm>
#include <cmath>
#include <vector>

#include "bayes/naive_bayes.h"
#include "util/exact_moments.h"

namespace mining {

// The count, range and exact sums of one attribute's values in one class (or in all): the mean
// and standard deviation do not depend on the order the values came in (util/exact_moments.h).
// An infinite value leaves them infinite, so that the attribute goes unused.
struct NaiveBayes::Moments {
    explicit Moments(int fractionDigits = -1) : sums(fractionDigits) {}

    ExactMoments sums;
    std::size_t count = 0;
    bool infinite = false;
    double minimum = INFINITY;
    double maximum = -INFINITY;

    double mean() const { return infinite ? NAN : sums.mean(); }
    // Sample standard deviation; 0 for fewer than two values.
    double stdDev() const { return infinite ? INFINITY : sums.stdDev(); }
    void track(double x) {
        minimum = std::min(minimum, x);
        maximum = std::max(maximum, x);
    }
    void merge(const Moments& other) {
        sums.merge(other.sums);
        count += other.count;
        infinite = infinite || other.infinite;
        if (other.count == 0) return;
        track(other.minimum);
        track(other.maximum);
    }
};

// The moments of one numeric attribute's training values, per class and over all.
struct NaiveBayes::ValueSummary {
    std::vector<Moments> perClass;
    Moments overall;
};

}  // namespace mining
