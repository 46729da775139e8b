#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mining::pictures {

// A linear map from the values of a domain [low, high] to positions in [from, to] (either way
// round). A domain of one value, or one whose ends are not finite, maps every value to the
// middle of the positions; a value that is not finite maps to `from`.
class LinearScale {
public:
    LinearScale(double low, double high, double from, double to);

    double operator()(double value) const;
    double low() const { return low_; }
    double high() const { return high_; }

private:
    double low_, high_, from_, to_;
    bool flat_;
};

// Returns round values for the ticks of an axis over [low, high]: multiples of a step of 1, 2
// or 5 times a power of ten, at most about `count` + 1 of them, every one within [low, high].
// Returns {low} for a domain of one value (or high < low), and {} when an end is not finite.
std::vector<double> niceTicks(double low, double high, std::size_t count);

// Returns the step between the ticks niceTicks() returns (0 when it returns fewer than two).
double tickStep(const std::vector<double>& ticks);

// Returns a tick's value as an axis shows it: with as many fraction digits as `step` needs (none
// for a step of 1 or more), and in at most 6 significant digits (exponent form where a value is
// very large or small).
std::string tickText(double value, double step);

}  // namespace mining::pictures
