#include "data/duplicate_records.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace mining {

namespace {}  // namespace

std::vector<std::uint64_t> recordHashes(const Dataset& data) {
    const std::size_t n = data.recordCount();
    std::vector<std::uint64_t> h(n);
    const CodeSpan classes = data.classes();
    for (std::size_t r = 0; r < n; ++r)
        h[r] = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(classes[r]);
    auto mix = [](std::uint64_t& x, std::uint64_t v) {
        x = (x ^ v) * 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
    };
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const AttributeType type = data.attribute(a).type;
        if (type == AttributeType::Numeric) {
            const NumericColumn& column = data.numeric(a);
            if (const std::optional<DecimalView> decimals = column.decimals()) {
                for (std::size_t r = 0; r < n; ++r)
                    mix(h[r], static_cast<std::uint64_t>(
                                  static_cast<std::int64_t>(decimals->mantissa(r))));
                continue;
            }
            for (std::size_t r = 0; r < n; ++r) {
                const double x = column[r];
                std::uint64_t bits = 0x7FF8000000000001ull;
                if (!isMissing(x)) std::memcpy(&bits, &x, sizeof bits);
                mix(h[r], bits);
            }
        } else if (type == AttributeType::Nominal) {
            const CodeSpan codes = data.nominal(a);
            for (std::size_t r = 0; r < n; ++r)
                mix(h[r], static_cast<std::uint64_t>(static_cast<std::int64_t>(codes[r])));
        }
    }
    return h;
}

namespace {

// Returns true when rows `a` and `b` hold the same values (attributes and class).
bool sameRecord(const Dataset& data, RowIndex a, RowIndex b) {
    if (data.classes()[a] != data.classes()[b]) return false;
    for (std::size_t i = 0; i < data.attributeCount(); ++i) {
        const AttributeType type = data.attribute(i).type;
        if (type == AttributeType::Numeric) {
            const double x = data.numeric(i)[a];
            const double y = data.numeric(i)[b];
            if (!(x == y || (isMissing(x) && isMissing(y)))) return false;
        } else if (type == AttributeType::Nominal && data.nominal(i)[a] != data.nominal(i)[b]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<bool> recordsSeenAmong(const Dataset& data, std::span<const RowIndex> train,
                                   std::span<const RowIndex> test) {
    const std::vector<std::uint64_t> h = recordHashes(data);
    std::vector<std::pair<std::uint64_t, RowIndex>> hashes;
    hashes.reserve(train.size());
    for (const RowIndex r : train) hashes.push_back({h[r], r});
    std::sort(hashes.begin(), hashes.end());
    std::vector<bool> seen(test.size(), false);
    for (std::size_t i = 0; i < test.size(); ++i) {
        const RowIndex r = test[i];
        auto it = std::lower_bound(hashes.begin(), hashes.end(), std::make_pair(h[r], RowIndex{0}));
        for (; it != hashes.end() && it->first == h[r] && !seen[i]; ++it)
            seen[i] = sameRecord(data, it->second, r);
    }
    return seen;
}

}  // namespace mining
