#include "data/column_checks.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

#include "data/missing_marks.h"
#include "data/number_parser.h"
#include "data/read_notes.h"
#include "data/text_fields.h"
#include "util/report_text.h"

namespace mining {

namespace {

// A class with more numbers than this, in more than a tenth of the records, is a numeric target.
constexpr std::size_t kNumericTargetValues = 20;

bool isNumber(std::string_view text) { return numberValue(text).has_value(); }

// Returns true when `value` alone reads as a number: plain, or as people write them.
bool readsAsNumber(const std::string& value, const ColumnCheckOptions& options) {
    return isNumber(value) ||
           readAsNumbers(std::span(&value, 1), options.delimiter, options.dates).has_value();
}

// A nominal column's values read as numbers: the number of each value (NaN for one read as
// missing), the style they are written in (none: plain numbers), and the values read as missing.
struct ColumnNumbers {
    std::vector<double> byValue;
    std::optional<NumberReading> reading;  // of the values read as numbers, when styled
    std::vector<std::size_t> readValues;   // ... those values, by index
    std::vector<std::size_t> gaps;         // "-", "--", "."
    std::vector<std::size_t> odd;          // values that are no numbers
};

// Sorts the values of nominal attribute `a` into gaps, values that are no numbers, and the rest
// (into `numbers`). Returns false as soon as more than kMaxOddRecords values are no numbers.
bool sortValues(const Dataset& data, std::size_t a, const ColumnCheckOptions& options,
                ColumnNumbers& numbers) {
    const std::vector<std::string>& values = data.attribute(a).values;
    for (std::size_t v = 0; v < values.size(); ++v) {
        if (numberGapMark(trimBlanks(values[v])) != kNoMark) {
            numbers.gaps.push_back(v);
        } else if (!readsAsNumber(values[v], options)) {
            numbers.odd.push_back(v);
            if (numbers.odd.size() > kMaxOddRecords) return false;
        } else {
            numbers.readValues.push_back(v);
        }
    }
    return !numbers.readValues.empty();
}

// Reads the values of `numbers.readValues` as numbers, styled or plain, into `numbers`.
bool readValues(const std::vector<std::string>& values, const ColumnCheckOptions& options,
                ColumnNumbers& numbers) {
    std::vector<std::string> kept;
    kept.reserve(numbers.readValues.size());
    for (const std::size_t v : numbers.readValues) kept.push_back(values[v]);
    numbers.byValue.assign(values.size(), std::numeric_limits<double>::quiet_NaN());
    numbers.reading = readAsNumbers(kept, options.delimiter, options.dates);
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const std::optional<double> number =
            numbers.reading ? std::optional(numbers.reading->numbers[k]) : numberValue(kept[k]);
        if (!number) return false;
        numbers.byValue[numbers.readValues[k]] = *number;
    }
    return true;
}

// Returns how nominal attribute `a` reads as numbers (see checkColumns), or nullopt.
std::optional<ColumnNumbers> columnNumbers(const Dataset& data, std::size_t a,
                                           const ColumnCheckOptions& options,
                                           RecordFigures& figures) {
    const std::vector<std::string>& values = data.attribute(a).values;
    ColumnNumbers numbers;
    if (values.empty()) return std::nullopt;
    if (std::optional<NumberReading> all =
            readAsNumbers(values, options.delimiter, options.dates)) {
        numbers.byValue = all->numbers;
        numbers.readValues.resize(values.size());
        for (std::size_t v = 0; v < values.size(); ++v) numbers.readValues[v] = v;
        numbers.reading = std::move(all);
        return numbers;
    }
    if (!sortValues(data, a, options, numbers)) return std::nullopt;
    if (numbers.gaps.empty() && numbers.odd.empty()) return std::nullopt;
    if (!numbers.odd.empty()) {
        std::uint64_t present = 0;
        const std::vector<std::uint64_t> counts = figures.valueCounts(data, a, present);
        std::uint64_t odd = 0;
        for (const std::size_t v : numbers.odd) odd += counts[v];
        if (odd > kMaxOddRecords || odd * kOddValueShare > present) return std::nullopt;
    }
    if (!readValues(values, options, numbers)) return std::nullopt;
    return numbers;
}

// Returns the field of attribute `a` in a record's line.
std::size_t fieldOf(const Dataset& data, std::size_t a) { return a + (a >= data.classField()); }

// Adds what `numbers` reads as missing in attribute `a` to the data set's missing counts: the
// gaps by count, the odd values by count and with their lines.
void countMissing(Dataset& data, std::size_t a, const ColumnNumbers& numbers,
                  const ColumnCheckOptions& options, RecordFigures& figures) {
    const std::vector<std::string>& values = data.attribute(a).values;
    std::uint64_t present = 0;
    const std::vector<std::uint64_t> counts = figures.valueCounts(data, a, present);
    for (const std::size_t v : numbers.gaps)
        if (counts[v] > 0) data.addMissingCount({a, values[v], counts[v], {}});
    for (const std::size_t v : numbers.odd) {
        if (counts[v] == 0) continue;
        std::vector<std::uint64_t> lines;
        if (!options.records.empty())
            lines = figures.linesHolding(options.records, options.delimiter, fieldOf(data, a),
                                         {values[v]}, counts[v]);
        for (std::uint64_t& line : lines) line += options.linesBefore;
        data.addMissingCount({a, values[v], counts[v], std::move(lines)});
    }
}

// Notes the conversion of attribute `a` as `numbers` reads it.
void noteConversion(Dataset& data, std::size_t a, const ColumnNumbers& numbers) {
    if (!numbers.reading) return;
    const std::vector<std::string>& values = data.attribute(a).values;
    // The example shows a value written the column's way, not a plain number among them.
    std::size_t k = 0;
    while (k + 1 < numbers.readValues.size() && isNumber(values[numbers.readValues[k]])) ++k;
    const NumberReading& reading = *numbers.reading;
    data.addConversion({a, reading.style, values[numbers.readValues[k]], reading.numbers[k],
                        reading.order, reading.orderGuessed});
}

// Reads nominal attribute `a` as numbers when its values are numbers as people write them.
void readNumbers(Dataset& data, std::size_t a, const ColumnCheckOptions& options,
                 RecordFigures& figures) {
    const std::optional<ColumnNumbers> numbers = columnNumbers(data, a, options, figures);
    if (!numbers) return;
    countMissing(data, a, *numbers, options, figures);
    noteConversion(data, a, *numbers);
    const CodeSpan codes = data.nominal(a);
    ColumnVector<double> column(codes.size());
    for (std::size_t r = 0; r < codes.size(); ++r) {
        const std::int32_t code = codes[r];
        column[r] = code < 0 ? std::numeric_limits<double>::quiet_NaN()
                             : numbers->byValue[static_cast<std::size_t>(code)];
    }
    data.makeNumeric(a, NumericColumn::fromDoubles(std::move(column)));
}

// Leaves out the identifier columns of `data` (see checkColumns). Returns the note, or "".
std::string leaveOutIdentifiers(Dataset& data, RecordFigures& figures) {
    std::vector<std::string> leftOut;
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        const AttributeType type = data.attribute(a).type;
        std::string why;
        if (type == AttributeType::Nominal &&
            data.attribute(a).values.size() == figures.records(data)) {
            why = "a different value in every record";
        } else if (type == AttributeType::Numeric) {
            const Numbering n = figures.numbering(data, a);
            if (n == Numbering::Counts) why = "it counts the records";
            if (n == Numbering::Numbers) why = "it numbers the records";
        }
        if (why.empty()) continue;
        leftOut.push_back(shortForReport(data.attribute(a).name) + " (" + why + ")");
        data.ignoreAttribute(a);
    }
    if (leftOut.empty()) return "";
    std::string note = "left out as identifiers: ";
    for (std::size_t i = 0; i < leftOut.size(); ++i) note += (i ? ", " : "") + leftOut[i];
    return note + "; --keep-ids keeps them";
}

