#include "data/attribute_spread.h"

#include <cstring>

namespace mining {

namespace {

// Returns the spread of attribute `a` of `data`'s own rows, and in `first` the bits of its first
// present value (a numeric one's double, 0 for either zero; a nominal one's code).
Spread ownSpread(const Dataset& data, std::size_t a, std::uint64_t& first) {
    bool seen = false;
    if (data.attribute(a).type == AttributeType::Numeric) {
        const NumericColumn& column = data.numeric(a);
        double value = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const double x = column[r];
            if (isMissing(x)) continue;
            if (seen && x != value) return Spread::Varied;
            value = x;
            seen = true;
        }
        if (value == 0) value = 0;  // -0 and 0 are one value
        std::memcpy(&first, &value, sizeof first);
    } else {
        const CodeSpan column = data.nominal(a);
        std::int32_t value = 0;
        for (std::size_t r = 0; r < data.recordCount(); ++r) {
            const std::int32_t v = column[r];
            if (v < 0) continue;
            if (seen && v != value) return Spread::Varied;
            value = v;
            seen = true;
        }
        first = static_cast<std::uint64_t>(value);
    }
    return seen ? Spread::OneValue : Spread::NoValues;
}

}  // namespace

Spread spreadOf(const Dataset& data, std::size_t a) {
    if (!data.spreadsInAll().empty()) return data.spreadsInAll()[a];
    std::uint64_t first = 0;
    return ownSpread(data, a, first);
}

std::vector<Spread> spreadsInAll(const Dataset& share, Collective& collective) {
    const std::size_t n = share.attributeCount();
    // Per attribute: the spread, then the first value's bits.
    std::vector<std::uint64_t> own(2 * n, 0);
    for (std::size_t a = 0; a < n; ++a)
        if (share.attribute(a).type != AttributeType::Ignored)
            own[2 * a] = static_cast<std::uint64_t>(ownSpread(share, a, own[2 * a + 1]));
    std::string bytes(own.size() * sizeof(std::uint64_t), '\0');
    if (!own.empty()) std::memcpy(bytes.data(), own.data(), bytes.size());
    std::string combined;
    if (const std::vector<std::string> parts = collective.gather(bytes); !parts.empty()) {
        std::vector<Spread> spreads(n, Spread::NoValues);
        std::vector<std::uint64_t> first(n, 0);
        for (const std::string& part : parts) {
            std::vector<std::uint64_t> in(2 * n, 0);
            if (!in.empty())
                std::memcpy(in.data(), part.data(), std::min(part.size(), bytes.size()));
            for (std::size_t a = 0; a < n; ++a) {
                const auto spread = static_cast<Spread>(in[2 * a]);
                if (spread == Spread::NoValues || spreads[a] == Spread::Varied) continue;
                if (spread == Spread::Varied ||
                    (spreads[a] == Spread::OneValue && in[2 * a + 1] != first[a])) {
                    spreads[a] = Spread::Varied;
                    continue;
                }
                spreads[a] = Spread::OneValue;
                first[a] = in[2 * a + 1];
            }
        }
        for (const Spread s : spreads) combined += static_cast<char>(s);
    }
    collective.broadcast(combined);
    std::vector<Spread> spreads;
    for (const char c : combined) spreads.push_back(static_cast<Spread>(c));
    return spreads;
}

}  // namespace mining
