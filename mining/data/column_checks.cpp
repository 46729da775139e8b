#include "data/column_checks.h"

#include <cmath>

#include "data/number_parser.h"
#include "data/number_styles.h"
#include "util/report_text.h"

namespace mining {

namespace {

// A class with more numbers than this, in more than a tenth of the records, is a numeric target.
constexpr std::size_t kNumericTargetValues = 20;

bool isNumber(std::string_view text) { return numberValue(text).has_value(); }

// Returns true when nominal attribute `a` holds a different value in every record.
bool isIdentifier(const Dataset& data, std::size_t a) {
    return data.attribute(a).values.size() == data.recordCount();
}

// Returns true when numeric attribute `a` counts the records in file order: whole numbers from
// 0 or 1, one up each record (records left out for a missing class leave their gaps).
bool countsRecords(const Dataset& data, std::size_t a) {
    const NumericColumn& column = data.numeric(a);
    const std::size_t n = column.size();
    if (n == 0) return false;
    double previous = column[0];
    if (!(previous == 0 || previous == 1)) return false;
    for (std::size_t r = 1; r < n; ++r) {
        const double x = column[r];
        if (isMissing(x) || x <= previous || x != std::floor(x)) return false;
        previous = x;
    }
    const double span = previous - column[0] + 1;
    return span == static_cast<double>(data.recordCount() + data.missingClassCount());
}

// Reads nominal attribute `a` as numbers when its values are numbers as people write them.
void readNumbers(Dataset& data, std::size_t a, char delimiter) {
    const std::vector<std::string>& values = data.attribute(a).values;
    if (values.empty()) return;
    const std::optional<NumberReading> reading = readAsNumbers(values, delimiter);
    if (!reading) return;
    // The example shows a value written the column's way, not a plain number among them.
    std::size_t example = 0;
    while (example + 1 < values.size() && isNumber(values[example])) ++example;
    const std::string note = describeReading(data.attribute(a).name, *reading, values, example);
    const CodeSpan codes = data.nominal(a);
    ColumnVector<double> numbers(codes.size());
    for (std::size_t r = 0; r < codes.size(); ++r) {
        const std::int32_t code = codes[r];
        numbers[r] = code < 0 ? std::numeric_limits<double>::quiet_NaN()
                              : reading->numbers[static_cast<std::size_t>(code)];
    }
    data.makeNumeric(a, NumericColumn::fromDoubles(std::move(numbers)));
    data.addReadNote(note);
}

}  // namespace

bool headerNameIsAValue(const Dataset& data, const std::vector<std::string>& headerNames) {
    auto listed = [](const std::vector<std::string>& values, const std::string& name) {
        for (const std::string& v : values)
            if (v == name) return true;
        return false;
    };
    for (std::size_t a = 0; a < data.attributeCount() && a < headerNames.size(); ++a)
        if (data.attribute(a).type == AttributeType::Nominal &&
            listed(data.attribute(a).values, headerNames[a]))
            return true;
    return !headerNames.empty() && listed(data.classValues(), headerNames.back());
}

void checkColumns(Dataset& data, char delimiter, bool keepIds) {
    std::vector<std::string> leftOut;
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        if (data.attribute(a).type == AttributeType::Nominal) readNumbers(data, a, delimiter);
        if (keepIds || data.recordCount() < kIdentifierRecords) continue;
        const AttributeType type = data.attribute(a).type;
        const bool id = type == AttributeType::Nominal   ? isIdentifier(data, a)
                        : type == AttributeType::Numeric ? countsRecords(data, a)
                                                         : false;
        if (!id) continue;
        leftOut.push_back(shortForReport(data.attribute(a).name) +
                          (type == AttributeType::Nominal ? " (a different value in every record)"
                                                          : " (it counts the records)"));
        data.ignoreAttribute(a);
    }
    if (!leftOut.empty()) {
        std::string note = "left out as identifiers: ";
        for (std::size_t i = 0; i < leftOut.size(); ++i) note += (i ? ", " : "") + leftOut[i];
        data.addReadNote(note + "; --keep-ids keeps them");
    }
    const std::vector<std::string>& classes = data.classValues();
    if (classes.size() > kNumericTargetValues && classes.size() * 10 > data.recordCount()) {
        bool numbers = true;
        for (const std::string& v : classes) numbers = numbers && isNumber(v);
        if (numbers)
            data.addReadNote("the class holds " + std::to_string(classes.size()) +
                             " different numbers: a numeric target, which is read as that many "
                             "classes; choose a nominal class column with --class NAME|NUMBER");
    }
}

}  // namespace mining
