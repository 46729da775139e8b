#pragma once

#include "cli/program.h"
#include "interval/tree.h"

namespace mining {

// The tarnel program: the interval classifier, configured by the tree options --bins N,
// --binning width|count, --bin-records N, --max-branches B, --max-depth L, --min-split N and
// --prune CF, and by --sql FILE and --sql-table NAME, which write the trained tree's rules as a
// SQL script.
class IntervalProgram : public ClassifierProgram {
public:
    IntervalProgram();

    // Returns name "tarnel", its summary, report suffix "_interval" and the notes for --help.
    const ProgramInfo& info() const override { return info_; }
    // Declares the tree options, bound to treeOptions(): --bins takes a whole number from 2 to
    // 1000, --max-depth one from 1 to 100, --bin-records one of at least 0, --min-split one of
    // at least 2, --prune a decimal from 0 to below 1, --binning "width" or "count",
    // --max-branches "off", 0 (both no limit) or a whole number from 2 to 1000; --sql takes a
    // file's path and --sql-table a table's name, and needs --sql.
    void addOptions(CLI::App& app) override;
    void resetOptions() override;
    // Returns an interval classifier for treeOptions().
    std::unique_ptr<Model> makeModel() const override;
    // Returns the options as they are, then points of a small grid of depth limits, initial
    // intervals, records per interval, pruning and limits of branches, each varying only the
    // settings of these five that `given` leaves open; empty when all five were given. A point
    // with a limit of branches is labelled by the limit and the settings in which it differs
    // from the options as they are, and costs (Candidate::weight, runFactor) as measured.
    std::vector<Candidate> candidates(const std::set<std::string>& given) const override;
    ProgramCosts costs() const override;
    // Returns, when --sql FILE was given, FILE with the tree's SQL script (interval/sql_script.h)
    // for the table --sql-table names, by default the data file's name less its suffix.
    std::vector<OutputFile> outputFiles(const Model& model, const Dataset& data,
                                        const RunFacts& facts) const override;
    // Returns FILE of --sql FILE, "the SQL script", when given.
    std::vector<RunPath> outputPaths() const override;
    std::unique_ptr<Model> loadModel(JsonValue saved, const ModelSchema& schema) const override;
    // Sets the tree's work limit to `units` (0: no limit).
    void limitWork(std::uint64_t units) override;
    void limitTime(const Deadline* deadline) override;

    // Returns the tree options the command line chose.
    const interval::TreeOptions& treeOptions() const { return options_; }

private:
    ProgramInfo info_;
    interval::TreeOptions options_;
    std::string sqlPath_;   // --sql: "" when not given
    std::string sqlTable_;  // --sql-table: "" when not given
};

}  // namespace mining
