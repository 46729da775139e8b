#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cli/program.h"
#include "cli/time_budget.h"
#include "data/number_styles.h"
#include "data/table_layout.h"

namespace mining {

// How a run splits its records: the training share (0 to 100), file order or a shuffle, and the
// shuffle's seed; and about how many seconds it may take (0: no limit).
// And which columns it reads how: the class, the columns left out, the header, identifiers.
struct RunOptions {
    double percent = 100;
    bool keepOrder = false;
    std::uint64_t seed = 1;
    double timeLimit = kDefaultTimeLimit;
    // K > 0: evaluate by stratified K-fold cross-validation over all records instead of the
    // split (PERCENT may then be left out).
    int folds = 0;
    // Choose the program's settings by cross-validation on the training records (--auto)
    // among its candidates, or keep the defaults (--no-auto).
    bool autoTune = true;
    ColumnChoice columns;
    bool keepIds = false;
    // --missing TOKENS: more marks of a missing value, beside those every format knows.
    std::vector<std::string> missingTokens;
    // --dates: the order of day and month in dates written with '.' or '/'.
    DateOrder dates = DateOrder::Guess;
    // --save-model FILE: after training, save the model the report describes to FILE.
    std::string saveModel;
    // --predictions: also write each test record's prediction to BASE<suffix>_predictions.csv.
    bool predictions = false;
    // --apply MODEL: score every record of BASE with the saved model MODEL instead of training.
    std::string applyModel;
};

// What a command line `NAME [options] BASE PERCENT` asks for.
struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    // Help: the help text, whole lines. Version: the version line and UsageError: the
    // message, both without a line end.
    std::string text;
    // BASE (a data file's path, or that path less ".data") as given. For a usage error it is ""
    // unless exactly BASE and PERCENT were given and BASE is not empty (then the error report
    // can go beside the data).
    std::string base;
    RunOptions options;  // Run: the split PERCENT, --keep-order, --seed and the rest ask for
    // Run: the options given, by name ("--max-depth"), which self-tuning leaves as given.
    std::set<std::string> given;
};

// Reads `args`, the arguments after the program's name, as `program`'s command line: BASE
// PERCENT (PERCENT read by parsePercent()), the shared options --keep-order, --seed N (0 to
// 2^64-1), -h/--help and --version, and the program's own options, which are bound into
// `program` (its options are reset first). `--opt value` and `--opt=value` both work, `--`
// ends the options, and no option is required. Touches no file.
// Returns the action: Run with the settings, Help or Version with the text to print, or
// UsageError with a one-line message (an unknown option, a bad value, options that exclude
// each other, BASE or PERCENT missing or one argument too many).
CommandLine parseCommandLine(const std::vector<std::string>& args, ClassifierProgram& program);

// Returns "Usage: NAME [options] BASE PERCENT".
std::string usageLine(const ProgramInfo& info);

}  // namespace mining
