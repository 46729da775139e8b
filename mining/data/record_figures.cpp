#include "data/record_figures.h"

#include <algorithm>
#include <cmath>

#include "data/column_checks.h"

namespace mining {

std::vector<std::uint64_t> RecordFigures::valueCounts(const Dataset& data, std::size_t a,
                                                      std::uint64_t& present) {
    std::vector<std::uint64_t> counts(data.attribute(a).values.size(), 0);
    present = 0;
    const CodeSpan codes = data.nominal(a);
    for (std::size_t r = 0; r < codes.size(); ++r) {
        const std::int32_t code = codes[r];
        if (code < 0) continue;
        ++counts[static_cast<std::size_t>(code)];
        ++present;
    }
    return counts;
}

bool RecordFigures::noNumber(const Dataset& data, std::size_t a) {
    const NumericColumn& column = data.numeric(a);
    for (std::size_t r = 0; r < column.size(); ++r)
        if (!isMissing(column[r])) return false;
    return true;
}

Numbering RecordFigures::numbering(const Dataset& data, std::size_t a) {
    const std::uint64_t read = recordsRead(data);
    const double limit = 2.0 * static_cast<double>(std::max(read, data.sample().estimatedRecords));
    return numberingOf({numberingPart(data.numeric(a), limit)}, read, [] { return true; });
}

std::vector<std::uint64_t> RecordFigures::linesHolding(std::string_view records, char delimiter,
                                                       std::size_t field,
                                                       const std::vector<std::string>& values,
                                                       std::size_t limit) {
    return mining::linesHolding(records, delimiter, field, values, limit);
}

NumberingPart numberingPart(const NumericColumn& column, double limit) {
    NumberingPart part;
    part.rows = column.size();
    if (part.rows == 0) return part;
    const auto fits = [limit](double x) {
        return !isMissing(x) && x >= 0 && x <= limit && x == std::floor(x);
    };
    // Most columns end here, before the bitmap.
    if (!fits(column[0])) {
        part.fits = false;
        return part;
    }
    std::vector<bool> seen(static_cast<std::size_t>(limit) + 1, false);
    for (std::size_t r = 0; r < part.rows; ++r) {
        const double x = column[r];
        if (!fits(x)) {
            part.fits = false;
            return part;
        }
        const auto at = static_cast<std::size_t>(x);
        if (seen[at]) {
            part.distinct = false;
            return part;
        }
        seen[at] = true;
        part.rising = part.rising && (r == 0 || x > column[r - 1]);
    }
    part.first = column[0];
    part.last = column[part.rows - 1];
    return part;
}

}  // namespace mining
