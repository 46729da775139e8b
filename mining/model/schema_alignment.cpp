#include "model/schema_alignment.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "data/number_parser.h"
#include "data/reader.h"
#include "data/text_fields.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining {

namespace {

// Returns true when `names` holds the name of every attribute the model uses.
bool namesEveryAttribute(const std::vector<std::string>& names, const ModelSchema& schema) {
    for (const Attribute& a : schema.attributes)
        if (a.type != AttributeType::Ignored &&
            std::find(names.begin(), names.end(), a.name) == names.end())
            return false;
    return true;
}

// Returns a note on `count` records holding values of `name` that the model never saw.
std::string unseenNote(const std::string& name, std::size_t count) {
    return "Note: " + std::to_string(count) + (count == 1 ? " record holds" : " records hold") +
           " a value of " + shortForReport(name) +
           " that the model never saw (treated as the model treats such values).";
}

// Returns the column of the model's nominal attribute `attribute` over `rows` records of
// `read`'s column `j`, counting values the model never saw into `unseen`.
CodeColumn nominalColumn(const Dataset& read, std::size_t j, const Attribute& attribute,
                         std::size_t& unseen) {
    std::unordered_map<std::string_view, std::int32_t> codeOf;
    for (std::size_t v = 0; v < attribute.values.size(); ++v)
        codeOf.emplace(attribute.values[v], static_cast<std::int32_t>(v));
    const auto unknown = static_cast<std::int32_t>(attribute.values.size());
    auto code = [&](std::string_view value) {
        const auto it = codeOf.find(value);
        if (it != codeOf.end()) return it->second;
        ++unseen;
        return unknown;
    };
    const std::size_t rows = read.recordCount();
    ColumnVector<std::int32_t> codes(rows);
    const Attribute& column = read.attribute(j);
    if (column.type == AttributeType::Nominal) {
        // The file's value list, recoded once; then each row by its code.
        std::vector<std::string_view> names(column.values.begin(), column.values.end());
        const CodeSpan from = read.nominal(j);
        std::vector<std::int32_t> recode(names.size(), -2);
        for (std::size_t r = 0; r < rows; ++r) {
            const std::int32_t c = from[r];
            if (c < 0) {
                codes[r] = kMissingCode;
                continue;
            }
            std::int32_t& to = recode[static_cast<std::size_t>(c)];
            if (to == -2) {
                const auto it = codeOf.find(names[static_cast<std::size_t>(c)]);
                to = it == codeOf.end() ? unknown : it->second;
            }
            unseen += to == unknown;
            codes[r] = to;
        }
    } else if (column.type == AttributeType::Numeric) {
        const NumericColumn& from = read.numeric(j);
        for (std::size_t r = 0; r < rows; ++r)
            codes[r] = isMissing(from[r]) ? kMissingCode : code(shortestDecimal(from[r]));
    } else {
        for (std::size_t r = 0; r < rows; ++r) codes[r] = kMissingCode;
    }
    return CodeColumn(std::move(codes));
}

// Returns the numeric column of `read`'s column `j`, or an error when it holds words.
Result<NumericColumn> numericColumn(const Dataset& read, std::size_t j, const std::string& name) {
    const std::size_t rows = read.recordCount();
    ColumnVector<double> values(rows);
    const Attribute& column = read.attribute(j);
    if (column.type == AttributeType::Nominal) {
        // Read as words where some value is not a number: the first such one is named.
        const CodeSpan codes = read.nominal(j);
        for (std::size_t r = 0; r < rows; ++r) {
            values[r] = std::numeric_limits<double>::quiet_NaN();
            if (codes[r] < 0) continue;
            const std::string& text = column.values[static_cast<std::size_t>(codes[r])];
            const std::optional<double> number = numberValue(text);
            if (number) values[r] = *number;
            if (!number)
                return Result<NumericColumn>::failure(
                    read.dataPath() + ", line " +
                    std::to_string(read.recordLines().empty() ? r + 1 : read.recordLines()[r]) +
                    ": column " + quoteForMessage(name) + " holds " + quoteForMessage(text) +
                    ", but the model reads numbers there");
        }
    } else if (column.type == AttributeType::Numeric) {
        const NumericColumn& from = read.numeric(j);
        for (std::size_t r = 0; r < rows; ++r) values[r] = from[r];
    } else {
        for (std::size_t r = 0; r < rows; ++r) values[r] = std::numeric_limits<double>::quiet_NaN();
    }
    return NumericColumn::fromDoubles(std::move(values));
}

// Sets the class of each record in the model's class values, and its text as the file has it.
CodeColumn classColumn(const Dataset& read, const ModelSchema& schema, bool present,
                       RecordsForModel& out) {
    const std::size_t rows = read.recordCount();
    ColumnVector<std::int32_t> codes(rows);
    out.actual.assign(present ? rows : 0, std::string());
    std::unordered_map<std::string_view, std::int32_t> codeOf;
    for (std::size_t c = 0; c < schema.classValues.size(); ++c)
        codeOf.emplace(schema.classValues[c], static_cast<std::int32_t>(c));
    std::size_t unknown = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        codes[r] = kMissingCode;
        const std::int32_t c = present ? read.classes()[r] : kMissingCode;
        if (c < 0) continue;
        const std::string& text = read.classValues()[static_cast<std::size_t>(c)];
        out.actual[r] = text;
        const auto it = codeOf.find(text);
        if (it == codeOf.end())
            ++unknown;
        else
            codes[r] = it->second;
    }
    if (unknown > 0)
        out.notes.push_back("Note: " + std::to_string(unknown) +
                            (unknown == 1 ? " record has a class the model does not know; it is"
                                          : " records have a class the model does not know; they "
                                            "are") +
                            " scored but not evaluated.");
    return CodeColumn(std::move(codes));
}

}  // namespace

