#include "pictures/scale.h"

#include <algorithm>
#include <cmath>

#include "util/number_format.h"

namespace mining::pictures {

LinearScale::LinearScale(double low, double high, double from, double to)
    : low_(low),
      high_(high),
      from_(from),
      to_(to),
      flat_(!(high > low) || !std::isfinite(low) || !std::isfinite(high) ||
            !std::isfinite(high - low)) {}

double LinearScale::operator()(double value) const {
    if (!std::isfinite(value)) return from_;
    if (flat_) return (from_ + to_) / 2;
    return from_ + (value - low_) / (high_ - low_) * (to_ - from_);
}

std::vector<double> niceTicks(double low, double high, std::size_t count) {
    if (!std::isfinite(low) || !std::isfinite(high)) return {};
    if (!(high > low) || count == 0) return {low};
    const double span = high - low;
    if (!std::isfinite(span)) return {low, high};
    const double rough = span / static_cast<double>(count);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= rough) break;
    }
    // A step too small beside the values to tell apart ticks leaves the ends alone.
    if (!(step > 0) || low + step == low || high - step == high) return {low, high};
    std::vector<double> ticks;
    const double first = std::ceil(low / step);
    for (double i = first; ticks.size() <= 2 * count + 1; ++i) {
        const double t = i * step;
        if (t > high + step * 1e-9) break;
        ticks.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
    }
    if (ticks.empty()) ticks.push_back(low);
    return ticks;
}

double tickStep(const std::vector<double>& ticks) {
    return ticks.size() < 2 ? 0 : ticks[1] - ticks[0];
}

std::string tickText(double value, double step) {
    const double magnitude = std::max(std::abs(value), std::abs(step));
    if (!(step > 0) || magnitude >= 1e7 || magnitude < 1e-4) return formatGeneral(value, 6);
    const int digits = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return formatFixed(value, std::min(digits, 6));
}

}  // namespace mining::pictures
