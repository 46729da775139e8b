#include "fuzz_checks.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "data/line_parser.h"
#include "data/reader.h"

namespace fuzz {

void fail(const std::string& what, const std::string& detail) {
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what.c_str(), detail.c_str());
    std::abort();
}

void checkMessage(const std::string& message) {
    if (message.empty()) fail("an empty error message");
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) fail("a control byte in an error message", message);
    }
}

void checkDataset(const mining::Dataset& data) {
    using mining::AttributeType;
    const std::size_t n = data.recordCount();
    if (n == 0) fail("a data set without records was accepted");
    if (data.classCount() == 0) fail("a data set without class values was accepted");
    const auto classes = data.classes();
    if (classes.size() != n) fail("the class column has the wrong length");
    for (const std::int32_t c : classes)
        if (c < 0 || static_cast<std::size_t>(c) >= data.classCount())
            fail("a class code outside the class values", std::to_string(c));
    for (std::size_t i = 0; i < data.attributeCount(); ++i) {
        const mining::Attribute& a = data.attribute(i);
        if (a.type == AttributeType::Numeric) {
            const mining::NumericColumn& column = data.numeric(i);
            if (column.size() != n) fail("a numeric column has the wrong length", a.name);
            for (std::size_t r = 0; r < n; ++r) {
                const double v = column[r];
                if (std::isinf(v)) fail("an infinite value was read", a.name);
            }
        } else if (a.type == AttributeType::Nominal) {
            const auto codes = data.nominal(i);
            if (codes.size() != n) fail("a nominal column has the wrong length", a.name);
            for (const std::int32_t c : codes)
                if (c != mining::kMissingCode &&
                    (c < 0 || static_cast<std::size_t>(c) >= a.values.size()))
                    fail("a nominal code outside the attribute's values", a.name);
        }
    }
}

namespace {

bool sameNumber(double x, double y) {
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
    return std::memcmp(&x, &y, sizeof x) == 0;
}

}  // namespace

void checkSame(const mining::Result<mining::Dataset>& a, const mining::Result<mining::Dataset>& b,
               const std::string& what) {
    using mining::AttributeType;
    if (a.ok() != b.ok())
        fail(what + ": one read succeeds, the other fails", a.ok() ? b.error() : a.error());
    if (!a.ok()) {
        if (a.error() != b.error()) fail(what + ": different errors", a.error() + "\n" + b.error());
        return;
    }
    const mining::Dataset& x = *a;
    const mining::Dataset& y = *b;
    if (x.recordCount() != y.recordCount() || x.missingClassCount() != y.missingClassCount())
        fail(what + ": different record counts");
    if (x.classValues() != y.classValues()) fail(what + ": different class values");
    if (!std::equal(x.classes().begin(), x.classes().end(), y.classes().begin(), y.classes().end()))
        fail(what + ": different classes");
    if (x.attributeCount() != y.attributeCount()) fail(what + ": different attribute counts");
    for (std::size_t i = 0; i < x.attributeCount(); ++i) {
        const mining::Attribute& p = x.attribute(i);
        const mining::Attribute& q = y.attribute(i);
        if (p.name != q.name || p.type != q.type || p.values != q.values)
            fail(what + ": attribute " + std::to_string(i + 1) + " differs");
        if (p.type == AttributeType::Numeric) {
            for (std::size_t r = 0; r < x.recordCount(); ++r)
                if (!sameNumber(x.numeric(i)[r], y.numeric(i)[r]))
                    fail(what + ": numeric attribute " + p.name + " differs in row " +
                         std::to_string(r));
        } else if (p.type == AttributeType::Nominal) {
            if (!std::equal(x.nominal(i).begin(), x.nominal(i).end(), y.nominal(i).begin(),
                            y.nominal(i).end()))
                fail(what + ": nominal attribute " + p.name + " differs");
        }
    }
}

namespace {

// A line parser with open value lists of its own.
struct LineReading {
    explicit LineReading(const mining::RecordLayout& layout) : values(layout.fieldCount) {
        coders.reserve(layout.fieldCount);
        for (std::vector<std::string>& v : values) coders.emplace_back(&v, false);
        parser = std::make_unique<mining::LineParser>(layout, coders);
    }
    std::vector<std::vector<std::string>> values;
    std::vector<mining::ValueCoder> coders;
    std::unique_ptr<mining::LineParser> parser;
};

bool sameCell(const mining::Cell& a, const std::vector<std::string>& aValues, const mining::Cell& b,
              const std::vector<std::string>& bValues) {
    using mining::CellKind;
    if (a.kind != b.kind) return false;
    if (a.kind == CellKind::Decimal)
        return a.decimal.mantissa == b.decimal.mantissa &&
               a.decimal.fractionDigits == b.decimal.fractionDigits;
    if (a.kind == CellKind::Code)
        return aValues[static_cast<std::size_t>(a.code)] ==
               bValues[static_cast<std::size_t>(b.code)];
    return true;
}

void checkLine(const mining::RecordLayout& layout, std::string_view line) {
    LineReading plain(layout);
    if (!plain.parser->parsePlain(line)) return;
    LineReading full(layout);
    if (full.parser->parse(line) != mining::LineOutcome::Record)
        fail("the plain path accepts a line the full rules do not", std::string(line));
    for (std::size_t i = 0; i < layout.fieldCount; ++i) {
        const bool ignored =
            i + 1 < layout.fieldCount && layout.types[i] == mining::AttributeType::Ignored;
        if (!ignored && !sameCell(plain.parser->cells()[i], plain.values[i],
                                  full.parser->cells()[i], full.values[i]))
            fail("the plain and full paths read field " + std::to_string(i + 1) + " apart",
                 std::string(line));
    }
}

}  // namespace

void checkLinePaths(std::string_view text) {
    const mining::Result<mining::RecordLayout> layout = mining::layoutFromFirstRecord(text, "data");
    // A bound on the work per input, so that a wide or long one stays quick to check.
    constexpr std::size_t kMostCells = 100000;
    if (!layout || layout->fieldCount > kMostCells) return;
    std::size_t cells = 0;
    while (!text.empty() && cells < kMostCells) {
        cells += layout->fieldCount;
        const std::size_t nl = text.find('\n');
        checkLine(*layout, text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    }
}

Parts splitAtNul(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(bytes), size);
    const std::size_t nul = all.find('\0');
    if (nul == std::string_view::npos) return {all, std::nullopt};
    return {all.substr(0, nul), all.substr(nul + 1)};
}

void checkFormatRead(std::string_view text, int format) {
    const auto dataFormat = static_cast<mining::DataFormat>(format);
    mining::ReadOptions options;
    const mining::Result<mining::Dataset> one =
        mining::parseData(text, dataFormat, std::nullopt, options, "file", "", 1);
    if (one)
        checkDataset(*one);
    else
        checkMessage(one.error());
    // One parallel read per input; the thread count, 2 to 4, follows from the input.
    const std::size_t threads = 2 + text.size() % 3;
    const mining::Result<mining::Dataset> many =
        mining::parseData(text, dataFormat, std::nullopt, options, "file", "", threads);
    checkSame(one, many, "1 thread and " + std::to_string(threads) + " threads");
}

}  // namespace fuzz
