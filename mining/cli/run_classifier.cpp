#include "cli/run_classifier.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "data/reader.h"
#include "data/split.h"
#include "report/atomic_file.h"
#include "report/evaluation.h"
#include "util/text_table.h"

namespace mining {

namespace {

constexpr const char* kVersion = "1.00";

// The parsed command line.
struct Arguments {
    bool help = false;
    bool version = false;
    bool keepOrder = false;
    std::uint64_t seed = 1;
    ModelOptions modelOptions;
    std::vector<std::string> positional;
};

std::string usageLine(const ProgramInfo& info) {
    return "Usage: " + info.name + " [options] BASE PERCENT";
}

std::string helpText(const ProgramInfo& info) {
    std::ostringstream out;
    out << usageLine(info) << "\n"
        << info.name << ", the " << info.summary << ", version " << kVersion << ".\n\n"
        << wrapWords(
               "Reads BASE.data (and BASE.names when it exists), trains on PERCENT % of the "
               "records (shuffled with a fixed seed), tests on the rest and writes the report "
               "to BASE" +
               info.reportSuffix +
               ".output. PERCENT is a decimal from 0 to 100; with 100 the model is evaluated "
               "on its training records.")
        << "\n"
        << "Options:\n";
    std::size_t nameWidth = 0;
    for (const auto& o : info.options)
        nameWidth =
            std::max(nameWidth, o.name.size() + (o.valueName.empty() ? 0 : o.valueName.size() + 1));
    nameWidth = std::max<std::size_t>(nameWidth, 12);
    auto option = [&](const std::string& name, const std::string& help) {
        out << "  " << name << std::string(nameWidth - name.size() + 2, ' ') << help << '\n';
    };
    option("--keep-order", "split the records in file order, without shuffling");
    option("--seed N", "shuffle with seed N (default 1)");
    for (const ProgramOption& o : info.options)
        option(o.valueName.empty() ? o.name : o.name + " " + o.valueName, o.help);
    option("--help", "show this help and exit");
    option("--version", "show the version and exit");
    if (!info.helpNotes.empty()) out << '\n' << info.helpNotes;
    out << "\nExit status: 0 on success, 1 on an error in the data or the run, 2 on a usage\n"
        << "error. On an error the report's first line is \"Error: \" and the message.\n";
    return out.str();
}

// Returns an error message, or "" when the arguments parse.
std::string parseArguments(int argc, char** argv, const ProgramInfo& info, Arguments& args) {
    bool optionsEnded = false;
    std::string error;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
            args.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--version") {
            args.version = true;
        } else if (arg == "--keep-order") {
            args.keepOrder = true;
        } else if (arg == "--seed") {
            if (!takeValue()) {
                if (error.empty()) error = "--seed needs a number";
                continue;
            }
            std::uint64_t seed = 0;
            bool ok = !value.empty() && value.size() <= 20;
            for (char c : value) {
                if (c < '0' || c > '9' || seed > (UINT64_MAX - 9) / 10) {
                    ok = false;
                    break;
                }
                seed = seed * 10 + static_cast<std::uint64_t>(c - '0');
            }
            if (!ok && error.empty())
                error = "the seed \"" + value + "\" is not a whole number from 0 to 2^64-1";
            args.seed = seed;
        } else {
            const ProgramOption* found = nullptr;
            for (const ProgramOption& o : info.options)
                if (o.name == arg) found = &o;
            if (!found) {
                if (error.empty()) error = "unknown option " + arg;
                continue;
            }
            if (found->valueName.empty()) {
                if (hasValue && error.empty()) error = arg + " takes no value";
            } else if (!takeValue() && error.empty()) {
                error = arg + " needs a value (" + found->valueName + ")";
            }
            args.modelOptions[arg] = value;
        }
    }
    if (args.help || args.version || !error.empty()) return error;
    if (args.positional.size() != 2)
        return args.positional.size() < 2 ? "expected BASE and PERCENT"
                                          : "expected only BASE and PERCENT";
    return error;
}

std::string seconds(std::chrono::steady_clock::duration d) {
    return formatFixed(std::chrono::duration<double>(d).count(), 3) + " s";
}

// Writes the error report (when the base is known) and the message on stderr.
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

// Puts the rows of `split` in increasing order, in time linear in `n`.
void sortSplit(Split& split, std::size_t n) {
    std::vector<std::uint8_t> training(n, 0);
    for (RowIndex r : split.train) training[r] = 1;
    std::size_t t = 0;
    std::size_t u = 0;
    for (std::size_t r = 0; r < n; ++r) {
        if (training[r])
            split.train[t++] = static_cast<RowIndex>(r);
        else
            split.test[u++] = static_cast<RowIndex>(r);
    }
}

}  // namespace

