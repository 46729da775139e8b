#include "data/split.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "data/number_parser.h"
#include "data/text_fields.h"

namespace mining {

Split splitRecords(std::size_t n, double percent, bool keepOrder, std::uint64_t seed) {
    std::vector<RowIndex> order(n);
    std::iota(order.begin(), order.end(), RowIndex{0});
    if (!keepOrder && n > 1) {
        std::mt19937_64 engine(seed);
        // The swaps are done in the documented order, but the random positions of a batch are
        // drawn first and their memory fetched ahead, since on large data nearly every swap
        // misses the cache.
        constexpr std::size_t kBatch = 16;
        std::size_t j[kBatch];
        std::size_t i = n - 1;
        while (i >= 1) {
            const std::size_t count = std::min(kBatch, i);
            for (std::size_t b = 0; b < count; ++b) {
                j[b] = static_cast<std::size_t>(engine() % (i - b + 1));
                __builtin_prefetch(&order[j[b]], 1);
            }
            for (std::size_t b = 0; b < count; ++b) std::swap(order[i - b], order[j[b]]);
            i -= count;
        }
    }
    auto trainCount =
        static_cast<std::size_t>(std::llround(static_cast<double>(n) * percent / 100.0));
    if (trainCount > n) trainCount = n;
    Split split;
    split.test.assign(order.begin() + static_cast<std::ptrdiff_t>(trainCount), order.end());
    order.resize(trainCount);
    order.shrink_to_fit();
    split.train = std::move(order);
    return split;
}

Result<double> parsePercent(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    const std::string shown = quoteForMessage(text);
    if (t.empty()) return Result<double>::failure("the percentage is empty");
    // A plain decimal: digits with at most one '.', no sign, no exponent.
    bool digit = false;
    int dots = 0;
    for (char c : t) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.')
            ++dots;
        else
            return Result<double>::failure("the percentage " + shown +
                                           " is not a plain decimal number between 0 and 100");
    }
    if (!digit || dots > 1)
        return Result<double>::failure("the percentage " + shown +
                                       " is not a plain decimal number between 0 and 100");
    std::int64_t mantissa = 0;
    int fractionDigits = 0;
    double value = 0;
    switch (parseNumber(t, mantissa, fractionDigits, value)) {
        case NumberForm::Decimal:
            value = decimalToDouble(mantissa, fractionDigits);
            break;
        case NumberForm::Other:
            break;
        case NumberForm::NotNumber:
            return Result<double>::failure("the percentage " + shown + " is not a number");
    }
    if (value > 100.0) return Result<double>::failure("the percentage " + shown + " is above 100");
    return value;
}

}  // namespace mining
