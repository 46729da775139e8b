#include "classifier_run.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/run_evaluation.h"
#include "cli/run_report.h"
#include "cli/time_budget.h"
#include "data/class_limit.h"
#include "data/reader.h"
#include "fuzz_checks.h"

namespace fuzz {

namespace {

constexpr std::size_t kMaxSettings = 16;

// Returns the command line the settings line stands for: BASE ("data"), the percentage (the
// line's first word), then the line's other words, at most kMaxSettings words in all.
std::vector<std::string> commandLine(std::string_view line) {
    std::vector<std::string> words;
    while (!line.empty() && words.size() < kMaxSettings) {
        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (!word.empty()) words.emplace_back(word);
    }
    if (words.empty()) return words;
    words.insert(words.begin(), "data");
    return words;
}

// Returns the report of the whole run `line` asks for on `data`, through the programs' own path:
// the time budget, the evaluation (self-tuning, folds, the split) and the report.
mining::Result<std::string> runAndReport(const mining::Dataset& data,
                                         const mining::CommandLine& line,
                                         mining::ClassifierProgram& program) {
    const mining::TimeBudget budget(line.options.timeLimit, line.options.folds, program.costs());
    program.limitWork(budget.trainingWork());
    mining::RunTimes times;
    times.start = times.readDone = std::chrono::steady_clock::now();
    const mining::Result<mining::RunResult> result =
        mining::runEvaluation(data, line.options, program, line.given, budget, times);
    if (!result) return result.failureAs<std::string>();
    return mining::runReport(data, line.options, program.info(), *result);
}

// Checks a report of a run that went through: it holds the accuracy line, its last line is
// ended, and the same run again gives the same report, but for the time it took.
void checkReport(const std::string& report, const mining::Dataset& data,
                 const mining::CommandLine& line, mining::ClassifierProgram& program) {
    if (report.find("\nAccuracy: ") == std::string::npos)
        fail("the report has no accuracy line", report);
    if (report.back() != '\n') fail("the report's last line is not ended", report);
    const mining::Result<std::string> second = runAndReport(data, line, program);
    if (!second) fail("a second run fails", second.error());
    const auto untimed = [](const std::string& text) {
        return text.substr(0, text.rfind("\nTime: "));
    };
    if (untimed(report) != untimed(*second))
        fail("two runs give different reports", report + "\n----\n" + *second);
}

}  // namespace

void runClassifierInput(const std::uint8_t* bytes, std::size_t size,
                        mining::ClassifierProgram& program) {
    const Parts parts = splitAtNul(bytes, size);
    const std::size_t newline = parts.first.find('\n');
    if (newline == std::string_view::npos) return;
    const mining::CommandLine line =
        mining::parseCommandLine(commandLine(parts.first.substr(0, newline)), program);
    // Usage errors echo the command line as typed; only the file's bytes are hostile here.
    if (line.action != mining::CommandLine::Action::Run) return;
    const mining::Result<mining::Dataset> data =
        mining::parseDataset(parts.first.substr(newline + 1), parts.second, "data", "names", 1);
    if (!data) {
        checkMessage(data.error());
        return;
    }
    checkDataset(*data);
    if (const mining::Status classes = mining::checkClassColumn(*data); !classes) {
        checkMessage(classes.error());
        return;
    }
    const mining::Result<std::string> report = runAndReport(*data, line, program);
    if (!report) {
        checkMessage(report.error());
        return;
    }
    checkReport(*report, *data, line, program);
}

}  // namespace fuzz
