#include "data/attribute_spread.h"

namespace mining {

Spread spreadOf(const Dataset& data, std::size_t a) {
    bool seen = false;
    if (data.attribute(a).type == AttributeType::Numeric) {
        const NumericColumn& column = data.numeric(a);
        double first = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const double x = column[r];
            if (isMissing(x)) continue;
            if (seen && x != first) return Spread::Varied;
            first = x;
            seen = true;
        }
    } else {
        const CodeSpan column = data.nominal(a);
        std::int32_t first = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const std::int32_t v = column[r];
            if (v < 0) continue;
            if (seen && v != first) return Spread::Varied;
            first = v;
            seen = true;
        }
    }
    return seen ? Spread::OneValue : Spread::NoValues;
}

}  // namespace mining