Result<std::string> classifierReport(const Dataset& data, const RunSettings& settings,
                                     const ProgramInfo& info, Model& model,
                                     std::chrono::steady_clock::time_point start,
                                     std::chrono::steady_clock::time_point readDone) {
    using Clock = std::chrono::steady_clock;
    using R = Result<std::string>;
    const double percent = settings.percent;
    Split split = splitRecords(data.recordCount(), percent, settings.keepOrder, settings.seed);
    if (split.train.empty())
        return R::failure("the split leaves no training records (" + formatGeneral(percent, 6) +
                          " % of " + std::to_string(data.recordCount()) + " records)");
    const bool onTraining = split.test.empty();
    // Models see their rows in file order: the split decides which rows, not their order, and
    // reading columns in order is far faster on large data.
    sortSplit(split, data.recordCount());
    if (onTraining) split.test = split.train;

    const Status trained = model.train(data, split.train);
    if (!trained) return R::failure(trained.error());
    const Clock::time_point trainDone = Clock::now();

    std::vector<std::int32_t> predicted;
    model.predictRows(data, split.test, predicted);
    Evaluation evaluation(data.classCount());
    const std::span<const std::int32_t> classes = data.classes();
    for (std::size_t i = 0; i < split.test.size(); ++i)
        evaluation.add(classes[split.test[i]], predicted[i]);
    const Clock::time_point testDone = Clock::now();

    std::ostringstream out;
    out << info.name << " " << kVersion << ": " << info.summary << '\n';
    if (onTraining)
        out << "Note: every record trains, none is left for testing; the evaluation below is on\n"
               "the training records and overstates how well the model does on new data.\n";
    out << '\n';
    out << "Data file:   " << data.dataPath() << '\n';
    out << "Names file:  "
        << (data.namesPath().empty() ? "none (types and values taken from the data)"
                                     : data.namesPath())
        << '\n';
    std::vector<std::string> numeric, nominal, ignored;
    for (const Attribute& a : data.attributes()) {
        if (a.type == AttributeType::Numeric) numeric.push_back(a.name);
        if (a.type == AttributeType::Nominal) nominal.push_back(a.name);
        if (a.type == AttributeType::Ignored) ignored.push_back(a.name);
    }
    out << "Attributes:  " << data.attributeCount() << '\n';
    auto typeLine = [&](const char* label, const std::vector<std::string>& names) {
        if (names.empty()) return;
        writeWrappedList(
            out, std::string("  ") + label + " (" + std::to_string(names.size()) + "): ", names);
    };
    typeLine("numeric", numeric);
    typeLine("nominal", nominal);
    typeLine("ignored", ignored);
    writeWrappedList(
        out, "Class values (" + std::to_string(data.classCount()) + "): ", data.classValues());
    out << "Records:     " << data.recordCount() + data.missingClassCount() << " read, "
        << data.missingClassCount() << " left out (class missing), " << data.recordCount()
        << " used\n";
    out << "Split:       " << formatGeneral(percent, 6) << " % train: " << split.train.size()
        << " training, " << (onTraining ? std::size_t{0} : split.test.size()) << " test records; "
        << (settings.keepOrder ? "in file order (--keep-order)"
                               : "shuffled with seed " + std::to_string(settings.seed))
        << '\n';

    out << "\n=== Model ===\n\n";
    model.describe(data, out);

    out << "\n=== Evaluation on the " << evaluation.total()
        << (onTraining ? " training records" : " test records") << " ===\n\n";
    writeEvaluation(evaluation, data.classValues(), onTraining, out);

    const Clock::time_point end = Clock::now();
    out << "\nTime: " << seconds(end - start) << " (reading " << seconds(readDone - start)
        << ", training " << seconds(trainDone - readDone) << ", testing "
        << seconds(testDone - trainDone) << ")\n";
    return out.str();
}

int runClassifier(int argc, char** argv, const ProgramInfo& info, const ModelFactory& makeModel) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();

    Arguments args;
    const std::string usageError = parseArguments(argc, argv, info, args);
    if (args.help) {
        std::cout << helpText(info);
        return 0;
    }
    if (args.version) {
        std::cout << info.name << ' ' << kVersion << '\n';
        return 0;
    }
    // The report goes beside the data as soon as BASE is known, so even a usage error shows.
    const std::string reportPath =
        args.positional.empty() ? "" : args.positional[0] + info.reportSuffix + ".output";
    if (!usageError.empty())
        return fail(args.positional.size() == 2 ? reportPath : "", usageError, 2, info);

    const std::string& base = args.positional[0];
    if (base.empty()) return fail("", "BASE is empty", 2, info);
    const Result<double> percent = parsePercent(args.positional[1]);
    if (!percent) return fail(reportPath, percent.error(), 2, info);
    Result<std::unique_ptr<Model>> made = makeModel(args.modelOptions);
    if (!made) return fail(reportPath, made.error(), 2, info);
    Model& model = **made;

    Result<Dataset> read = readDataset(base);
    if (!read) return fail(reportPath, read.error(), 1, info);
    const RunSettings settings{*percent, args.keepOrder, args.seed};
    const Result<std::string> report =
        classifierReport(*read, settings, info, model, start, Clock::now());
    if (!report) return fail(reportPath, report.error(), 1, info);

    const Status written = writeFileAtomically(reportPath, *report);
    if (!written) {
        std::cerr << info.name << ": Error: " << written.error() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace mining
