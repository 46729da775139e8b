#include "util/exact_moments.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace mining {

namespace {

constexpr std::uint64_t kLimbMask = 0xFFFFFFFFu;
// Additions a limb takes before its carries must move: each adds less than 2^32 in size.
constexpr std::uint32_t kCarryEvery = 1u << 30;
// A double is m * 2^e with |m| < 2^53 and -1074 <= e <= 971: its sum is kept at 2^-kSumBias, so
// every position is at least 0, and its square at 2^-(2 kSumBias).
constexpr std::int64_t kSumBias = 1088;

using Digits = std::vector<std::uint32_t>;

Digits digitsOf(UInt128 u) {
    Digits d;
    for (; u != 0; u >>= 32) d.push_back(static_cast<std::uint32_t>(u & kLimbMask));
    return d;
}

void trim(Digits& d) {
    while (!d.empty() && d.back() == 0) d.pop_back();
}

// Adds a * n * 2^(32 shift) to `out`. Requires n < 2^32 and room in `out`.
void addTimes(Digits& out, const Digits& a, std::uint64_t n, std::size_t shift) {
    std::uint64_t carry = 0;
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        const std::uint64_t t = static_cast<std::uint64_t>(a[i]) * n + out[shift + i] + carry;
        out[shift + i] = static_cast<std::uint32_t>(t & kLimbMask);
        carry = t >> 32;
    }
    for (i += shift; carry != 0; ++i) {
        const std::uint64_t t = out[i] + carry;
        out[i] = static_cast<std::uint32_t>(t & kLimbMask);
        carry = t >> 32;
    }
}

Digits times(const Digits& a, std::uint64_t n) {
    Digits out(a.size() + 3, 0);
    addTimes(out, a, n & kLimbMask, 0);
    addTimes(out, a, n >> 32, 1);
    trim(out);
    return out;
}

Digits square(const Digits& a) {
    Digits out(2 * a.size() + 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i) addTimes(out, a, a[i], i);
    trim(out);
    return out;
}

// Returns a - b. Requires a >= b.
Digits minus(Digits a, const Digits& b) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::int64_t t = static_cast<std::int64_t>(a[i]) - borrow -
                         (i < b.size() ? static_cast<std::int64_t>(b[i]) : 0);
        borrow = t < 0 ? 1 : 0;
        if (t < 0) t += std::int64_t{1} << 32;
        a[i] = static_cast<std::uint32_t>(t);
    }
    trim(a);
    return a;
}

bool less(const Digits& a, const Digits& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

// Returns the integer `d` in long double, from its top 96 bits: a function of the exact value
// alone, so equal integers give equal bits.
long double toLongDouble(const Digits& d) {
    if (d.empty()) return 0;
    const std::size_t top = d.size() - 1;
    long double x = 0;
    for (std::size_t k = 0; k < 3 && k <= top; ++k) x = x * 4294967296.0L + d[top - k];
    const std::size_t used = std::min<std::size_t>(3, top + 1);
    return std::ldexp(x, static_cast<int>(32 * (top + 1 - used)));
}

template <typename T>
void put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T take(std::string_view& in) {
    if (in.size() < sizeof(T)) throw std::invalid_argument("exact sums cut short");
    T value;
    std::memcpy(&value, in.data(), sizeof value);
    in.remove_prefix(sizeof value);
    return value;
}

}  // namespace

void WideSum::save(std::string& out) const {
    put(out, first_);
    put(out, pending_);
    put(out, static_cast<std::uint64_t>(limbs_.size()));
    for (const std::int64_t l : limbs_) put(out, l);
}

WideSum WideSum::load(std::string_view& in) {
    WideSum s;
    s.first_ = take<std::int64_t>(in);
    s.pending_ = take<std::uint32_t>(in);
    const auto count = take<std::uint64_t>(in);
    // A limb counts at least 2^32 per index: 200 limbs hold every double's square.
    if (s.first_ < 0 || s.first_ > 1000 || count > 1000 || s.pending_ >= kCarryEvery ||
        in.size() < count * sizeof(std::int64_t))
        throw std::invalid_argument("malformed exact sums");
    s.limbs_.resize(count);
    for (std::int64_t& l : s.limbs_) l = take<std::int64_t>(in);
    return s;
}

void WideSum::grow(std::int64_t first, std::int64_t end) {
    // Keeps every limb there is, and makes room for limbs [first, end).
    if (limbs_.empty()) {
        first_ = first;
        limbs_.assign(static_cast<std::size_t>(end - first), 0);
        return;
    }
    if (first < first_) {
        limbs_.insert(limbs_.begin(), static_cast<std::size_t>(first_ - first), 0);
        first_ = first;
    }
    const std::int64_t last = first_ + static_cast<std::int64_t>(limbs_.size());
    if (end > last) limbs_.resize(limbs_.size() + static_cast<std::size_t>(end - last), 0);
}

void WideSum::add(UInt128 u, std::int64_t position, bool negative) {
    if (u == 0) return;
    if (++pending_ >= kCarryEvery) carry();
    const std::int64_t index = position / 32;
    const int offset = static_cast<int>(position % 32);
    // u * 2^offset in 32-bit chunks: the first takes u's low 32 - offset bits.
    std::uint64_t chunks[5];
    int count = 0;
    chunks[count++] = static_cast<std::uint64_t>(u & ((std::uint64_t{1} << (32 - offset)) - 1))
                      << offset;
    for (u >>= (32 - offset); u != 0; u >>= 32)
        chunks[count++] = static_cast<std::uint64_t>(u & kLimbMask);
    if (limbs_.empty() || index < first_ ||
        index + count > first_ + static_cast<std::int64_t>(limbs_.size()))
        grow(index, index + count);
    std::int64_t* at = limbs_.data() + (index - first_);
    for (int k = 0; k < count; ++k) {
        const auto c = static_cast<std::int64_t>(chunks[k]);
        at[k] += negative ? -c : c;
    }
}

