// Declaring the classifier programs' options: each helper declares one option on a CLI::App,
// with its name, value name, default (the target's value when declared), range check and help,
// bound to where its value goes. A value outside the range makes the parse throw a
// CLI::ValidationError whose message is the whole usage error, e.g.
// "--bins needs a whole number from 2 to 1000, not '1'".
//
// The values are read here rather than by CLI11's own conversions, which take "010" for an
// octal 8 and "0x10" for 16: a value is a plain decimal, as it always was.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/result.h"

namespace mining {

// The largest whole number an option with no upper bound of its own takes.
inline constexpr int kLargestWholeOption = 1000000000;

// Declares `name valueName` setting `target` to a whole number in [lo, hi]. The help reads
// `help`, ", LO..HI" when hi < kLargestWholeOption, and "(default D)", or "(default D; 0: ZERO)"
// when `zeroMeans` is not empty.
// Returns the option.
CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, const std::string& valueName,
                            int& target, int lo, int hi, const std::string& help,
                            const std::string& zeroMeans = "");

// Declares `name valueName` setting `target` to a plain decimal in [0, 1) (0 included, 1
// not). Help as addWholeNumber(); the error names the range as `rangeText`, e.g. "a number
// from 0 (no pruning) to below 1". Returns the option.
CLI::Option* addFraction(CLI::App& app, const std::string& name, const std::string& valueName,
                         double& target, const std::string& help, const std::string& rangeText,
                         const std::string& zeroMeans = "");

// Declares `name valueName` setting `target` to the value paired with the word given, one of
// `choices` (word, value). The help reads `help` and "(default W)", W the word of `target`'s
// value. Returns the option.
template <class T>
CLI::Option* addChoice(CLI::App& app, const std::string& name, const std::string& valueName,
                       T& target, std::vector<std::pair<std::string, T>> choices,
                       const std::string& help);

// Declares `name valueName` setting `target` to a plain decimal from 0 to `hi`. Help as
// addWholeNumber(). Returns the option.
CLI::Option* addDecimal(CLI::App& app, const std::string& name, const std::string& valueName,
                        double& target, double hi, const std::string& help,
                        const std::string& zeroMeans = "");

// Declares the seed option `name N`: a whole number from 0 to 2^64-1 into `target`.
// Returns the option.
CLI::Option* addSeed(CLI::App& app, const std::string& name, std::uint64_t& target,
                     const std::string& help);

// Returns the whole number in `text`, written as plain decimal digits with an optional leading
// '-', when it is one in [lo, hi]; else returns false and leaves `value` alone.
bool parseWholeNumber(std::string_view text, long long lo, long long hi, long long& value);

// Returns a check for an option's value that refuses an empty value with `message` (the whole
// usage error, e.g. "--sql needs a file name").
CLI::Validator nonEmpty(const std::string& message);

// Returns the usage error for a choice option given `value`:
// "NAME needs 'A' or 'B', not 'VALUE'" (or "'A', 'B' or 'C'").
std::string choiceError(const std::string& name, const std::vector<std::string>& words,
                        const std::string& value);

template <class T>
CLI::Option* addChoice(CLI::App& app, const std::string& name, const std::string& valueName,
                       T& target, std::vector<std::pair<std::string, T>> choices,
                       const std::string& help) {
    std::vector<std::string> words;
    std::string defaultWord;
    for (const auto& [word, value] : choices) {
        words.push_back(word);
        if (value == target) defaultWord = word;
    }
    CLI::callback_t set = [&target, name, words, choices](const CLI::results_t& results) {
        for (const auto& [word, value] : choices) {
            if (results.back() == word) {
                target = value;
                return true;
            }
        }
        throw CLI::ValidationError(choiceError(name, words, results.back()),
                                   CLI::ExitCodes::ValidationError);
    };
    return app.add_option(name, set, help + " (default " + defaultWord + ")")->type_name(valueName);
}

// Returns the delimiter `text` names for --delimiter: "tab" (or \t), "space" (runs of spaces,
// data/text_fields.h's kSpaces), or any one character but a quote or a line end.
Result<char> parseDelimiter(const std::string& text);

}  // namespace mining
