#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

#include "cli/option_binding.h"
#include "data/split.h"
#include "util/text_table.h"

namespace mining {

namespace {

// The help's column of option names: names longer than this put their help on the next line.
constexpr std::size_t kNameColumn = 19;
// The width help lines keep to.
constexpr std::size_t kHelpWidth = 80;

// Lays out --help: the usage line first (the manual page generator reads it), then what the
// program does, BASE and PERCENT, the options with their help wrapped to 80 columns, and the
// notes.
class HelpFormatter : public CLI::Formatter {
public:
    explicit HelpFormatter(std::string usage) : usage_(std::move(usage)) {
        column_width(kNameColumn);
        label("Positionals", "Arguments");
    }

    std::string make_help(const CLI::App* app, std::string,
                          CLI::AppFormatMode mode) const override {
        return usage_ + "\n" + app->get_description() + make_positionals(app) +
               make_groups(app, mode) + make_footer(app);
    }

    // Writes "-h, --help" for an option of two names (CLI11 writes "-h,--help").
    std::string make_option_name(const CLI::Option* opt, bool positional) const override {
        std::string names = CLI::Formatter::make_option_name(opt, positional);
        for (std::size_t at = names.find(','); at != std::string::npos;
             at = names.find(',', at + 2))
            names.replace(at, 1, ", ");
        return names;
    }

    // Shows an option's value name alone (not the options it excludes, which its error names).
    std::string make_option_opts(const CLI::Option* opt) const override {
        return opt->get_type_name().empty() ? "" : " " + opt->get_type_name();
    }

    std::string make_option(const CLI::Option* opt, bool positional) const override {
        std::string help = wrapWords(make_option_desc(opt), kHelpWidth - kNameColumn);
        if (!help.empty()) help.pop_back();
        std::ostringstream out;
        std::string name = make_option_name(opt, positional) + make_option_opts(opt);
        // A name that would leave fewer than two spaces before its help stands on its own line,
        // so that the help still reads as a column (and the manual pages' maker still parts them).
        if (name.size() + 4 > kNameColumn) {
            out << "  " << name << '\n';
            name.clear();
        }
        CLI::detail::format_help(out, name, help, kNameColumn);
        return out.str();
    }

