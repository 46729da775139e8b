#include "util/interval_text.h"

#include <cmath>

#include "util/number_format.h"

namespace mining {

std::string intervalCondition(std::string_view name, double lo, double hi, ClosedEnd closed) {
    const bool hasLow = !(std::isinf(lo) && lo < 0);
    const bool hasHigh = !(std::isinf(hi) && hi > 0);
    const bool lowerClosed = closed == ClosedEnd::Lower;
    if (!hasLow && !hasHigh) return "any " + std::string(name);
    std::string text;
    if (hasLow && hasHigh) {
        text = shortestDecimal(lo) + (lowerClosed ? " <= " : " < ");
    }
    text += name;
    if (hasHigh) {
        text += (lowerClosed ? " < " : " <= ") + shortestDecimal(hi);
    } else {
        text += (lowerClosed ? " >= " : " > ") + shortestDecimal(lo);
    }
    return text;
}

}  // namespace mining
