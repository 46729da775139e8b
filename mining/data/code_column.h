#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <vector>

#include "data/column_vector.h"

namespace mining {

// The code stored for a missing nominal value ('?').
inline constexpr std::int32_t kMissingCode = -1;

// A view of the codes of one nominal column or of the classes: each row's index in the
// column's value list, or kMissingCode. The codes lie either one byte a row (kMissingByte marks
// a missing value) or four; reading a code costs one test that a loop over rows hoists.
class CodeSpan {
public:
    // The byte of a missing value among one-byte codes.
    static constexpr std::uint8_t kMissingByte = 0xFF;

    CodeSpan() = default;
    explicit CodeSpan(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.data()), size_(bytes.size()) {}
    explicit CodeSpan(std::span<const std::int32_t> wide)
        : wide_(wide.data()), size_(wide.size()) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Returns the code in `row`, kMissingCode when missing. Requires row < size().
    std::int32_t operator[](std::size_t row) const {
        if (bytes_ != nullptr) return bytes_[row] == kMissingByte ? kMissingCode : bytes_[row];
        return wide_[row];
    }

    // Returns the rows [offset, offset + count). Requires offset + count <= size().
    CodeSpan subspan(std::size_t offset, std::size_t count) const {
        CodeSpan part = *this;
        if (bytes_ != nullptr) part.bytes_ += offset;
        if (wide_ != nullptr) part.wide_ += offset;
        part.size_ = count;
        return part;
    }

    // Reads the codes in row order (for checks and tests; hot loops index).
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::int32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::int32_t;

        Iterator() = default;
        Iterator(const std::uint8_t* bytes, const std::int32_t* wide, std::size_t row)
            : bytes_(bytes), wide_(wide), row_(row) {}
        std::int32_t operator*() const {
            if (bytes_ != nullptr)
                return bytes_[row_] == kMissingByte ? kMissingCode : bytes_[row_];
            return wide_[row_];
        }
        Iterator& operator++() {
            ++row_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++row_;
            return before;
        }
        bool operator==(const Iterator& other) const { return row_ == other.row_; }

    private:
        const std::uint8_t* bytes_ = nullptr;
        const std::int32_t* wide_ = nullptr;
        std::size_t row_ = 0;
    };
    Iterator begin() const { return Iterator(bytes_, wide_, 0); }
    Iterator end() const { return Iterator(bytes_, wide_, size_); }

    // Returns every code in row order.
    std::vector<std::int32_t> toVector() const;
    // Returns the codes of `rows` (each < size()), in that order, stored as wide as these.
    class CodeColumn gather(std::span<const std::uint32_t> rows) const;

    friend bool operator==(const CodeSpan& x, const CodeSpan& y);

private:
    const std::uint8_t* bytes_ = nullptr;
    const std::int32_t* wide_ = nullptr;
    std::size_t size_ = 0;
};

// The codes of one column, owned: one byte a row while every code fits below kMissingByte,
// else four. Large files of few values per attribute (nearly all) then take a quarter of the
// memory, with no limit on the values an attribute may have.
class CodeColumn {
public:
    // The most values one-byte codes can tell apart.
    static constexpr std::size_t kMaxByteValues = CodeSpan::kMissingByte;

    CodeColumn() = default;
    // Takes one-byte codes (CodeSpan::kMissingByte where missing).
    explicit CodeColumn(ColumnVector<std::uint8_t> bytes)
        : narrow_(true), bytes_(std::move(bytes)) {}
    // Takes four-byte codes (kMissingCode where missing).
    explicit CodeColumn(ColumnVector<std::int32_t> wide) : narrow_(false), wide_(std::move(wide)) {}

    bool narrow() const { return narrow_; }
    std::size_t size() const { return narrow_ ? bytes_.size() : wide_.size(); }
    std::int32_t operator[](std::size_t row) const { return view()[row]; }
    CodeSpan view() const { return narrow_ ? CodeSpan(bytes()) : CodeSpan(wide()); }
    // Returns rows [offset, offset + count). Requires offset + count <= size().
    CodeSpan view(std::size_t offset, std::size_t count) const {
        return view().subspan(offset, count);
    }

    // The stored codes: bytes() when narrow(), else wide(); the other is empty.
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<const std::int32_t> wide() const { return wide_; }
    std::span<std::uint8_t> bytes() { return bytes_; }
    std::span<std::int32_t> wide() { return wide_; }
    bool empty() const { return size() == 0; }

private:
    bool narrow_ = true;
    ColumnVector<std::uint8_t> bytes_;
    ColumnVector<std::int32_t> wide_;
};

// Returns `code` as one byte: CodeSpan::kMissingByte for kMissingCode. Requires code to be
// kMissingCode or below CodeColumn::kMaxByteValues.
inline std::uint8_t codeByte(std::int32_t code) {
    return code < 0 ? CodeSpan::kMissingByte : static_cast<std::uint8_t>(code);
}

}  // namespace mining
