// The command-line binding of both classifier programs: argv to options, or the exact usage
// error, before any file is touched.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "cli/bayes_program.h"
#include "cli/interval_program.h"

namespace mining {
namespace {

using Action = CommandLine::Action;
using Args = std::vector<std::string>;

std::string joined(const Args& args) {
    std::string text;
    for (const std::string& a : args) text += "[" + a + "] ";
    return text;
}

// One command line that must fail: its message, and the BASE the error report goes beside
// ("" for none).
struct UsageCase {
    Args args;
    std::string message;
    std::string base;
};

void expectUsageErrors(ClassifierProgram& program, const std::vector<UsageCase>& cases) {
    for (const UsageCase& c : cases) {
        const CommandLine line = parseCommandLine(c.args, program);
        EXPECT_EQ(line.action, Action::UsageError) << joined(c.args);
        EXPECT_EQ(line.text, c.message) << joined(c.args);
        EXPECT_EQ(line.base, c.base) << joined(c.args);
    }
}

// One command line that must run, with what the interval model's options become.
struct TreeCase {
    Args args;
    interval::TreeOptions expected;
};

TEST(IntervalCommandLine, BothValueFormsSetEveryTreeOption) {
    interval::TreeOptions all;
    all.bins = 7;
    all.binning = interval::Binning::EqualCount;
    all.maxDepth = 4;
    all.binRecords = 0;
    all.minSplit = 5;
    all.pruneConfidence = 0;
    interval::TreeOptions bins5;
    bins5.bins = 5;
    interval::TreeOptions bins10;
    bins10.bins = 10;
    interval::TreeOptions tiny;  // a decimal may have an exponent, however small
    tiny.pruneConfidence = 1e-300;
    interval::TreeOptions edges;
    edges.bins = 1000;
    edges.maxDepth = 100;
    edges.pruneConfidence = 0.999;
    const std::vector<TreeCase> cases = {
        {{"iris", "50"}, {}},
        {{"--bins", "5", "iris", "50"}, bins5},
        {{"--bins=5", "iris", "50"}, bins5},
        {{"iris", "50", "--bins", "5"}, bins5},                 // options may follow the arguments
        {{"--bins", "3", "--bins", "5", "iris", "50"}, bins5},  // the last one counts
        {{"--bins", "010", "iris", "50"}, bins10},              // decimal, never octal
        {{"--bins=1000", "--max-depth", "100", "--prune", "0.999", "iris", "50"}, edges},
        {{"--prune", "1e-300", "iris", "50"}, tiny},
        {{"--bins", "7", "--binning=count", "--max-depth", "4", "--bin-records=0", "--min-split",
          "5", "--prune", "0", "iris", "50"},
         all},
    };
    IntervalProgram program;
    for (const TreeCase& c : cases) {
        const CommandLine line = parseCommandLine(c.args, program);
        ASSERT_EQ(line.action, Action::Run) << joined(c.args) << line.text;
        const interval::TreeOptions& o = program.treeOptions();
        EXPECT_EQ(o.bins, c.expected.bins) << joined(c.args);
        EXPECT_EQ(o.binning, c.expected.binning) << joined(c.args);
        EXPECT_EQ(o.maxDepth, c.expected.maxDepth) << joined(c.args);
        EXPECT_EQ(o.binRecords, c.expected.binRecords) << joined(c.args);
        EXPECT_EQ(o.minSplit, c.expected.minSplit) << joined(c.args);
        EXPECT_EQ(o.pruneConfidence, c.expected.pruneConfidence) << joined(c.args);
        EXPECT_EQ(line.base, "iris");
    }
}

TEST(IntervalCommandLine, ValuesOutOfRangeAreUsageErrorsNamingTheOption) {
    IntervalProgram program;
    expectUsageErrors(program,
                      {
                          {{"--bins", "1", "iris", "50"},
                           "--bins needs a whole number from 2 to 1000, not '1'",
                           "iris"},
                          {{"--bins=1001", "iris", "50"},
                           "--bins needs a whole number from 2 to 1000, not '1001'",
                           "iris"},
                          {{"--bins", "0x10", "iris", "50"},
                           "--bins needs a whole number from 2 to 1000, not '0x10'",
                           "iris"},
                          {{"--bins", "5.0", "iris", "50"},
                           "--bins needs a whole number from 2 to 1000, not '5.0'",
                           "iris"},
                          {{"--max-depth", "0", "iris", "50"},
                           "--max-depth needs a whole number from 1 to 100, not '0'",
                           "iris"},
                          {{"--max-depth=101", "iris", "50"},
                           "--max-depth needs a whole number from 1 to 100, not '101'",
                           "iris"},
                          {{"--min-split", "1", "iris", "50"},
                           "--min-split needs a whole number of at least 2, not '1'",
                           "iris"},
                          {{"--min-split", "2147483647", "iris", "50"},
                           "--min-split needs a whole number from 2 to 1000000000, not "
                           "'2147483647'",
                           "iris"},
                          {{"--sql", "", "iris", "50"}, "--sql needs a file name", "iris"},
                          {{"--bin-records", "-3", "iris", "50"},
                           "--bin-records needs a whole number, not '-3'",
                           "iris"},
                          {{"--prune", "1", "iris", "50"},
                           "--prune needs a number from 0 (no pruning) to below 1, not '1'",
                           "iris"},
                          {{"--prune", "0x0.8", "iris", "50"},  // decimal only, no hex
                           "--prune needs a number from 0 (no pruning) to below 1, not '0x0.8'",
                           "iris"},
                          {{"--prune", "-0.5", "iris", "50"},
                           "--prune needs a number from 0 (no pruning) to below 1, not '-0.5'",
                           "iris"},
                          {{"--prune=nan", "iris", "50"},
                           "--prune needs a number from 0 (no pruning) to below 1, not 'nan'",
                           "iris"},
                          {{"--binning", "odd", "iris", "50"},
                           "--binning needs 'width' or 'count', not 'odd'",
                           "iris"},
                          {{"iris", "50", "--bins"}, "--bins needs a value (N)", "iris"},
                          {{"--discretize", "iris", "50"}, "unknown option --discretize", "iris"},
                      });
}

TEST(IntervalCommandLine, EachParseStartsFromTheDefaults) {
    IntervalProgram program;
    ASSERT_EQ(parseCommandLine({"--bins", "5", "--prune=0", "iris", "50"}, program).action,
              Action::Run);
    ASSERT_EQ(parseCommandLine({"iris", "50"}, program).action, Action::Run);
    EXPECT_EQ(program.treeOptions().bins, interval::TreeOptions().bins);
    EXPECT_EQ(program.treeOptions().pruneConfidence, interval::TreeOptions().pruneConfidence);
}

TEST(SharedCommandLine, ArgumentsSeedAndOrderAreRead) {
    BayesProgram program;
    CommandLine line = parseCommandLine({"--seed", "3", "data/iris", "66.67"}, program);
    ASSERT_EQ(line.action, Action::Run) << line.text;
    EXPECT_EQ(line.base, "data/iris");
    EXPECT_DOUBLE_EQ(line.options.percent, 66.67);
    EXPECT_EQ(line.options.seed, 3u);
    EXPECT_FALSE(line.options.keepOrder);
    EXPECT_EQ(line.options.timeLimit, kDefaultTimeLimit);

    // The time limit: a decimal, 0 for none.
    for (const auto& [text, seconds] : std::vector<std::pair<std::string, double>>{
             {"0", 0}, {"10", 10}, {"0.5", 0.5}, {"1e3", 1000}, {"1e-300", 1e-300}}) {
        line = parseCommandLine({"--time-limit=" + text, "x", "50"}, program);
        ASSERT_EQ(line.action, Action::Run) << line.text;
        EXPECT_EQ(line.options.timeLimit, seconds) << text;
    }

    line = parseCommandLine({"--keep-order", "--seed=18446744073709551615", "x", "100"}, program);
    ASSERT_EQ(line.action, Action::Run) << line.text;
    EXPECT_TRUE(line.options.keepOrder);
    EXPECT_EQ(line.options.seed, std::numeric_limits<std::uint64_t>::max());

    // After "--" everything is an argument, even what looks like an option.
    line = parseCommandLine({"--", "--keep-order", "5"}, program);
    ASSERT_EQ(line.action, Action::Run) << line.text;
    EXPECT_EQ(line.base, "--keep-order");
    EXPECT_FALSE(line.options.keepOrder);
}

TEST(SharedCommandLine, UsageErrorsSayWhatIsWrongAndWhetherBaseIsKnown) {
    BayesProgram program;
    const std::string badSeed = " is not a whole number from 0 to 2^64-1";
    expectUsageErrors(
        program,
        {
            {{}, "expected BASE and PERCENT", ""},
            {{"iris"}, "expected BASE and PERCENT", ""},
            {{"iris", "50", "more"}, "expected only BASE and PERCENT", ""},
            {{"", "50"}, "BASE is empty", ""},
            {{"iris", "abc"},
             "the percentage \"abc\" is not a plain decimal number between 0 and 100",
             "iris"},
            {{"iris", "-1"},  // a negative number is an argument, not an option
             "the percentage \"-1\" is not a plain decimal number between 0 and 100",
             "iris"},
            {{"iris", "101"}, "the percentage \"101\" is above 100", "iris"},
            {{"--seed", "18446744073709551616", "iris", "50"},
             "the seed \"18446744073709551616\"" + badSeed,
             "iris"},
            {{"--seed=-1", "iris", "50"}, "the seed \"-1\"" + badSeed, "iris"},
            {{"--seed", "+1", "iris", "50"}, "the seed \"+1\"" + badSeed, "iris"},
            {{"iris", "50", "--seed"}, "--seed needs a value (N)", "iris"},
            {{"--time-limit", "-1", "iris", "50"},
             "--time-limit needs a number from 0 to 86400, not '-1'",
             "iris"},
            {{"--time-limit=1e9", "iris", "50"},
             "--time-limit needs a number from 0 to 86400, not '1e9'",
             "iris"},
            {{"--time-limit=inf", "iris", "50"},
             "--time-limit needs a number from 0 to 86400, not 'inf'",
             "iris"},
            {{"--fast", "iris", "50"}, "unknown option --fast", "iris"},
            {{"--fast=3", "iris", "50"}, "unknown option --fast", "iris"},
            {{"-x", "iris", "50"}, "unknown option -x", "iris"},
            // What is wrong with the line comes before what is wrong with a value.
            {{"--fast", "iris", "abc"}, "unknown option --fast", "iris"},
            {{"a", "b", "c"}, "expected only BASE and PERCENT", ""},
            // A bad --folds still lets PERCENT be left out: its value is what
            // is wrong.
            {{"--folds", "1", "iris"}, "--folds needs a whole number from 2 to 100, not '1'", ""},
            {{"--class", "", "iris", "50"},
             "--class needs a column: its name, its number or last",
             "iris"},
            {{"--save-model", "", "iris", "50"}, "--save-model needs a file name", "iris"},
        });
}

TEST(BayesCommandLine, NumericTreatmentFlagsExcludeEachOther) {
    BayesProgram program;
    ASSERT_EQ(parseCommandLine({"iris", "50"}, program).action, Action::Run);
    EXPECT_EQ(program.mode(), NumericMode::Normal);
    ASSERT_EQ(parseCommandLine({"--discretize", "iris", "50"}, program).action, Action::Run);
    EXPECT_EQ(program.mode(), NumericMode::Discretize);
    ASSERT_EQ(parseCommandLine({"iris", "50", "--normal"}, program).action, Action::Run);
    EXPECT_EQ(program.mode(), NumericMode::Normal);
    expectUsageErrors(
        program,
        {
            {{"--normal", "--discretize", "iris", "50"}, "--normal excludes --discretize", "iris"},
            {{"--discretize", "iris", "50", "--normal"}, "--normal excludes --discretize", "iris"},
            {{"--bins", "5", "iris", "50"}, "unknown option --bins", ""},
        });
}

TEST(SharedCommandLine, HelpAndVersionWinOverErrors) {
    IntervalProgram program;
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"--bins", "1", "--help"},
                             Args{"--help", "--fast", "a", "b", "c"}}) {
        const CommandLine line = parseCommandLine(args, program);
        EXPECT_EQ(line.action, Action::Help) << joined(args);
        EXPECT_EQ(line.text.rfind("Usage: tarnel [options] BASE PERCENT\n", 0), 0u) << line.text;
    }
    for (const Args& args : {Args{"--version"}, Args{"--bins", "1", "--version", "x"}}) {
        const CommandLine line = parseCommandLine(args, program);
        EXPECT_EQ(line.action, Action::Version) << joined(args);
        EXPECT_EQ(line.text, "tarnel 1.00");
    }
}

