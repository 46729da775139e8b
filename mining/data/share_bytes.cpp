// A share of a text as bytes: what one process of a run read, sent to the process that joins
// the shares. Fixed-width integers in this machine's byte order (the processes of a run are one
// program on machines alike), each list after its length.
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "data/dataset_builder.h"

namespace mining {

namespace {

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void number(std::uint64_t n) { raw(&n, sizeof n); }
    void text(std::string_view s) {
        number(s.size());
        out_.append(s);
    }
    void texts(const std::vector<std::string>& list) {
        number(list.size());
        for (const std::string& s : list) text(s);
    }
    template <class T>
    void items(std::span<const T> list) {
        static_assert(std::is_trivially_copyable_v<T>);
        number(list.size());
        raw(list.data(), list.size() * sizeof(T));
    }

private:
    void raw(const void* data, std::size_t size) {
        out_.append(static_cast<const char*>(data), size);
    }
    std::string& out_;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    std::uint64_t number() {
        std::uint64_t n = 0;
        raw(&n, sizeof n);
        return n;
    }
    std::size_t count(std::size_t itemBytes) {
        const std::uint64_t n = number();
        if (itemBytes > 0 && n > in_.size() / itemBytes) fail();
        return static_cast<std::size_t>(n);
    }
    std::string text() {
        const std::size_t n = count(1);
        std::string s(in_.substr(0, n));
        in_.remove_prefix(n);
        return s;
    }
    std::vector<std::string> texts() {
        std::vector<std::string> list(count(sizeof(std::uint64_t)));
        for (std::string& s : list) s = text();
        return list;
    }
    template <class T>
    ColumnVector<T> items() {
        ColumnVector<T> list(count(sizeof(T)));
        raw(list.data(), list.size() * sizeof(T));
        return list;
    }
    bool done() const { return in_.empty(); }

private:
    [[noreturn]] static void fail() {
        throw std::invalid_argument("a share's bytes are cut short or malformed");
    }
    void raw(void* data, std::size_t size) {
        if (size > in_.size()) fail();
        if (size > 0) std::memcpy(data, in_.data(), size);
        in_.remove_prefix(size);
    }
    std::string_view in_;
};

enum ColumnKind : std::uint64_t { kNone, kMantissas, kDoubles, kBytes, kWide };

void saveCodes(Writer& out, const CodeColumn& codes) {
    out.number(codes.narrow() ? kBytes : kWide);
    if (codes.narrow())
        out.items(codes.bytes());
    else
        out.items(codes.wide());
}

CodeColumn loadCodes(Reader& in) {
    const std::uint64_t kind = in.number();
    if (kind == kBytes) return CodeColumn(in.items<std::uint8_t>());
    if (kind != kWide) throw std::invalid_argument("a share's codes are malformed");
    return CodeColumn(in.items<std::int32_t>());
}

}  // namespace

void ShareRead::save(std::string& bytes) const {
    Writer out(bytes);
    out.text(error);
    out.text(firstRecordError);
    out.number(quoteLeftOpen ? 1 : 0);
    out.number(comments);
    out.number(kept);
    out.number(missingClass);
    std::vector<std::uint64_t> typeCodes;
    for (const AttributeType type : types) typeCodes.push_back(static_cast<std::uint64_t>(type));
    out.items(std::span<const std::uint64_t>(typeCodes));
    const std::vector<MarkCount> counts = marks.counts();
    out.number(counts.size());
    for (const MarkCount& m : counts) {
        out.number(m.column);
        out.number(m.mark);
        out.number(m.count);
    }
    out.number(data ? 1 : 0);
    if (!data) return;
    const Dataset& d = *data;
    out.number(d.attributes_.size());
    for (std::size_t a = 0; a < d.attributes_.size(); ++a) {
        const Attribute& attribute = d.attributes_[a];
        out.text(attribute.name);
        out.number(static_cast<std::uint64_t>(attribute.type));
        out.texts(attribute.values);
        if (attribute.type == AttributeType::Numeric) {
            const NumericColumn& column = d.numeric_[a];
            if (const std::optional<DecimalView> decimals = column.decimals()) {
                out.number(kMantissas);
                out.number(static_cast<std::uint64_t>(column.fractionDigits()));
                out.items(decimals->mantissas());
            } else {
                out.number(kDoubles);
                const std::vector<double> values = column.toVector();
                out.items(std::span<const double>(values));
            }
        } else if (attribute.type == AttributeType::Nominal) {
            saveCodes(out, d.nominal_[a]);
        }
    }
    out.texts(d.classValues_);
    saveCodes(out, d.classes_);
    out.number(d.missingClassCount_);
    out.items(std::span<const std::uint64_t>(d.recordLines_));
}

ShareRead ShareRead::load(std::string_view bytes) {
    Reader in(bytes);
    ShareRead share;
    share.error = in.text();
    share.firstRecordError = in.text();
    share.quoteLeftOpen = in.number() != 0;
    share.comments = static_cast<std::size_t>(in.number());
    share.kept = in.number();
    share.missingClass = in.number();
    for (const std::uint64_t type : in.items<std::uint64_t>()) {
        if (type > static_cast<std::uint64_t>(AttributeType::Ignored))
            throw std::invalid_argument("a share's types are malformed");
        share.types.push_back(static_cast<AttributeType>(type));
    }
    for (std::size_t m = in.count(3 * sizeof(std::uint64_t)); m > 0; --m) {
        const auto column = static_cast<std::uint32_t>(in.number());
        const auto mark = static_cast<MarkId>(in.number());
        share.marks.add(column, mark, in.number());
    }
    if (in.number() == 0) {
        if (!in.done()) throw std::invalid_argument("a share's bytes are malformed");
        return share;
    }
    Dataset& d = share.data.emplace();
    const std::size_t attributes = in.count(3 * sizeof(std::uint64_t));
    d.attributes_.resize(attributes);
    d.numeric_.resize(attributes);
    d.nominal_.resize(attributes);
    for (std::size_t a = 0; a < attributes; ++a) {
        Attribute& attribute = d.attributes_[a];
        attribute.name = in.text();
        const std::uint64_t type = in.number();
        if (type > static_cast<std::uint64_t>(AttributeType::Ignored))
            throw std::invalid_argument("a share's types are malformed");
        attribute.type = static_cast<AttributeType>(type);
        attribute.values = in.texts();
        if (attribute.type == AttributeType::Numeric) {
            const std::uint64_t kind = in.number();
            if (kind == kMantissas) {
                const std::uint64_t digits = in.number();
                if (digits > static_cast<std::uint64_t>(kMaxScaledFractionDigits))
                    throw std::invalid_argument("a share's numbers are malformed");
                d.numeric_[a] = NumericColumn::fromMantissas(in.items<std::int32_t>(),
                                                             static_cast<int>(digits));
            } else if (kind == kDoubles) {
                d.numeric_[a] = NumericColumn::fromDoubles(in.items<double>());
            } else {
                throw std::invalid_argument("a share's numbers are malformed");
            }
        } else if (attribute.type == AttributeType::Nominal) {
            d.nominal_[a] = loadCodes(in);
        }
    }
    d.classValues_ = in.texts();
    d.classes_ = loadCodes(in);
    d.missingClassCount_ = static_cast<std::size_t>(in.number());
    const ColumnVector<std::uint64_t> lines = in.items<std::uint64_t>();
    d.recordLines_.assign(lines.begin(), lines.end());
    if (!in.done()) throw std::invalid_argument("a share's bytes are malformed");
    return share;
}

}  // namespace mining