Result<RecordsForModel> alignRecords(const Dataset& read, const ModelSchema& schema, bool byName,
                                     bool classPresent) {
    using R = Result<RecordsForModel>;
    RecordsForModel out;
    out.classPresent = classPresent;
    std::unordered_map<std::string_view, std::size_t> columnOf;
    for (std::size_t j = 0; j < read.attributeCount(); ++j)
        columnOf.emplace(read.attribute(j).name, j);
    const std::size_t n = schema.attributes.size();
    std::vector<NumericColumn> numeric(n);
    std::vector<CodeColumn> nominal(n);
    for (std::size_t a = 0; a < n; ++a) {
        const Attribute& attribute = schema.attributes[a];
        if (attribute.type == AttributeType::Ignored) continue;
        const auto found = columnOf.find(attribute.name);
        const std::size_t j =
            byName ? (found == columnOf.end() ? read.attributeCount() : found->second) : a;
        if (j >= read.attributeCount())
            return R::failure(read.dataPath() + " has no column " +
                              quoteForMessage(attribute.name) + ", which the model needs");
        if (attribute.type == AttributeType::Numeric) {
            Result<NumericColumn> column = numericColumn(read, j, attribute.name);
            if (!column) return R::failure(column.error());
            numeric[a] = std::move(column.value());
            continue;
        }
        std::size_t unseen = 0;
        nominal[a] = nominalColumn(read, j, attribute, unseen);
        if (unseen > 0) out.notes.push_back(unseenNote(attribute.name, unseen));
    }
    CodeColumn classes = classColumn(read, schema, classPresent, out);
    out.data = Dataset::fromColumns(schema.attributes, schema.classValues, std::move(numeric),
                                    std::move(nominal), std::move(classes));
    out.data.setClassName(schema.className);
    out.data.setSource(read.dataPath(), read.namesPath());
    out.data.setReadAs(read.readAs());
    for (const std::string& note : read.readNotes()) out.data.addReadNote(note);
    out.data.recordLines() = read.recordLines();
    return out;
}

Result<RecordsForModel> readForModel(const DataSource& source, const ModelSchema& schema,
                                     const ReadOptions& asked) {
    using R = Result<RecordsForModel>;
    const char delimiter = asked.columns.delimiter;
    Result<FileColumns> columns = readColumns(source, HeaderRule::Guess, delimiter);
    if (!columns) return R::failure(columns.error());
    // A first line that names every attribute the model uses is a header, even where the
    // guess (which asks for words over numbers, or many records) did not take it for one.
    if (!columns->named && source.format != DataFormat::Arff) {
        Result<FileColumns> asHeader = readColumns(source, HeaderRule::Present, delimiter);
        if (asHeader && namesEveryAttribute(asHeader->names, schema)) columns = std::move(asHeader);
    }
    ReadOptions options;
    options.columns.delimiter = delimiter;
    options.missingTokens = asked.missingTokens;
    options.keepIds = true;
    options.keepMissingClass = true;
    options.recordLines = true;
    const std::size_t attributes = schema.attributes.size();
    bool present = true;
    if (columns->declared) {
        // A .names file declares the class as the last field of every record.
    } else if (columns->named) {
        const std::vector<std::string>& names = columns->names;
        present = std::find(names.begin(), names.end(), schema.className) != names.end();
        options.columns.classColumn = schema.className;
        // A model trained on a file that does not name its class (.names, no header) calls it
        // "class": then a last column that names no attribute of the model is the class.
        if (!present && schema.className == "class" && !names.empty()) {
            const bool attribute =
                std::any_of(schema.attributes.begin(), schema.attributes.end(),
                            [&names](const Attribute& a) { return a.name == names.back(); });
            present = !attribute;
            options.columns.classColumn = "last";
        }
        if (source.format != DataFormat::Arff) options.columns.header = HeaderRule::Present;
    } else {
        const std::size_t count = columns->names.size();
        if (count != attributes && count != attributes + 1)
            return R::failure(source.path + " has " + std::to_string(count) +
                              " columns, but the model has " + std::to_string(attributes) +
                              " attributes (and the class, last, when the file holds it); "
                              "a header line would let the columns be matched by name");
        present = count == attributes + 1;
        options.columns.header = HeaderRule::Absent;
    }
    options.columns.classAbsent = !present;
    for (std::size_t a = 0; a < attributes; ++a)
        if (schema.attributes[a].type == AttributeType::Nominal)
            options.columns.nominal.push_back(columns->named ? schema.attributes[a].name
                                                             : "a" + std::to_string(a + 1));
    const Result<Dataset> read = readData(source, options);
    if (!read) return R::failure(read.error());
    return alignRecords(*read, schema, columns->named, present);
}

}  // namespace mining
