#include "cli/run_classifier.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/apply_model.h"
#include "cli/command_line.h"
#include "cli/run_evaluation.h"
#include "cli/run_files.h"
#include "cli/run_page.h"
#include "cli/run_report.h"
#include "cli/share_run.h"
#include "cli/time_budget.h"
#include "data/attribute_spread.h"
#include "data/class_limit.h"
#include "data/data_folder.h"
#include "data/reader.h"
#include "util/atomic_file.h"
#include "util/number_format.h"

namespace mining {

namespace {

// The message of a run that ran out of memory.
constexpr const char* kOutOfMemory =
    "out of memory: the run needs more memory than the system gives it (a smaller "
    "--time-limit reads a smaller sample of a large file)";

// A cluster run reads every record: there is no sample to fit a time limit to.
constexpr const char* kClusterTimeLimit =
    "--time-limit does not apply to a run over several processes, which reads every record "
    "(--time-limit 0)";

// What --help adds for the programs that run over several processes.
constexpr const char* kClusterHelp =
    "\nRun over several processes (mpirun -np N, or srun), each process reads the records whose\n"
    "lines start in its share of the data file (or of a folder's files joined), and the first\n"
    "process writes the report and every other file: the same files as one process writes with\n"
    "--time-limit 0. Every record is read, so --time-limit other than 0 is a usage error.\n";

// Returns the exit status of a failure of `kind`: 2 for a usage error, 1 for any other.
int exitStatus(ErrorKind kind) { return kind == ErrorKind::Usage ? 2 : 1; }

// Writes the error report (when `reportPath` is known) and the message on stderr; a usage
// error adds the usage line. Returns the exit status of `kind`.
int fail(const std::string& reportPath, const std::string& message, ErrorKind kind,
         const ProgramInfo& info, bool speaks = true) {
    if (!speaks) return exitStatus(kind);
    const std::string line = "Error: " + message;
    std::cerr << info.name << ": " << line << '\n';
    if (!reportPath.empty()) {
        const Status written = writeFileAtomically(reportPath, line + "\n");
        if (!written) std::cerr << info.name << ": " << written.error() << '\n';
    }
    if (kind == ErrorKind::Usage) std::cerr << usageLine(info) << " (see --help)\n";
    return exitStatus(kind);
}

// Returns where the report on BASE (a data file's path, or that path less ".data") goes: beside
// the data, named by its path less a known suffix; "" when BASE is not known.
std::string reportPath(const std::string& data, const ProgramInfo& info) {
    if (data.empty()) return "";
    // A folder's report lies beside it.
    const std::size_t end = data.find_last_not_of('/');
    const std::string path = end == std::string::npos ? data : data.substr(0, end + 1);
    return baseOfPath(path) + info.reportSuffix + ".output";
}

// Returns how the run evaluates, for the files written beside the report.
std::string evaluationText(const RunOptions& options) {
    if (options.folds > 0)
        return "Evaluation: stratified " + std::to_string(options.folds) +
               "-fold cross-validation, folds dealt with seed " + std::to_string(options.seed) +
               "; the model is trained on all records.";
    return "Split: " + formatGeneral(options.percent, 6) + " % train, " +
           (options.keepOrder ? "in file order (--keep-order)"
                              : "shuffled with seed " + std::to_string(options.seed)) +
           ".";
}

// The files a run reads and writes, with their roles.
struct RunPaths {
    std::vector<RunPath> inputs;
    std::vector<RunPath> outputs;
};

// Returns the files a run on `source` reads and writes; the report is the first output.
RunPaths runPaths(const CommandLine& line, const ClassifierProgram& program,
                  const DataSource& source) {
    RunPaths paths;
    if (source.folder)
        for (const std::string& shard : source.shards)
            paths.inputs.push_back({shard, "a data file"});
    else
        paths.inputs = {{source.path, "the data file"}};
    std::error_code error;
    if (!source.namesPath.empty() && std::filesystem::exists(source.namesPath, error))
        paths.inputs.push_back({source.namesPath, "the names file"});
    paths.outputs = {{source.base + program.info().reportSuffix + ".output", "the report"}};
    if (!line.options.saveModel.empty())
        paths.outputs.push_back({line.options.saveModel, "the saved model"});
    if (line.options.predictions)
        paths.outputs.push_back(
            {predictionsPath(source.base, program.info()), "the predictions file"});
    if (!line.options.html.empty()) paths.outputs.push_back({line.options.html, "the web page"});
    for (const RunPath& path : program.outputPaths()) paths.outputs.push_back(path);
    return paths;
}

// Returns the files a run keeps besides its report: the program's own (tarnel's SQL), the model
// (--save-model), the predictions (--predictions) and the web page (--html), each naming the
// run `runId`.
Result<std::vector<FileToWrite>> companionFiles(const Dataset& data, const CommandLine& line,
                                                const DataSource& source,
                                                const ClassifierProgram& program,
                                                const RunResult& result, const std::string& runId) {
    using R = Result<std::vector<FileToWrite>>;
    const ProgramInfo& info = program.info();
    const RunFacts facts{info.name + " " + kProgramVersion + ": " + info.summary,
                         resultLine(result), evaluationText(line.options), runId};
    std::vector<FileToWrite> files;
    for (OutputFile& file : program.outputFiles(*result.model, data, facts))
        files.push_back({std::move(file.path), std::move(file.content)});
    if (!line.options.saveModel.empty()) {
        nlohmann::json model;
        if (!result.model->save(model)) return R::failure("this model cannot be saved");
        files.push_back({line.options.saveModel, modelFileText(info.name, data, model, runId)});
    }
    if (line.options.predictions && result.predictionsText) {
        files.push_back({predictionsPath(source.base, info), *result.predictionsText});
    } else if (line.options.predictions) {
        const Predictions& p = result.predictions;
        std::vector<std::string> actual(data.recordCount());
        for (const RowIndex r : p.rows)
            actual[r] = data.classValues()[static_cast<std::size_t>(data.classes()[r])];
        files.push_back({predictionsPath(source.base, info),
                         predictionsCsv(data, p.rows, data.recordLines(), actual, p.predicted,
                                        p.probabilities)});
    }
    if (!line.options.html.empty())
        files.push_back({line.options.html, runPage(data, info, result, runId)});
    return files;
}

// Returns the options the reader of `source` takes from `line`, within `budget`.
ReadOptions readOptions(const CommandLine& line, const DataSource& source,
                        const TimeBudget& budget) {
    ReadOptions options;
    options.limits.seed = line.options.seed;
    // When the size cannot be had, the reader says what is wrong with the file.
    if (std::uint64_t size = 0; sourceBytes(source, size))
        options.limits.maxBytes = budget.readBytes(size);
    options.columns = line.options.columns;
    options.keepIds = line.options.keepIds;
    options.missingTokens = line.options.missingTokens;
    options.dates = line.options.dates;
    options.recordLines = line.options.predictions;
    options.classesByName = true;
    return options;
}

// Writes the report on `result` and its companions, all or none. Returns the exit status.
int writeRun(const Dataset& data, const CommandLine& line, ClassifierProgram& program,
             const DataSource& source, const RunResult& result, const std::string& runId,
             const std::string& report) {
    const ProgramInfo& info = program.info();
    const std::string text = runReport(data, line.options, info, result);
    Result<std::vector<FileToWrite>> files =
        companionFiles(data, line, source, program, result, runId);
    if (!files) return fail(report, files.error(), files.kind(), info);
    files->push_back({report, text + runLines(runId, *files)});
    if (const Status written = writeFilesAtomically(*files); !written)
        return fail(report, written.error(), written.kind(), info);
    return 0;
}

// The run of several processes on their own shares of the records (see shareSplitRun):
// each process reads its share and works on it; the first one writes every file.
int runOnShares(const CommandLine& line, ClassifierProgram& program, const DataSource& source,
                const ReadOptions& options, const TimeBudget& budget, RunTimes times,
                const std::string& runId, const std::string& report, Collective& cluster) {
    const ProgramInfo& info = program.info();
    const bool speaks = cluster.rank() == 0;
    Result<DataShare> share = readDataShare(source, options, cluster);
    if (!share)
        return speaks ? fail(report, share.error(), share.kind(), info) : exitStatus(share.kind());
    share->data.setRecordsInAll(static_cast<std::size_t>(share->total));
    share->data.setSpreadsInAll(spreadsInAll(share->data, cluster));
    if (const Status classes = checkClassColumn(share->data); !classes)
        return fail(report, classes.error(), classes.kind(), info, speaks);
    times.readDone = RunTimes::Clock::now();
    const Result<RunResult> result =
        line.options.folds > 0
            ? shareCrossValidation(*share, line.options, program, line.given, budget, times,
                                   cluster)
            : shareSplitRun(*share, line.options, program, line.given, budget, times, cluster);
    if (!speaks) return result ? 0 : exitStatus(result.kind());
    if (!result) return fail(report, result.error(), result.kind(), info);
    return writeRun(share->data, line, program, source, *result, runId, report);
}

// Reads, evaluates, and writes the report and its companions as `line` asks. Returns the exit
// status. `errorReport` becomes the report's path once the run knows that a report may go there.
int runLine(const CommandLine& line, ClassifierProgram& program, RunTimes times,
            const std::string& runId, std::string& errorReport, Collective* cluster) {
    const ProgramInfo& info = program.info();
    const bool speaks = cluster == nullptr || cluster->rank() == 0;
    DataSource source = findDataSource(line.base);
    if (source.folder)
        if (const Status listed = listDataFolder(source); !listed)
            return fail(source.base + info.reportSuffix + ".output", listed.error(), listed.kind(),
                        info, speaks);
    const RunPaths paths = runPaths(line, program, source);
    const std::string& report = paths.outputs.front().path;
    if (const Status safe = checkRunPaths(paths.inputs, paths.outputs); !safe)
        return fail("", safe.error(), ErrorKind::Usage, info, speaks);
    errorReport = report;
    const TimeBudget budget(line.options.timeLimit, line.options.folds, program.costs());
    program.limitWork(budget.trainingWork());
    const double started = std::chrono::duration<double>(times.start.time_since_epoch()).count();
    const Deadline reading = budget.readingDeadline(started, Deadline::steadySeconds);
    ReadOptions options = readOptions(line, source, budget);
    options.deadline = &reading;
    if (cluster != nullptr && runsOnShares(line.options, program, line.given))
        return runOnShares(line, program, source, options, budget, times, runId, report, *cluster);
    const Result<Dataset> read =
        cluster == nullptr ? readData(source, options) : readData(source, options, *cluster);
    // The other processes of a cluster run have read their shares: the first one does the rest.
    if (!speaks) return read ? 0 : exitStatus(read.kind());
    if (!read) return fail(report, read.error(), read.kind(), info);
    if (const Status classes = checkClassColumn(*read); !classes)
        return fail(report, classes.error(), classes.kind(), info);
    times.readDone = RunTimes::Clock::now();
    const Deadline deadline = budget.deadline(started, Deadline::steadySeconds);
    program.limitTime(deadline.active() ? &deadline : nullptr);
    const Result<RunResult> result =
        runEvaluation(*read, line.options, program, line.given, budget, times, deadline);
    program.limitTime(nullptr);
    if (!result) return fail(report, result.error(), result.kind(), info);
    return writeRun(*read, line, program, source, *result, runId, report);
}

// The whole run of `args` (see runClassifier).
int runCommand(const std::vector<std::string>& args, ClassifierProgram& program,
               const RunTimes& times, std::string& errorReport, Collective* cluster) {
    CommandLine line = parseCommandLine(args, program);
    const bool speaks = cluster == nullptr || cluster->rank() == 0;
    if (cluster != nullptr && line.action == CommandLine::Action::Run) {
        if (line.options.timeLimit != 0 && line.given.count("--time-limit") > 0) {
            line.action = CommandLine::Action::UsageError;
            line.text = kClusterTimeLimit;
        }
        line.options.timeLimit = 0;
    }
    switch (line.action) {
        case CommandLine::Action::Help:
            if (speaks) std::cout << line.text << (cluster != nullptr ? kClusterHelp : "");
            return 0;
        case CommandLine::Action::Version:
            if (speaks) std::cout << line.text << '\n';
            return 0;
        case CommandLine::Action::UsageError:
            return fail(reportPath(line.base, program.info()), line.text, ErrorKind::Usage,
                        program.info(), speaks);
        case CommandLine::Action::Run:
            break;
    }
    const std::string runId = newRunId();
    if (!line.options.applyModel.empty()) {
        // A saved model scores a file on the first process alone.
        if (!speaks) return 0;
        ReadOptions asked;
        asked.columns.delimiter = line.options.columns.delimiter;
        asked.missingTokens = line.options.missingTokens;
        const Status applied = applyModel(line.options.applyModel, line.base, program, times, runId,
                                          asked, line.options.html);
        return applied ? 0 : fail("", applied.error(), applied.kind(), program.info());
    }
    return runLine(line, program, times, runId, errorReport, cluster);
}

// The whole run of a program (see runClassifier) on one process, or with `cluster` (may be
// null) one of the processes of a cluster run.
int runOn(int argc, char** argv, ClassifierProgram& program, Collective* cluster) {
    RunTimes times;
    times.start = RunTimes::Clock::now();
    std::string errorReport;
    const bool speaks = cluster == nullptr || cluster->rank() == 0;
    try {
        const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
        return runCommand(args, program, times, errorReport, cluster);
    } catch (const std::bad_alloc&) {
        // Memory ran out somewhere in the run; what it held is freed, and one line still fits.
        return fail(errorReport, kOutOfMemory, ErrorKind::Data, program.info(), speaks);
    }
}

}  // namespace

int runClassifier(int argc, char** argv, ClassifierProgram& program) {
    return runOn(argc, argv, program, nullptr);
}

int runClassifier(int argc, char** argv, ClassifierProgram& program, Collective& cluster) {
    return runOn(argc, argv, program, &cluster);
}

}  // namespace mining
