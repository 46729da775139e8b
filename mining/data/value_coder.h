#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// Gives each nominal value its code: its index in a value list. A fixed list (from .names) only
// answers; an open list grows by each new value, so codes follow the order of first appearance.
class ValueCoder {
public:
    // `values` must outlive the coder and change only through it.
    ValueCoder(std::vector<std::string>* values, bool fixed);

    // Returns the code of `value`, adding it to an open list; -1 when a fixed list lacks it.
    std::int32_t code(std::string_view value) {
        const std::uint64_t key = keyOf(value);
        const std::uint64_t h = hashOf(key, value);
        for (std::size_t slot = h & mask_;; slot = (slot + 1) & mask_) {
            const Entry& e = table_[slot];
            if (e.code < 0) break;
            // Values of up to eight bytes are equal when key and size are.
            if (e.key == key && e.size == value.size() &&
                (value.size() <= 8 || (*values_)[static_cast<std::size_t>(e.code)] == value))
                return e.code;
        }
        return fixed_ ? -1 : add(value);
    }

private:
    struct Entry {
        std::uint64_t key = 0;
        std::size_t size = 0;
        std::int32_t code = -1;  // -1: empty slot
    };

    // Returns the first eight bytes of `value`, zero-padded, as one number.
    static std::uint64_t keyOf(std::string_view value) {
        std::uint64_t key = 0;
        const std::size_t n = value.size() < 8 ? value.size() : 8;
        for (std::size_t i = 0; i < n; ++i)
            key |= std::uint64_t{static_cast<unsigned char>(value[i])} << (8 * i);
        return key;
    }
    static std::uint64_t hashOf(std::uint64_t key, std::string_view value) {
        std::uint64_t h = key ^ (value.size() * 0x9E3779B97F4A7C15ull);
        if (value.size() > 8)
            for (std::size_t i = 8; i < value.size(); ++i)
                h = (h ^ static_cast<unsigned char>(value[i])) * 1099511628211ull;
        h *= 0xBF58476D1CE4E5B9ull;
        return h ^ (h >> 31);
    }

    std::int32_t add(std::string_view value);
    void insert(std::int32_t code);
    void rebuild(std::size_t capacity);

    std::vector<std::string>* values_;
    bool fixed_;
    std::vector<Entry> table_;  // open addressing, at most half full; size a power of two
    std::size_t mask_ = 0;
};

}  // namespace mining