    std::string make_footer(const CLI::App* app) const override {
        return app->get_footer().empty() ? "" : "\n" + app->get_footer();
    }

private:
    std::string usage_;
};

std::string versionLine(const ProgramInfo& info) { return info.name + " " + kProgramVersion; }

std::string describeProgram(const ProgramInfo& info) {
    return info.name + ", the " + info.summary + ", version " + kProgramVersion + ".\n\n" +
           wrapWords(
               "Reads BASE, trains on PERCENT % of the records (shuffled with a fixed seed), "
               "tests on the rest and writes the report beside the data file, to its path "
               "less its suffix + \"" +
                   info.reportSuffix +
                   ".output\". PERCENT is a decimal from 0 to 100; with 100 the model is "
                   "evaluated on its training records.",
               kHelpWidth - 2) +
           "\nBASE is a data file's path, or a path without suffix: BASE.data, else the\n"
           "first of BASE.csv, BASE.tsv, BASE.txt and BASE.arff that exists. By suffix (any\n"
           "case):\n"
           "  .data                records, class last; types from BASE.names when present,\n"
           "                       else guessed\n"
           "  .csv, .tsv, .txt     delimited text: delimiter found from the first lines\n"
           "                       (, ; tab | or runs of spaces; --delimiter to say it),\n"
           "                       optional header (a header one field short: row names\n"
           "                       first); types guessed\n"
           "  .arff                ARFF, dense and sparse; types from its @attribute lines\n"
           "BASE may be a folder: its data files (one suffix; not its subfolders, hidden\n"
           "files, .names files or the programs' outputs) in name order, read as one table.\n"
           "In every format ?, an empty field, NA and NaN are missing values.\n"
           "In .data and delimited text a line that starts with # is a comment, unless it\n"
           "splits into the records' fields and its first field is one word (#N/A).\n" +
           wrapWords(
               "The classes are taken in the order of their names (c2 before c10), so the "
               "same records give the same result in every format (a .names file that "
               "declares a class no record holds may still differ).",
               kHelpWidth);
}

// Returns the help's paragraph on saved models, with a worked example.
std::string modelNotes(const ProgramInfo& info) {
    const std::string& s = info.reportSuffix;
    return wrapWords(
               "Saved models: --save-model FILE writes the trained model (JSON: its settings, "
               "the attributes and class values, every figure prediction needs). --apply MODEL "
               "DATA scores every record of DATA, in any format read here, with or without the "
               "class column (columns matched by name where the file names them, else by "
               "place, the class last), and writes beside it DATA less its suffix + \"" +
                   s +
                   "_predictions.csv\": the line each record starts on, the actual class when "
                   "present, the predicted class and a probability per class; with the class, "
                   "also a report, DATA less its suffix + \"" +
                   s +
                   "_applied.output\". --predictions writes the test records' predictions of "
                   "an ordinary run the same way. For example:",
               kHelpWidth) +
           "  " + info.name + " --save-model iris.model iris 66.67\n" + "  " + info.name +
           " --apply iris.model new_flowers.csv\n";
}

std::string footer(const ProgramInfo& info) {
    return info.helpNotes + (info.helpNotes.empty() ? "" : "\n") + modelNotes(info) + "\n" +
           "Exit status: 0 on success, 1 on an error in the data or the run, 2 on a usage\n"
           "error. On an error the report's first line is \"Error: \" and the message (with\n"
           "--apply, the message goes to stderr alone and no file is written).\n" +
           "\n" +
           wrapWords(
               "Files: the run writes the report and every file asked for together, each "
               "renamed into place only when all are written, and each "
               "naming the run (the report's Run: line). One that would replace the data, "
               "its names, the model applied or another output, or a path that is not a "
               "regular file (a device, a folder), is a usage error and nothing is written.",
               kHelpWidth);
}

// Declares BASE and PERCENT. Their checks run before those of the program's options
// (callbacks run in the order of declaration), so a bad percentage is named before a bad value.
void addArguments(CLI::App& app, CommandLine& line) {
    CLI::callback_t base = [&line](const CLI::results_t& results) {
        if (results.back().empty())
            throw CLI::ValidationError("BASE is empty", CLI::ExitCodes::ValidationError);
        line.base = results.back();
        return true;
    };
    CLI::callback_t percent = [&line](const CLI::results_t& results) {
        const Result<double> value = parsePercent(results.back());
        if (!value) throw CLI::ValidationError(value.error(), CLI::ExitCodes::ValidationError);
        line.options.percent = *value;
        return true;
    };
    app.add_option("BASE", base, "the data file's path, or that path without \".data\"")
        ->type_name("");
    app.add_option("PERCENT", percent, "the share of the records that trains, 0 to 100")
        ->type_name("");
}

// Declares the options that say how the fields of a line are read: --delimiter and --missing.
void addFieldOptions(CLI::App& app, RunOptions& settings) {
    CLI::callback_t delimiter = [&settings](const CLI::results_t& results) {
        const Result<char> d = parseDelimiter(results.back());
        if (!d) throw CLI::ValidationError(d.error(), CLI::ExitCodes::ValidationError);
        settings.columns.delimiter = *d;
        return true;
    };
    app.add_option("--delimiter", delimiter,
                   "the character between fields: , ; tab | space (runs of spaces) or any one "
                   "(default: found from the first lines)")
        ->type_name("C");
    app.add_option("--missing", settings.missingTokens,
                   "more marks of a missing value, comma-separated, in every column (beside ?, "
                   "an empty field, NA, NULL and the others every file may hold)")
        ->type_name("TOKENS")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->check(nonEmpty("--missing needs tokens, comma-separated, none of them empty"));
}

// Declares the options that choose the columns and how they read: --class, --ignore, --header,
// --no-header, --keep-ids and --dates.
void addColumnOptions(CLI::App& app, RunOptions& settings) {
    app.add_option("--class", settings.columns.classColumn,
                   "the class column: its name, its number (1 the first, negative from the "
                   "end) or last (default last)")
        ->type_name("COLUMN")
        ->check(nonEmpty("--class needs a column: its name, its number or last"));
    // One value, a comma-separated list, wherever the option stands: taking more would swallow
    // BASE and PERCENT after it ("--ignore a iris.csv 66").
    app.add_option("--ignore", settings.columns.ignore,
                   "leave out these columns (names or numbers, comma-separated)")
        ->type_name("COLUMNS")
        ->delimiter(',')
        ->allow_extra_args(false);
    CLI::Option* header = app.add_flag_callback(
        "--header", [&settings] { settings.columns.header = HeaderRule::Present; },
        "the first line names the columns");
    CLI::Option* noHeader = app.add_flag_callback(
        "--no-header", [&settings] { settings.columns.header = HeaderRule::Absent; },
        "the first line is a record (default: guessed from the first lines)");
    header->excludes(noHeader);
    CLI::Option* tune = app.add_flag_callback(
        "--auto", [&settings] { settings.autoTune = true; },
        "choose the settings not given here by cross-validation on the training records "
        "(default)");
    CLI::Option* noTune = app.add_flag_callback(
        "--no-auto", [&settings] { settings.autoTune = false; },
        "keep the default settings, no search");
    tune->excludes(noTune);
    app.add_flag("--keep-ids", settings.keepIds,
                 "keep identifier and row-number columns (default: left out, with a note)");
    addChoice(
        app, "--dates", "ORDER", settings.dates,
        {{"auto", DateOrder::Guess}, {"dmy", DateOrder::DayFirst}, {"mdy", DateOrder::MonthFirst}},
        "the order of day and month in dates written with '/' or '.': dmy, mdy, or auto "
        "as the values tell (month first where every day is 12 or less; dates with '.' "
        "day first)");
}

// Declares the options that save a model, write predictions and apply a saved model.
void addModelOptions(CLI::App& app, RunOptions& settings) {
    CLI::Option* save = app.add_option("--save-model", settings.saveModel,
                                       "after training, save the model to FILE (with --folds, "
                                       "the model trained on all records)")
                            ->type_name("FILE")
                            ->check(nonEmpty("--save-model needs a file name"));
    CLI::Option* predictions =
        app.add_flag("--predictions", settings.predictions,
                     "also write each test record's predicted class and class probabilities "
                     "to BASE_..._predictions.csv (with --folds, every record's, from the fold "
                     "model that tested it)");
    CLI::Option* apply =
        app.add_option("--apply", settings.applyModel,
                       "score every record of BASE (then no PERCENT) with the saved model MODEL "
                       "instead of training: predictions to BASE_..._predictions.csv, and when "
                       "BASE holds the class, a report to BASE_..._applied.output")
            ->type_name("MODEL")
            ->check(nonEmpty("--apply needs a model file's name"));
    app.add_option("--html", settings.html,
                   "also write the run as a web page to FILE: the tree or the model's "
                   "distributions, the confusion matrix and the per-class figures drawn")
        ->type_name("FILE")
        ->check(nonEmpty("--html needs a file name"));
    apply->excludes(save);
    apply->excludes(predictions);
    apply->excludes(app.get_option("--folds"));
}

// Declares every argument and option of `program`'s command line, bound into `line` and
// `program`.
void declare(CLI::App& app, ClassifierProgram& program, CommandLine& line) {
    const ProgramInfo& info = program.info();
    app.formatter(std::make_shared<HelpFormatter>(usageLine(info)));
    app.description(describeProgram(info));
    app.footer(footer(info));
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", versionLine(info), "show the version and exit");
    app.allow_extras();  // unknown options and extra arguments get this program's own messages
    addArguments(app, line);
    app.add_flag("--keep-order", line.options.keepOrder,
                 "split the records in file order, without shuffling");
    addSeed(app, "--seed", line.options.seed, "shuffle with seed N");
    addWholeNumber(app, "--folds", "K", line.options.folds, 2, 100,
                   "evaluate by stratified K-fold cross-validation over all records instead "
                   "of the split; PERCENT may then be left out",
                   "the split");
    addDecimal(app, "--time-limit", "S", line.options.timeLimit, 86400,
               "take about S seconds at most: a larger file is read as a seeded sample and "
               "training work is limited, all decided from sizes, not the clock",
               "no limit");
    addColumnOptions(app, line.options);
    addFieldOptions(app, line.options);
    addModelOptions(app, line.options);
    program.addOptions(app);
}

// Returns true when CLI11 took `arg` for an option (a lone "-" and "-1" are arguments).
bool looksLikeOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && arg != "--" &&
           !std::isdigit(static_cast<unsigned char>(arg[1]));
}

// Returns the option's name in `arg`: "--fast" of "--fast=3".
std::string optionName(const std::string& arg) {
    const std::size_t eq = arg.find('=');
    return eq != std::string::npos && eq > 2 ? arg.substr(0, eq) : arg;
}

// Returns the usage error for what the parse left over ("" when nothing), counting the
// arguments left over into `extraArguments`.
std::string leftOverError(const std::vector<std::string>& left, std::size_t& extraArguments) {
    bool optionsEnded = false;
    std::string error;
    for (const std::string& arg : left) {
        if (arg == "--" && !optionsEnded) {
            optionsEnded = true;
        } else if (!optionsEnded && looksLikeOption(arg)) {
            if (error.empty()) error = "unknown option " + optionName(arg);
        } else {
            ++extraArguments;
        }
    }
    return error;
}

// Returns the usage error that the whole parsed line still holds, or "".
std::string wholeLineError(const CLI::App& app, std::size_t& arguments, bool folds, bool apply) {
    std::size_t extra = 0;
    const std::string left = leftOverError(app.remaining(), extra);
    arguments += extra;
    if (!left.empty()) return left;
    if (apply) return arguments == 1 ? "" : "with --apply, expected the data file alone";
    if (arguments < (folds ? 1 : 2)) return folds ? "expected BASE" : "expected BASE and PERCENT";
    if (arguments > 2) return "expected only BASE and PERCENT";
    return "";
}

// Returns the message of a value missing at the end of the line (CLI11 says "--seed: 1 required
// N missing") as "--seed needs a value (N)"; any other message as it is.
std::string missingValueMessage(const std::string& message, const CLI::App& app) {
    const std::size_t colon = message.find(':');
    const CLI::Option* option =
        colon == std::string::npos ? nullptr : app.get_option_no_throw(message.substr(0, colon));
    if (option == nullptr || option->get_type_name().empty()) return message;
    return message.substr(0, colon) + " needs a value (" + option->get_type_name() + ")";
}

// Returns the usage error `error` of `line`. The report goes beside the data only when BASE is
// surely BASE: exactly two arguments and the first not empty.
CommandLine usageError(const CLI::App& app, CommandLine line, const std::string& error,
                       std::size_t arguments) {
    const std::vector<std::string>& base = app.get_option("BASE")->results();
    line.base = arguments == 2 && !base.empty() ? base.front() : "";
    line.action = CommandLine::Action::UsageError;
    line.text = error;
    return line;
}

}  // namespace

