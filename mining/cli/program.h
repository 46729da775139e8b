#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_file.h"
#include "util/deadline.h"

namespace CLI {
class App;
}

namespace mining {

// The version both classifier programs report.
inline constexpr const char* kProgramVersion = "1.00";

// How a classifier program names itself in --help, --version and its report.
struct ProgramInfo {
    std::string name;          // "classify"; the name in --help, --version and the report
    std::string summary;       // one line for --help, e.g. "naive Bayesian classifier"
    std::string reportSuffix;  // "_bayes": the report is BASE + reportSuffix + ".output"
    std::string helpNotes;     // more text for --help (may be empty), lines ending in '\n'
};

// What a run of a program costs per byte of its .data file on the machine its figures were
// measured on (2 cores, file in the page cache, bench/promise_speed), whole process: reading the
// whole file, and reading a sample of it (scattered ranges cost more per byte), each with
// training and testing on what was read.
// `perRecordClass`: what a record read costs beyond those figures for each attribute and each
// class past the second (a model that weighs every class for every value, on data of many
// classes).
struct RunCosts {
    double wholeSecondsPerByte;
    double sampledSecondsPerByte;
    double perRecordClass = 0;
};

// A file a run writes beside its report, and what goes into it.
struct OutputFile {
    std::string path;
    std::string content;
};

// A file a run reads or writes, and what it is to the run, for messages: "the data file",
// "the SQL script".
struct RunPath {
    std::string path;
    std::string role;
};

// What a run says of itself in the files it writes beside the report: the report's title
// ("tarnel 1.00: interval classifier"), its result line and how it evaluated.
// `run` is the run's identifier, which every file of the run names.
struct RunFacts {
    std::string title;
    std::string result;
    std::string evaluation;
    std::string run;
};

// One setting a program's self-tuning may choose: how the report names it ("--max-depth 20"),
// a fresh untrained model made with it, and what training and testing it costs against one
// made with the defaults (a model that cross-validates choices of its own costs more).
// `runFactor`: what a whole run with it costs against one with the defaults, on large data
// (reading included: 1 when its training costs about what the defaults' does).
// `trainingShare`: the share of that whole run that its training takes, which training on a
// seeded sample of the training records shrinks in proportion; 0: it trains on all of them or
// is left out.
struct Candidate {
    std::string label;
    std::function<std::unique_ptr<Model>()> make;
    double weight = 1;
    double runFactor = 1;
    double trainingShare = 0;
};

// What training one candidate of weight 1 on n records of A attributes (those not ignored) and
// K classes and testing it on a fold costs, in seconds, as measured on the machine of RunCosts:
//   A * (n * (perCell + K * perCellClass) + perAttribute) + V * K * perValueClass
// perCell: for a nominal attribute's cells perNominalCell instead, when that is above 0 (a
// model whose numeric attributes cost more per record than its nominal ones).
// V: the values of the nominal attributes counted, each of whose K classes a model's table holds.
// trainingShare: the share of a run's cost (RunCosts) that training the default model takes,
// when another candidate's training may cost more (0: it costs about the same).
// repeats: the deals of the folds on small data (kRepeatedTuningRecords), where they fit.
struct TuningCosts {
    double perCell = 0;
    double perCellClass = 0;
    double perAttribute = 0;
    double trainingShare = 0;
    double perValueClass = 0;
    std::size_t repeats = 3;
    double perNominalCell = 0;
};

// Everything a program's runs cost, measured on the machine of RunCosts, from which the run's
// time budget (cli/time_budget.h) decides: the whole run per byte, the candidates of
// self-tuning, and, for a model that counts its training work, how many units it does a second
// and the share of a run's limited work that training may fill (0: it counts none).
struct ProgramCosts {
    RunCosts run;
    TuningCosts tuning;
    double workPerSecond = 0;
    double workShare = 0;
};

// What distinguishes one classifier program from another: its name, its own command-line
// options and the model they configure. The shared options (--keep-order, --seed, --help,
// --version) and BASE PERCENT are declared by the command line itself (command_line.h).
class ClassifierProgram {
public:
    virtual ~ClassifierProgram() = default;

    // Returns how the program names itself.
    virtual const ProgramInfo& info() const = 0;

    // Declares the program's own options on `app`, each once: its name, value, default, range
    // check and help. Each is bound to this program's model options, which a parse of `app`
    // sets; a bad value or a forbidden combination makes the parse throw a CLI::ParseError.
    virtual void addOptions(CLI::App& app) = 0;

    // Sets the model options back to their defaults (as before any parse).
    virtual void resetOptions() = 0;

    // Returns a fresh untrained model with the options bound so far.
    virtual std::unique_ptr<Model> makeModel() const = 0;

    // Returns the settings self-tuning chooses among, the first being what makeModel() makes,
    // each varying only settings the command line did not give (`given`: the names of the
    // options given, e.g. "--max-depth"). Fewer than two: there is nothing to choose.
    virtual std::vector<Candidate> candidates(const std::set<std::string>& /*given*/) const {
        return {};
    }

    // Returns the files to write beside the report for `model`, the model the report describes
    // (made by this program, trained on `data`); none by default. The run writes each one
    // atomically together with the report (see writeFilesAtomically), and stops with an error
    // when one cannot be written.
    virtual std::vector<OutputFile> outputFiles(const Model& /*model*/, const Dataset& /*data*/,
                                                const RunFacts& /*facts*/) const {
        return {};
    }

    // Returns the paths outputFiles() will write, with their roles, as the command line names
    // them (so that the run can check them before it reads or writes anything).
    virtual std::vector<RunPath> outputPaths() const { return {}; }

    // Returns the model a model file of this program holds (its "model" object), for data of
    // `schema`. Throws ModelFileError when `saved` is malformed or does not fit the schema.
    virtual std::unique_ptr<Model> loadModel(JsonValue saved, const ModelSchema& schema) const = 0;

    // Returns what the program's runs cost (see ProgramCosts), with the options bound so far.
    virtual ProgramCosts costs() const = 0;

    // Limits the training work of the models made from now on to `units` of counted work (0: no
    // limit). The default has nothing to limit: its training is one pass over the records read,
    // which the read limit already bounds.
    virtual void limitWork(std::uint64_t /*units*/) {}

    // Lets the training of the models made from now on stop at its next safe point once
    // `deadline` has passed (null: never), where it can; `deadline` must outlive them. The
    // default stops nothing: its training is one pass that the read limit already bounds.
    virtual void limitTime(const Deadline* /*deadline*/) {}
};

}  // namespace mining
