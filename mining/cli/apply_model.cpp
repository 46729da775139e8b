#include "cli/apply_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "cli/run_files.h"
#include "cli/run_page.h"
#include "cli/run_report.h"
#include "data/data_folder.h"
#include "data/reader.h"
#include "data/text_fields.h"
#include "evaluation/baseline.h"
#include "util/atomic_file.h"
#include "util/number_format.h"
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

// Returns the model of the parsed model file `file`, named `name`.
Result<LoadedModel> loadParsed(const Result<JsonDocument>& file, const std::string& name,
                               const ClassifierProgram& program) {
    using R = Result<LoadedModel>;
    if (!file) return R::failure(oneLine(file.error()));
    try {
        const JsonValue root = file->root();
        const std::string saved = model_json::text(root, "program");
        if (saved != program.info().name)
            return R::failure(oneLine(name + " holds a model of " + quoteForMessage(saved) +
                                      ", not of " + program.info().name));
        LoadedModel loaded;
        loaded.schema = schemaFromJson(model_json::field(root, "schema"));
        loaded.model = program.loadModel(model_json::field(root, "model"), loaded.schema);
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
    return loadParsed(parseModelDocument(text, name), name, program);
}

Result<LoadedModel> loadModelFile(const std::string& path, const ClassifierProgram& program) {
    return loadParsed(readModelDocument(path), path, program);
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
        for (std::size_t c = 0; c < k; ++c) out += "," + shortestDecimal(probabilities[i * k + c]);
        out += '\n';
    }
    return out;
}

std::string predictionsPath(const std::string& base, const ProgramInfo& info) {
    return base + info.reportSuffix + "_predictions.csv";
}

namespace {

// Returns the result of `model` applied to `records`: every record scored, those with a class
// the model knows evaluated.
RunResult appliedResult(std::unique_ptr<Model> model, const RecordsForModel& records,
                        const std::vector<std::int32_t>& predicted, const std::string& modelPath,
                        RunTimes times) {
    const Dataset& data = records.data;
    RunResult result;
    result.kind = EvaluationKind::Applied;
    result.modelPath = modelPath;
    result.scored = data.recordCount();
    result.appliedNotes = records.notes;
    result.evaluation = Evaluation(data.classCount());
    std::vector<RowIndex> evaluated;
    for (std::size_t r = 0; r < data.recordCount(); ++r)
        if (data.classes()[r] >= 0) {
            evaluated.push_back(static_cast<RowIndex>(r));
            result.evaluation.add(data.classes()[r], predicted[r]);
        }
    result.majority = majorityClass(data, evaluated);
    result.baseline = classShare(data, evaluated, result.majority);
    result.model = std::move(model);
    times.trainDone = times.readDone;
    times.testDone = RunTimes::Clock::now();
    result.times = times;
    return result;
}

}  // namespace

Status applyModel(const std::string& modelPath, const std::string& dataArgument,
                  const ClassifierProgram& program, RunTimes times, const std::string& runId,
                  const ReadOptions& asked, const std::string& htmlPath) {
    const ProgramInfo& info = program.info();
    DataSource source = findDataSource(dataArgument);
    if (source.folder)
        if (const Status listed = listDataFolder(source); !listed) return listed;
    const std::string predictions = predictionsPath(source.base, info);
    const std::string reportPath = source.base + info.reportSuffix + "_applied.output";
    std::vector<RunPath> inputs{{modelPath, "the model file"}};
    if (!source.folder) inputs.push_back({source.path, "the data file"});
    for (const std::string& shard : source.shards) inputs.push_back({shard, "a data file"});
    std::error_code error;
    if (!source.namesPath.empty() && std::filesystem::exists(source.namesPath, error))
        inputs.push_back({source.namesPath, "the names file"});
    std::vector<RunPath> outputs{{predictions, "the predictions file"}, {reportPath, "the report"}};
    if (!htmlPath.empty()) outputs.push_back({htmlPath, "the web page"});
    const Status safe = checkRunPaths(inputs, outputs);
    if (!safe) return Status::failure(safe.error(), ErrorKind::Usage);
    Result<LoadedModel> loaded = loadModelFile(modelPath, program);
    if (!loaded) return Status::failure(loaded.error(), loaded.kind());
    const Result<RecordsForModel> records = readForModel(source, loaded->schema, asked);
    if (!records) return Status::failure(records.error(), records.kind());
    times.readDone = RunTimes::Clock::now();
    const Dataset& data = records->data;
    std::vector<RowIndex> rows(data.recordCount());
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = static_cast<RowIndex>(r);
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
    loaded->model->predictWithProbabilities(data, rows, predicted, probabilities);
    std::vector<FileToWrite> files{
        {predictions, predictionsCsv(data, rows, data.recordLines(), records->actual, predicted,
                                     probabilities)}};
    if (!htmlPath.empty() && !records->classPresent)
        return Status::failure("--html draws the evaluation, and " + source.path +
                                   " holds no class column to evaluate with",
                               ErrorKind::Data);
    if (records->classPresent) {
        const RunResult result =
            appliedResult(std::move(loaded->model), *records, predicted, modelPath, times);
        if (!htmlPath.empty()) files.push_back({htmlPath, runPage(data, info, result, runId)});
        files.push_back(
            {reportPath, runReport(data, RunOptions(), info, result) + runLines(runId, files)});
    }
    return writeFilesAtomically(files);
}

}  // namespace mining
