#include "cli/interval_program.h"

#include <algorithm>
#include <filesystem>

#include "cli/option_binding.h"
#include "interval/interval_model.h"
#include "interval/sql_script.h"
#include "util/number_format.h"

namespace mining {

IntervalProgram::IntervalProgram() {
    info_.name = "tarnel";
    info_.summary = "interval classifier";
    info_.reportSuffix = "_interval";
    info_.helpNotes =
        "Grows a tree with many branches per node: one per value of a nominal\n"
        "attribute, one per interval of a numeric one. A branch whose majority holds\n"
        "at least the share t(len) = 1 - ((len - 1) / L)^2 of its records (len:\n"
        "conditions on its path) is strong and becomes a leaf; a weak one is split\n"
        "further. Splits are chosen by gain ratio; the grown tree is pruned by\n"
        "estimated errors. The report shows the tree and one rule set per class.\n"
        "--max-branches B merges a numeric split's intervals into at most B\n"
        "neighbouring groups, those that lose the least information (2: binary splits),\n"
        "so that many numeric attributes of many values do not starve the branches.\n"
        "By default (--auto) --max-depth, --bins, --bin-records, --prune and\n"
        "--max-branches, where not given, are chosen among eleven settings by 5-fold\n"
        "cross-validation on the training records; --no-auto keeps the defaults.\n"
        "--sql FILE writes the rules as SQL: CREATE TABLE for the data, one SELECT per\n"
        "class that returns exactly the records predicted for it (missing values and\n"
        "values not seen in training included), and one that scores a whole table.\n";
}

namespace {

// Declares --max-branches B bound to `target`: "off" or 0 for no limit, else a whole number from
// 2 to 1000 (a single branch would split nothing).
void addMaxBranches(CLI::App& app, int& target) {
    CLI::callback_t set = [&target](const CLI::results_t& results) {
        const std::string& value = results.back();
        long long v = 0;
        if (value == "off") {
            v = 0;
        } else if (!parseWholeNumber(value, 0, 1000, v) || v == 1) {
            throw CLI::ValidationError(
                "--max-branches needs 'off', 0 or a whole number from 2 to 1000, not '" + value +
                    "'",
                CLI::ExitCodes::ValidationError);
        }
        target = static_cast<int>(v);
        return true;
    };
    app.add_option("--max-branches", set,
                   "most branches of a numeric split, 2..1000 or off (default off)")
        ->type_name("B")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

}  // namespace

void IntervalProgram::addOptions(CLI::App& app) {
    interval::TreeOptions& o = options_;
    addWholeNumber(app, "--bins", "N", o.bins, 2, 1000, "initial intervals per numeric attribute");
    addChoice(app, "--binning", "KIND", o.binning,
              {{"width", interval::Binning::EqualWidth}, {"count", interval::Binning::EqualCount}},
              "width or count: equal widths or counts");
    addWholeNumber(app, "--bin-records", "N", o.binRecords, 0, kLargestWholeOption,
                   "~N records per interval at small nodes", "off");
    addMaxBranches(app, o.maxBranches);
    addWholeNumber(app, "--max-depth", "L", o.maxDepth, 1, 100, "most conditions on a path");
    addWholeNumber(app, "--min-split", "N", o.minSplit, 2, kLargestWholeOption,
                   "nodes with fewer training records are leaves");
    addFraction(app, "--prune", "CF", o.pruneConfidence, "prune at confidence 0 < CF < 1",
                "a number from 0 (no pruning) to below 1", "off");
    CLI::Option* sql =
        app.add_option("--sql", sqlPath_, "also write the rules as a SQL script to FILE")
            ->type_name("FILE")
            ->check(nonEmpty("--sql needs a file name"));
    app.add_option("--sql-table", sqlTable_,
                   "the table the SQL script names (default: the data file's name less its "
                   "suffix)")
        ->type_name("NAME")
        ->needs(sql);
}

void IntervalProgram::resetOptions() {
    options_ = interval::TreeOptions();
    sqlPath_.clear();
    sqlTable_.clear();
}

std::unique_ptr<Model> IntervalProgram::makeModel() const {
    return std::make_unique<interval::IntervalModel>(options_, sqlPath_);
}

namespace {

// The settings self-tuning tries, the defaults first: deeper trees for data of many attributes
// or classes, fewer initial intervals where numeric attributes would fragment the records,
// smaller intervals at small nodes, no pruning, and binary numeric splits in deep trees, where
// many numeric attributes of many values would starve multi-way branches (as on
// LetterRecognition). Chosen on the accuracy benchmark's sets (bench/accuracy): each earns its
// place on some of them. A point with a limit of branches grows a deeper tree of more, smaller
// nodes: `weight` is what its search costs against the others' (5,000 records of
// LetterRecognition, 16 numeric attributes and 26 classes), `runFactor` what its whole run
// costs against the defaults' on 1,000,000 records of F2 (bench/promise_speed's file), both
// measured as medians of 3 runs (--no-auto) on the shared machine at a load of about 10.
struct GridPoint {
    int maxDepth;
    int bins;
    int binRecords;
    double pruneConfidence;
    int maxBranches = 0;
    double weight = 1;
    double runFactor = 1;
};
constexpr GridPoint kGrid[] = {
    {10, 20, 10, 0.25},
    {20, 20, 10, 0.25},
    {40, 20, 10, 0.25},
    {20, 10, 10, 0.25},
    {40, 10, 10, 0.25},
    {40, 10, 5, 0.25},
    {40, 5, 10, 0.25},
    {40, 10, 10, 0.0},
    {100, 20, 10, 0.25, 2, 2.5, 4.5},
    {100, 20, 5, 0.25, 2, 3.5, 6},
    {100, 20, 10, 0.0, 2, 3, 8},
};

// The settings self-tuning may choose: those the command line did not give.
struct OpenSettings {
    bool depth;
    bool bins;
    bool binRecords;
    bool prune;
    bool branches;
};

// Returns how the report names candidate `o`: each open setting as its option ("--max-depth 20
// --bins 10 ..."), a limit of branches only where there is one. A candidate with a limit names,
// beside it, only the settings in which it differs from `asGiven` (the first candidate), so that
// its label fits the report's table. When only the limit is open, no limit is "--max-branches
// off".
std::string candidateLabel(const interval::TreeOptions& o, const interval::TreeOptions& asGiven,
                           const OpenSettings& open) {
    const bool limited = open.branches && o.maxBranches > 0;
    std::string label;
    const auto add = [&label, limited](bool named, bool same, const std::string& text) {
        if (named && !(limited && same)) label += (label.empty() ? "" : " ") + text;
    };
    add(open.depth, o.maxDepth == asGiven.maxDepth, "--max-depth " + std::to_string(o.maxDepth));
    add(open.bins, o.bins == asGiven.bins, "--bins " + std::to_string(o.bins));
    add(open.binRecords, o.binRecords == asGiven.binRecords,
        "--bin-records " + std::to_string(o.binRecords));
    add(open.prune, o.pruneConfidence == asGiven.pruneConfidence,
        "--prune " + formatGeneral(o.pruneConfidence));
    if (limited) add(true, false, "--max-branches " + std::to_string(o.maxBranches));
    if (open.branches && label.empty()) label = "--max-branches off";
    return label;
}

}  // namespace

std::vector<Candidate> IntervalProgram::candidates(const std::set<std::string>& given) const {
    const OpenSettings open{!given.count("--max-depth"), !given.count("--bins"),
                            !given.count("--bin-records"), !given.count("--prune"),
                            !given.count("--max-branches")};
    std::vector<Candidate> list;
    std::set<std::string> labels;
    // The first point stands for the options as they are, so that a tie keeps them.
    bool first = true;
    for (const GridPoint& point : kGrid) {
        interval::TreeOptions o = options_;
        if (!first) {
            if (open.depth) o.maxDepth = point.maxDepth;
            if (open.bins) o.bins = point.bins;
            if (open.binRecords) o.binRecords = point.binRecords;
            if (open.prune) o.pruneConfidence = point.pruneConfidence;
            if (open.branches) o.maxBranches = point.maxBranches;
        }
        const bool limited = !first && open.branches && point.maxBranches > 0;
        first = false;
        const std::string label = candidateLabel(o, options_, open);
        if (label.empty() || !labels.insert(label).second) continue;
        list.push_back(
            {label,
             [o, sql = sqlPath_] { return std::make_unique<interval::IntervalModel>(o, sql); },
             limited ? point.weight : 1, limited ? point.runFactor : 1});
    }
    return list;
}

std::vector<OutputFile> IntervalProgram::outputFiles(const Model& model, const Dataset& data,
                                                     const RunFacts& facts) const {
    if (sqlPath_.empty()) return {};
    interval::SqlScriptFacts script;
    // A folder's path ends with '/': its table is named after the folder.
    std::filesystem::path dataPath(data.dataPath());
    if (!dataPath.has_filename()) dataPath = dataPath.parent_path();
    script.table = sqlTable_.empty() ? dataPath.stem().string() : sqlTable_;
    script.lines = {facts.title + "; the rules as SQL", facts.result, facts.evaluation};
    if (!facts.run.empty()) script.lines.push_back("Run: " + facts.run);
    const auto& tree = static_cast<const interval::IntervalModel&>(model).tree();
    return {{sqlPath_, interval::sqlScript(tree, data, script)}};
}

std::vector<RunPath> IntervalProgram::outputPaths() const {
    if (sqlPath_.empty()) return {};
    return {{sqlPath_, "the SQL script"}};
}

std::unique_ptr<Model> IntervalProgram::loadModel(JsonValue saved,
                                                  const ModelSchema& schema) const {
    return interval::IntervalModel::load(saved, schema);
}

// Measured on 10,000,000 records (558 MB) on 2026-12-09, when the machine read at half its
// earlier speed (the bare parser's floor 2.25 s): the whole run with --no-auto 2.86 s (reading
// 2.0 s); on 100,000,000 records a sample of 345 MB read in 1.4 s and the whole sampled run 2.46
// s. The costs below are those figures with about 10 % to spare (see BayesProgram::costs).
// The tree counts its work (interval::TreeOptions::workLimit): about 180 to 230 million units a
// second here, on 10,000,000 records of numeric attributes and on 100,000 records of 50
// attributes of 1,000 values alike. Growing may fill 55 % of a run's limited work; reading
// and testing take the rest (on 10,000,000 records, read whole within the limit, reading takes
// about 1 s of the 2 s and testing 0.15 s).
// Self-tuning: measured with its eight candidates, 5 folds, on 4,290 to 5,000 training records
// of 16 to 36 attributes and 6 to 26 classes (0.04 s a candidate and fold), and on 13 records of
// 10,000 attributes. Measured again on 2026-12-10 with `--no-auto` on about 20,000 records,
// growing took 58 ns a cell of a numeric attribute (150 ns on LetterRecognition's 26 classes)
// and 12 to 31 ns a cell of a nominal one of 2 to 11 values (no intervals to cut and merge):
// the costs as they stood were 3 to 4 times too high for numeric cells and 7 times for nominal
// ones, so that the search sampled 572 of DNA's 2,124 training records while the whole default
// run took 0.21 s of the 3 s limit (Satellite 0.86 s, Letter 0.74 s). The costs below are
// half the old ones, and a nominal cell's its own, still above what was measured.
ProgramCosts IntervalProgram::costs() const {
    constexpr double kTreeShare = 0.55;
    TuningCosts tuning{75e-9, 7.5e-9, 1e-6, kTreeShare};
    tuning.perNominalCell = 20e-9;
    return {{5.5e-9, 8e-9}, tuning, 90e6, kTreeShare};
}

void IntervalProgram::limitWork(std::uint64_t units) { options_.workLimit = units; }

void IntervalProgram::limitTime(const Deadline* deadline) { options_.deadline = deadline; }

}  // namespace mining