bool isForcedNominal(const std::string& name, const ColumnCheckOptions& options) {
    return std::find(options.nominal.begin(), options.nominal.end(), name) != options.nominal.end();
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

void checkColumns(Dataset& data, const ColumnCheckOptions& options) {
    RecordFigures figures;
    checkColumns(data, options, figures);
}

void checkColumns(Dataset& data, const ColumnCheckOptions& options, RecordFigures& figures) {
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        if (data.attribute(a).type == AttributeType::Nominal &&
            !isForcedNominal(data.attribute(a).name, options))
            readNumbers(data, a, options, figures);
    const bool idsOut = !options.keepIds && figures.records(data) >= kIdentifierRecords;
    const std::string ids = idsOut ? leaveOutIdentifiers(data, figures) : "";
    for (std::string note : {numericTargetNote(data, figures.records(data)), ids,
                             missingValuesNote(data), conversionsNote(data)})
        if (!note.empty()) data.addReadNote(std::move(note));
}

std::string numericTargetNote(const Dataset& data) {
    return numericTargetNote(data, data.recordCount());
}

std::string numericTargetNote(const Dataset& data, std::uint64_t records) {
    const std::vector<std::string>& classes = data.classValues();
    if (classes.size() <= kNumericTargetValues || classes.size() * 10 <= records) return "";
    for (const std::string& v : classes)
        if (!isNumber(v)) return "";
    return "the class holds " + std::to_string(classes.size()) +
           " different numbers: a numeric target, which is read as that many classes; choose "
           "a nominal class column with --class NAME|NUMBER";
}

std::vector<std::uint64_t> linesHolding(std::string_view records, char delimiter, std::size_t field,
                                        const std::vector<std::string>& values, std::size_t limit) {
    const char lineEnd = endsLinesWithCarriageReturns(records) ? '\r' : '\n';
    std::vector<std::uint64_t> lines;
    std::vector<std::string_view> fields;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    for (const std::string& value : values) {
        if (value.empty()) continue;
        std::size_t counted = 0;  // the line ends before `counted` make `line`
        std::uint64_t line = 1;
        for (std::size_t at = records.find(value); at != records.npos && lines.size() < limit;
             at = records.find(value, at)) {
            const std::size_t begin = records.rfind(lineEnd, at) + 1;  // npos + 1 is 0
            const std::size_t end = std::min(records.find(lineEnd, at), records.size());
            line += static_cast<std::uint64_t>(
                std::count(records.begin() + static_cast<std::ptrdiff_t>(counted),
                           records.begin() + static_cast<std::ptrdiff_t>(begin), lineEnd));
            counted = begin;
            if (splitDelimited(records.substr(begin, end - begin), delimiter, fields, quoted,
                               storage, error, field + 1) &&
                field < fields.size() && fields[field] == value)
                lines.push_back(line);
            at = end;
        }
    }
    std::sort(lines.begin(), lines.end());
    if (lines.size() > limit) lines.resize(limit);
    return lines;
}

}  // namespace mining
