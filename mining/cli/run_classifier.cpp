#include "cli/run_classifier.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/apply_model.h"
#include "cli/classifier_report.h"
#include "cli/command_line.h"
#include "data/reader.h"
#include "report/atomic_file.h"
#include "util/number_format.h"

namespace mining {

namespace {

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
    limits.maxBytes = static_cast<std::uint64_t>(work / costs.sampledSecondsPerByte);
    return limits;
}

// Returns true when `a` and `b` name the same file, existing or not.
bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    const std::filesystem::path x = std::filesystem::weakly_canonical(a, error);
    if (error) return false;
    const std::filesystem::path y = std::filesystem::weakly_canonical(b, error);
    return !error && x == y;
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

// Writes `files` atomically, refusing any that would replace the data, its names or the report.
// Returns the exit status and sets `error` when one is not written: 2 for a path that names one
// of those, 1 for a file that cannot be written.
int writeOutputFiles(const std::vector<OutputFile>& files, const DataSource& source,
                     const std::string& reportPath, std::string& error) {
    for (const OutputFile& file : files) {
        for (const std::string& kept : {source.path, source.namesPath, reportPath}) {
            if (sameFile(file.path, kept)) {
                error = "will not write " + file.path + " over " + kept;
                return 2;
            }
        }
    }
    for (const OutputFile& file : files) {
        const Status written = writeFileAtomically(file.path, file.content);
        if (!written) {
            error = written.error();
            return 1;
        }
    }
    return 0;
}

// Writes what a run keeps besides its report: the model (--save-model) and the predictions
// (--predictions). Returns an error message, or "" when all is written.
std::string writeRunOutputs(const Dataset& data, const RunSettings& settings,
                            const DataSource& source, const ProgramInfo& info,
                            const RunOutputs& outputs) {
    if (!settings.saveModel.empty()) {
        nlohmann::json model;
        if (!outputs.trained->save(model)) return "this model cannot be saved";
        const Status saved =
            writeFileAtomically(settings.saveModel, modelFileText(info.name, data, model));
        if (!saved) return saved.error();
    }
    if (settings.predictions) {
        std::vector<std::string> actual(data.recordCount());
        for (const RowIndex r : outputs.rows)
            actual[r] = data.classValues()[static_cast<std::size_t>(data.classes()[r])];
        const Status written =
            writeFileAtomically(predictionsPath(source.base, info),
                                predictionsCsv(data, outputs.rows, data.recordLines(), actual,
                                               outputs.predicted, outputs.probabilities));
        if (!written) return written.error();
    }
    return "";
}

// Reads, trains, evaluates and writes the report as `line` asks. Returns the exit status.
int runLine(const CommandLine& line, ClassifierProgram& program,
            std::chrono::steady_clock::time_point start) {
    const ProgramInfo& info = program.info();
    const DataSource source = findDataSource(line.base);
    const std::string path = source.base + info.reportSuffix + ".output";
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
    std::vector<OutputFile> outputs;
    const DescribedModel described = [&](const Model& trained, const std::string& result) {
        const RunFacts facts{info.name + " " + kProgramVersion + ": " + info.summary, result,
                             evaluationText(line.settings)};
        outputs = program.outputFiles(trained, *read, facts);
    };
    RunOutputs kept;
    kept.wantPredictions = line.settings.predictions;
    const Result<std::string> report =
        classifierReport(*read, line.settings, info, *model, start,
                         std::chrono::steady_clock::now(), maker, described, &kept);
    if (!report) return fail(path, report.error(), 1, info);
    std::string error;
    if (const int status = writeOutputFiles(outputs, source, path, error); status != 0)
        return fail(path, error, status, info);
    const Status written = writeFileAtomically(path, *report);
    if (!written) {
        std::cerr << info.name << ": Error: " << written.error() << '\n';
        return 1;
    }
    const std::string keptError = writeRunOutputs(*read, line.settings, source, info, kept);
    if (!keptError.empty()) {
        std::cerr << info.name << ": Error: " << keptError << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

int runClassifier(int argc, char** argv, ClassifierProgram& program) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
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
    if (!line.settings.applyModel.empty())
        return applyModel(line.settings.applyModel, line.base, program, start);
    return runLine(line, program, start);
}

}  // namespace mining