// The help comes from the declarations: every option is there with its value name, and the
// lines fit 80 columns (the manual pages are made from it).
TEST(SharedCommandLine, HelpListsEveryOptionWithinEightyColumns) {
    BayesProgram bayes;
    IntervalProgram interval;
    const std::vector<std::pair<ClassifierProgram*, Args>> programs = {
        {&bayes, {"--keep-order", "--seed N", "--normal", "--discretize", "--version"}},
        {&interval,
         {"--seed N", "--bins N", "--binning KIND", "--bin-records N", "--max-depth L",
          "--min-split N", "--prune CF", "(default 0.25; 0: off)", "1..100 (default 10)"}},
    };
    for (const auto& [program, expected] : programs) {
        const std::string help = parseCommandLine({"--help"}, *program).text;
        for (const std::string& s : expected)
            EXPECT_NE(help.find(s), std::string::npos) << s << "\n" << help;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    }
}

}  // namespace
}  // namespace mining

namespace mining {
namespace {

// Where an option stands on the line changes nothing: before, between or after BASE and
// PERCENT, in either value form; a list option takes one value, so it never swallows BASE or
// PERCENT after it.
TEST(SharedCommandLine, OptionsMayStandAnywhereAndAListTakesOneValue) {
    struct Case {
        Args args;
        std::vector<std::string> ignore;
        std::uint64_t seed;
    };
    const std::vector<Case> cases = {
        {{"--ignore", "sepallength", "iris.csv", "66"}, {"sepallength"}, 1},
        {{"--ignore=sepallength", "iris.csv", "66"}, {"sepallength"}, 1},
        {{"iris.csv", "--ignore", "sepallength", "66"}, {"sepallength"}, 1},
        {{"iris.csv", "66", "--ignore", "sepallength"}, {"sepallength"}, 1},
        {{"--ignore", "a,b", "--seed", "3", "iris.csv", "66"}, {"a", "b"}, 3},
        {{"--ignore", "a", "iris.csv", "--seed=3", "66", "--ignore", "2"}, {"a", "2"}, 3},
        {{"--seed", "3", "--", "iris.csv", "66"}, {}, 3},
    };
    BayesProgram program;
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.args, program);
        ASSERT_EQ(line.action, Action::Run) << joined(c.args) << line.text;
        EXPECT_EQ(line.base, "iris.csv") << joined(c.args);
        EXPECT_EQ(line.options.percent, 66) << joined(c.args);
        EXPECT_EQ(line.options.columns.ignore, c.ignore) << joined(c.args);
        EXPECT_EQ(line.options.seed, c.seed) << joined(c.args);
        EXPECT_EQ(line.given.count("--ignore"), c.ignore.empty() ? 0u : 1u) << joined(c.args);
    }
    expectUsageErrors(
        program,
        {{{"--ignore", "a", "b", "iris.csv", "66"}, "expected only BASE and PERCENT", ""},
         {{"iris.csv", "66", "--ignore"}, "--ignore needs a value (COLUMNS)", "iris.csv"}});
}

}  // namespace
}  // namespace mining