std::string usageLine(const ProgramInfo& info) {
    return "Usage: " + info.name + " [options] BASE PERCENT";
}

CommandLine parseCommandLine(const std::vector<std::string>& args, ClassifierProgram& program) {
    program.resetOptions();
    CommandLine line;
    CLI::App app;
    declare(app, program, line);
    std::string thrown;
    bool complete = true;
    try {
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::Success&) {
        // --help or --version: answered below.
    } catch (const CLI::ArgumentMismatch& e) {
        thrown = missingValueMessage(e.what(), app);
        complete = false;  // thrown while arguments were still being read
    } catch (const CLI::ParseError& e) {
        thrown = e.what();
        // A check's message names its option already: "--sql: --sql needs ..." says it twice.
        const std::size_t colon = thrown.find(": ");
        if (colon != std::string::npos && thrown.compare(colon + 2, colon, thrown, 0, colon) == 0)
            thrown.erase(0, colon + 2);
    }
    // --help and --version win over any error, wherever they stand.
    if (app.get_help_ptr()->count() > 0) return {CommandLine::Action::Help, app.help(), "", {}, {}};
    if (app.get_version_ptr()->count() > 0)
        return {CommandLine::Action::Version, versionLine(program.info()), "", {}, {}};
    std::size_t arguments = app.get_option("BASE")->count() + app.get_option("PERCENT")->count();
    // --folds given with a bad value still lets PERCENT be left out: its own error says more.
    const bool folds = line.options.folds > 0 || app.get_option("--folds")->count() > 0;
    std::string error = wholeLineError(app, arguments, folds, !line.options.applyModel.empty());
    // Wrong arguments and unknown options come first, as they say more than a value would;
    // unless the error cut the reading short, which leaves the line's count unknown.
    if (!thrown.empty() && (!complete || error.empty())) error = thrown;
    if (error.empty()) {
        for (const CLI::Option* option : app.get_options())
            if (option->count() > 0) line.given.insert(option->get_name());
        return line;
    }
    return usageError(app, std::move(line), error, arguments);
}

}  // namespace mining