void WideSum::carry() {
    pending_ = 0;
    for (std::size_t i = 0; i + 1 < limbs_.size(); ++i) {
        const std::int64_t up = limbs_[i] >> 32;  // floor division: the limb keeps 0 to 2^32 - 1
        limbs_[i] -= up * (std::int64_t{1} << 32);
        limbs_[i + 1] += up;
    }
    // The top limb keeps the sign; it moves a limb up only when it outgrows 32 bits.
    constexpr std::int64_t kLimb = std::int64_t{1} << 32;
    if (!limbs_.empty() && (limbs_.back() >= kLimb || limbs_.back() <= -kLimb)) {
        const std::int64_t up = limbs_.back() >> 32;
        limbs_.back() -= up * kLimb;
        limbs_.push_back(up);
    }
}

void WideSum::merge(const WideSum& other) {
    if (other.limbs_.empty()) return;
    if (pending_ + other.pending_ + 1 >= kCarryEvery) carry();
    WideSum right = other;
    if (right.pending_ + pending_ + 1 >= kCarryEvery) right.carry();
    const std::int64_t end = right.first_ + static_cast<std::int64_t>(right.limbs_.size());
    grow(right.first_, end);
    for (std::size_t i = 0; i < right.limbs_.size(); ++i)
        limbs_[static_cast<std::size_t>(right.first_ - first_) + i] += right.limbs_[i];
    pending_ += right.pending_ + 1;
}

void WideSum::value(bool& negative, std::vector<std::uint32_t>& magnitude) const {
    WideSum s = *this;
    s.carry();
    negative = !s.limbs_.empty() && s.limbs_.back() < 0;
    if (negative) {
        for (std::int64_t& l : s.limbs_) l = -l;
        s.carry();
    }
    magnitude.assign(static_cast<std::size_t>(std::max<std::int64_t>(s.first_, 0)), 0);
    for (const std::int64_t l : s.limbs_) magnitude.push_back(static_cast<std::uint32_t>(l));
    trim(magnitude);
}

ExactMoments::ExactMoments(int fractionDigits) : fractionDigits_(fractionDigits) {}

void ExactMoments::add(double x) {
    ++count_;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const bool negative = (bits >> 63) != 0;
    const auto exponentBits = static_cast<std::int64_t>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    std::int64_t exponent = -1074;
    if (exponentBits != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = exponentBits - 1075;
    }
    wideSum_.add(mantissa, exponent + kSumBias, negative);
    wideSquares_.add(static_cast<UInt128>(mantissa) * mantissa, 2 * (exponent + kSumBias), false);
}

void ExactMoments::merge(const ExactMoments& other) {
    count_ += other.count_;
    sum_ += other.sum_;
    squares_ += other.squares_;
    wideSum_.merge(other.wideSum_);
    wideSquares_.merge(other.wideSquares_);
}

void ExactMoments::save(std::string& out) const {
    put(out, fractionDigits_);
    put(out, count_);
    put(out, sum_);
    put(out, squares_);
    wideSum_.save(out);
    wideSquares_.save(out);
}

ExactMoments ExactMoments::load(std::string_view& in) {
    ExactMoments m(take<int>(in));
    if (m.fractionDigits_ < -1 || m.fractionDigits_ > 9)
        throw std::invalid_argument("malformed exact moments");
    m.count_ = take<std::uint64_t>(in);
    m.sum_ = take<Int128>(in);
    m.squares_ = take<UInt128>(in);
    m.wideSum_ = WideSum::load(in);
    m.wideSquares_ = WideSum::load(in);
    return m;
}

void ExactMoments::sums(bool& negative, std::vector<std::uint32_t>& sum,
                        std::vector<std::uint32_t>& squares) const {
    if (fractionDigits_ >= 0) {
        negative = sum_ < 0;
        sum = digitsOf(negative ? static_cast<UInt128>(-sum_) : static_cast<UInt128>(sum_));
        squares = digitsOf(squares_);
        return;
    }
    wideSum_.value(negative, sum);
    bool ignored = false;
    wideSquares_.value(ignored, squares);
}

long double ExactMoments::inUnits(long double x, int power) const {
    if (fractionDigits_ < 0) return std::ldexp(x, static_cast<int>(-kSumBias * power));
    // 10^k is exact in long double up to 10^27 (5^27 < 2^64), and k is at most 18 here.
    long double unit = 1;
    for (int k = 0; k < fractionDigits_ * power; ++k) unit *= 10;
    return x / unit;
}

double ExactMoments::mean() const {
    if (count_ == 0) return std::numeric_limits<double>::quiet_NaN();
    bool negative = false;
    Digits sum, squares;
    sums(negative, sum, squares);
    const long double s = inUnits(toLongDouble(sum), 1) / static_cast<long double>(count_);
    return static_cast<double>(negative ? -s : s);
}

long double ExactMoments::longVariance() const {
    if (count_ < 2) return 0;
    bool negative = false;
    Digits sum, squares;
    sums(negative, sum, squares);
    const Digits scaled = times(squares, count_);
    const Digits sumSquared = square(sum);
    // n S2 >= S1^2 always; the guard only keeps a fault from wrapping round.
    const Digits spread = less(scaled, sumSquared) ? Digits{} : minus(scaled, sumSquared);
    const long double n = static_cast<long double>(count_);
    return inUnits(toLongDouble(spread), 2) / (n * (n - 1));
}

double ExactMoments::variance() const { return static_cast<double>(longVariance()); }

double ExactMoments::stdDev() const { return static_cast<double>(std::sqrt(longVariance())); }

}  // namespace mining
