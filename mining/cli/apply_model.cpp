#include "cli/apply_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "cli/classifier_report.h"
#include "cli/run_files.h"
#include "data/reader.h"
#include "data/text_fields.h"
#include "report/atomic_file.h"
#include "util/report_text.h"

namespace mining {

namespace {

// The longest error message a model file can cause; its bytes are shown, control bytes as '?'.
constexpr std::size_t kMaxMessage = 300;

std::string oneLine(std::string message) {
    if (message.size() > kMaxMessage) message = message.substr(0, kMaxMessage - 3) + "...";
    for (char& c : message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return message;
}

// Returns true when `names` holds the name of every attribute the model uses.
bool namesEveryAttribute(const std::vector<std::string>& names, const ModelSchema& schema) {
    for (const Attribute& a : schema.attributes)
        if (a.type != AttributeType::Ignored &&
            std::find(names.begin(), names.end(), a.name) == names.end())
            return false;
    return true;
}

// Returns true when `text` reads as a finite number, which it sets `x` to.
bool isNumber(const std::string& text, double& x) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, x);
    return error == std::errc() && stop == end && std::isfinite(x);
}

// Returns the shortest text that reads back as `x`: "1" for 1.0, "0.1" for 0.1.
std::string shortest(double x) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

// Returns `text` as a CSV field: double-quoted, quotes doubled, when it holds a comma, a quote
// or a line end, or starts or ends with a blank.
std::string csvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
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
            codes[r] = isMissing(from[r]) ? kMissingCode : code(shortest(from[r]));
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
            if (!isNumber(text, values[r]))
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

// Returns the model of the parsed model file `file`, named `name`.
Result<LoadedModel> loadParsed(const Result<nlohmann::json>& file, const std::string& name,
                               const ClassifierProgram& program) {
    using R = Result<LoadedModel>;
    if (!file) return R::failure(oneLine(file.error()));
    try {
        const std::string saved = model_json::text(*file, "program");
        if (saved != program.info().name)
            return R::failure(oneLine(name + " holds a model of " + quoteForMessage(saved) +
                                      ", not of " + program.info().name));
        LoadedModel loaded;
        loaded.schema = schemaFromJson(model_json::field(*file, "schema"));
        loaded.model = program.loadModel(model_json::field(*file, "model"), loaded.schema);
        return loaded;
    } catch (const ModelFileError& e) {
        return R::failure(oneLine(name + " is not a sound model file: " + e.what()));
    } catch (const nlohmann::json::exception& e) {
        return R::failure(oneLine(name + " is not a sound model file: " + e.what()));
    }
}

}  // namespace

Result<LoadedModel> loadModelText(std::string_view text, const std::string& name,
                                  const ClassifierProgram& program) {
    return loadParsed(parseModelText(text, name), name, program);
}

Result<LoadedModel> loadModelFile(const std::string& path, const ClassifierProgram& program) {
    return loadParsed(readModelFile(path), path, program);
}

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

Result<RecordsForModel> readForModel(const DataSource& source, const ModelSchema& schema) {
    using R = Result<RecordsForModel>;
    Result<FileColumns> columns = readColumns(source, HeaderRule::Guess);
    if (!columns) return R::failure(columns.error());
    // A first line that names every attribute the model uses is a header, even where the
    // guess (which asks for words over numbers, or many records) did not take it for one.
    if (!columns->named && source.format != DataFormat::Arff) {
        Result<FileColumns> asHeader = readColumns(source, HeaderRule::Present);
        if (asHeader && namesEveryAttribute(asHeader->names, schema)) columns = std::move(asHeader);
    }
    ReadOptions options;
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
    bool usage = false;
    const Result<Dataset> read = readData(source, options, usage);
    if (!read) return R::failure(read.error());
    return alignRecords(*read, schema, columns->named, present);
}

std::string predictionsCsv(const Dataset& data, std::span<const RowIndex> rows,
                           const std::vector<std::uint64_t>& lines,
                           const std::vector<std::string>& actual,
                           const std::vector<std::int32_t>& predicted,
                           const std::vector<double>& probabilities) {
    std::string out = "line";
    if (!actual.empty()) out += ",actual";
    out += ",predicted";
    for (const std::string& c : data.classValues()) out += "," + csvField("P(" + c + ")");
    out += '\n';
    const std::size_t k = data.classCount();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowIndex r = rows[i];
        out += r < lines.size() ? std::to_string(lines[r]) : std::string("?");
        if (!actual.empty()) out += "," + csvField(actual[r]);
        out += "," + csvField(data.classValues()[static_cast<std::size_t>(predicted[i])]);
        for (std::size_t c = 0; c < k; ++c) out += "," + shortest(probabilities[i * k + c]);
        out += '\n';
    }
    return out;
}

std::string predictionsPath(const std::string& base, const ProgramInfo& info) {
    return base + info.reportSuffix + "_predictions.csv";
}

int applyModel(const std::string& modelPath, const std::string& dataArgument,
               const ClassifierProgram& program, std::chrono::steady_clock::time_point start,
               const std::string& runId) {
    const ProgramInfo& info = program.info();
    auto fail = [&info](const std::string& message, int status = 1) {
        std::cerr << info.name << ": Error: " << message << '\n';
        return status;
    };
    const DataSource source = findDataSource(dataArgument);
    const std::string predictions = predictionsPath(source.base, info);
    const std::string reportPath = source.base + info.reportSuffix + "_applied.output";
    std::vector<RunPath> inputs{{modelPath, "the model file"}, {source.path, "the data file"}};
    std::error_code error;
    if (!source.namesPath.empty() && std::filesystem::exists(source.namesPath, error))
        inputs.push_back({source.namesPath, "the names file"});
    const Status safe =
        checkRunPaths(inputs, {{predictions, "the predictions file"}, {reportPath, "the report"}});
    if (!safe) return fail(safe.error(), 2);
    const Result<LoadedModel> loaded = loadModelFile(modelPath, program);
    if (!loaded) return fail(loaded.error());
    const Result<RecordsForModel> records = readForModel(source, loaded->schema);
    if (!records) return fail(records.error());
    const auto readDone = std::chrono::steady_clock::now();
    const Dataset& data = records->data;
    std::vector<RowIndex> rows(data.recordCount());
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = static_cast<RowIndex>(r);
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
    loaded->model->predictWithProbabilities(data, rows, predicted, probabilities);
    std::vector<FileToWrite> files{
        {predictions, predictionsCsv(data, rows, data.recordLines(), records->actual, predicted,
                                     probabilities)}};
    if (records->classPresent) {
        AppliedRun run;
        run.modelPath = modelPath;
        run.notes = records->notes;
        run.records = rows.size();
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (data.classes()[r] >= 0) {
                run.evaluated.push_back(static_cast<RowIndex>(r));
                run.predicted.push_back(predicted[r]);
            }
        const std::string report = appliedReport(data, info, *loaded->model, run, start, readDone);
        files.push_back({reportPath, report + runLines(runId, files)});
    }
    const Status written = writeFilesAtomically(files);
    if (!written) return fail(written.error());
    return 0;
}

}  // namespace mining
