#include "cli/run_classifier.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/apply_model.h"
#include "cli/classifier_report.h"
#include "cli/command_line.h"
#include "cli/run_files.h"
#include "data/class_limit.h"
#include "data/reader.h"
#include "report/atomic_file.h"
#include "util/number_format.h"

namespace mining {

namespace {

// The message of a run that ran out of memory.
constexpr const char* kOutOfMemory =
    "out of memory: the run needs more memory than the system gives it (a smaller "
    "--time-limit reads a smaller sample of a large file)";

// Writes the error report (when `reportPath` is known) and the message on stderr; a usage
// error (status 2) adds the usage line. Returns `status`.
int fail(const std::string& reportPath, const std::string& message, int status,
         const ProgramInfo& info) {
    const std::string line = "Error: " + message;
    std::cerr << info.name << ": " << line << '\n';
    if (!reportPath.empty()) {
        const Status written = writeFileAtomically(reportPath, line + "\n");
        if (!written) std::cerr << info.name << ": " << written.error() << '\n';
    }
    if (status == 2) std::cerr << usageLine(info) << " (see --help)\n";
    return status;
}

// Returns where the report on BASE (a data file's path, or that path less ".data") goes: beside
// the data, named by its path less a known suffix; "" when BASE is not known.
std::string reportPath(const std::string& data, const ProgramInfo& info) {
    return data.empty() ? "" : baseOfPath(data) + info.reportSuffix + ".output";
}

// Returns how much of the data file `path` a run of `program` within about `seconds` reads
// (0: no limit): the whole file when the whole run fits, else a sample that fits. Only the
// file's size decides, never the clock, so the same file, options and seed always give the same
// records. Self-tuning needs no share of it: it runs only where the run leaves room (see
// tuningBudget in classifier_report.cpp).
ReadLimits readLimits(const std::string& path, const RunSettings& settings,
                      const ClassifierProgram& program) {
    ReadLimits limits;
    limits.seed = settings.seed;
    if (settings.timeLimit <= 0) return limits;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return limits;  // the reader says what is wrong with the file
    const RunCosts costs = program.costs();
    const double work = settings.timeLimit * kLimitShare;
    if (static_cast<double>(size) * costs.wholeSecondsPerByte <= work) return limits;
    // However small the limit, a sample of some bytes is read (0 would mean the whole file).
    limits.maxBytes =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(work / costs.sampledSecondsPerByte));
    return limits;
}

// Returns how the run evaluates, for the files written beside the report.
std::string evaluationText(const RunSettings& settings) {
    if (settings.folds > 0)
        return "Evaluation: stratified " + std::to_string(settings.folds) +
               "-fold cross-validation, folds dealt with seed " + std::to_string(settings.seed) +
               "; the model is trained on all records.";
    return "Split: " + formatGeneral(settings.percent, 6) + " % train, " +
           (settings.keepOrder ? "in file order (--keep-order)"
                               : "shuffled with seed " + std::to_string(settings.seed)) +
           ".";
}

// Returns the files a run on `source` reads and writes, with their roles.
void listRunPaths(const CommandLine& line, const ClassifierProgram& program,
                  const DataSource& source, const std::string& reportPath,
                  std::vector<RunPath>& inputs, std::vector<RunPath>& outputs) {
    inputs = {{source.path, "the data file"}};
    std::error_code error;
    if (!source.namesPath.empty() && std::filesystem::exists(source.namesPath, error))
        inputs.push_back({source.namesPath, "the names file"});
    outputs = {{reportPath, "the report"}};
    if (!line.settings.saveModel.empty())
        outputs.push_back({line.settings.saveModel, "the saved model"});
    if (line.settings.predictions)
        outputs.push_back({predictionsPath(source.base, program.info()), "the predictions file"});
    for (const RunPath& path : program.outputPaths()) outputs.push_back(path);
}

// Returns the error of a run whose files would collide: a usage error, on stderr alone, so that
// no file is touched.
int pathFailure(const std::string& message, const ProgramInfo& info) {
    return fail("", message, 2, info);
}

// Returns the files a run keeps besides its report: tarnel's SQL, the model (--save-model) and
// the predictions (--predictions), or an error message.
Result<std::vector<FileToWrite>> companionFiles(const Dataset& data, const RunSettings& settings,
                                                const DataSource& source,
                                                const ClassifierProgram& program,
                                                const RunOutputs& outputs,
                                                std::vector<OutputFile> programFiles,
                                                const std::string& runId) {
    using R = Result<std::vector<FileToWrite>>;
    std::vector<FileToWrite> files;
    for (OutputFile& file : programFiles)
        files.push_back({std::move(file.path), std::move(file.content)});
    if (!settings.saveModel.empty()) {
        nlohmann::json model;
        if (!outputs.trained->save(model)) return R::failure("this model cannot be saved");
        files.push_back(
            {settings.saveModel, modelFileText(program.info().name, data, model, runId)});
    }
    if (settings.predictions) {
        std::vector<std::string> actual(data.recordCount());
        for (const RowIndex r : outputs.rows)
            actual[r] = data.classValues()[static_cast<std::size_t>(data.classes()[r])];
        files.push_back({predictionsPath(source.base, program.info()),
                         predictionsCsv(data, outputs.rows, data.recordLines(), actual,
                                        outputs.predicted, outputs.probabilities)});
    }
    return files;
}

// Reads, trains, evaluates and writes the report and its companions as `line` asks. Returns the
// exit status.
int runLine(const CommandLine& line, ClassifierProgram& program,
            std::chrono::steady_clock::time_point start, const std::string& runId,
            std::string& errorReport) {
    const ProgramInfo& info = program.info();
    const DataSource source = findDataSource(line.base);
    const std::string path = source.base + info.reportSuffix + ".output";
    std::vector<RunPath> inputs, outputPaths;
    listRunPaths(line, program, source, path, inputs, outputPaths);
    if (const Status safe = checkRunPaths(inputs, outputPaths); !safe)
        return pathFailure(safe.error(), info);
    errorReport = path;
    // Cross-validation trains a model per fold and one on all records: each gets its share
    // of the time limit, and the file is read within one share as well.
    RunSettings limited = line.settings;
    if (limited.folds > 0) limited.timeLimit /= limited.folds + 1;
    program.limitWork(limited.timeLimit);
    const std::unique_ptr<Model> model = program.makeModel();
    const ModelMaker maker{[&program] { return program.makeModel(); },
                           program.candidates(line.given), program.costs(), program.tuningCosts()};
    ReadOptions options;
    options.limits = readLimits(source.path, limited, program);
    options.columns = line.settings.columns;
    options.keepIds = line.settings.keepIds;
    options.recordLines = line.settings.predictions;
    bool usage = false;
    const Result<Dataset> read = readData(source, options, usage);
    if (!read) return fail(path, read.error(), usage ? 2 : 1, info);
    if (const Status classes = checkClassColumn(*read); !classes)
        return fail(path, classes.error(), 1, info);
    std::vector<OutputFile> programFiles;
    const DescribedModel described = [&](const Model& trained, const std::string& result) {
        const RunFacts facts{info.name + " " + kProgramVersion + ": " + info.summary, result,
                             evaluationText(line.settings), runId};
        programFiles = program.outputFiles(trained, *read, facts);
    };
    RunOutputs kept;
    kept.wantPredictions = line.settings.predictions;
    const Result<std::string> report =
        classifierReport(*read, line.settings, info, *model, start,
                         std::chrono::steady_clock::now(), maker, described, &kept);
    if (!report) return fail(path, report.error(), 1, info);
    Result<std::vector<FileToWrite>> files =
        companionFiles(*read, line.settings, source, program, kept, std::move(programFiles), runId);
    if (!files) return fail(path, files.error(), 1, info);
    files->push_back({path, *report + runLines(runId, *files)});
    const Status written = writeFilesAtomically(*files);
    if (!written) return fail(path, written.error(), 1, info);
    return 0;
}

// The whole run of `args` (see runClassifier). `errorReport` becomes the report's path once the
// run knows that an error report may go there.
int runCommand(const std::vector<std::string>& args, ClassifierProgram& program,
               std::chrono::steady_clock::time_point start, std::string& errorReport) {
    const CommandLine line = parseCommandLine(args, program);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::cout << line.text;
            return 0;
        case CommandLine::Action::Version:
            std::cout << line.text << '\n';
            return 0;
        case CommandLine::Action::UsageError:
            return fail(reportPath(line.base, program.info()), line.text, 2, program.info());
        case CommandLine::Action::Run:
            break;
    }
    const std::string runId = newRunId();
    if (!line.settings.applyModel.empty())
        return applyModel(line.settings.applyModel, line.base, program, start, runId);
    return runLine(line, program, start, runId, errorReport);
}

}  // namespace

int runClassifier(int argc, char** argv, ClassifierProgram& program) {
    const auto start = std::chrono::steady_clock::now();
    std::string errorReport;
    try {
        const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
        return runCommand(args, program, start, errorReport);
    } catch (const std::bad_alloc&) {
        // Memory ran out somewhere in the run; what it held is freed, and one line still fits.
        return fail(errorReport, kOutOfMemory, 1, program.info());
    }
}

}  // namespace mining
