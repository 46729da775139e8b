#include "cli/option_binding.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>

#include "data/number_parser.h"
#include "data/text_fields.h"
#include "util/text_table.h"

namespace mining {

namespace {

// Returns "(default D)" or "(default D; 0: ZERO)".
std::string defaultNote(const std::string& shown, const std::string& zeroMeans) {
    return "(default " + shown + (zeroMeans.empty() ? "" : "; 0: " + zeroMeans) + ")";
}

// Returns what a whole-number option needs, for the error on `value`: "a whole number from 2
// to 1000", or for an option with no upper bound of its own "a whole number of at least 2" (or
// "a whole number" when any count goes), unless `value` is a whole number beyond the bound.
std::string wholeRange(int lo, int hi, std::string_view value) {
    const bool digits =
        !value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos;
    long long v = 0;
    const bool beyond =
        digits && (value.size() > 18 || (parseWholeNumber(value, 0, LLONG_MAX, v) && v > hi));
    if (hi < kLargestWholeOption || beyond)
        return "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
    if (lo > 0) return "a whole number of at least " + std::to_string(lo);
    return "a whole number";
}

// Finishes the declaration of an option that takes one value: the last one given counts.
CLI::Option* oneValue(CLI::Option* option, const std::string& valueName) {
    return option->type_name(valueName)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// Reads `text` as the data is read when it is an unsigned decimal, plain ("0.25") or with an
// exponent ("1e-5"); a sign, a base prefix, "inf" and "nan" are not taken.
bool readDecimal(std::string_view text, double& value) {
    if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    const std::optional<double> read = numberValue(text);
    if (read) value = *read;
    return read.has_value();
}

[[noreturn]] void reject(const std::string& message) {
    throw CLI::ValidationError(message, CLI::ExitCodes::ValidationError);
}

}  // namespace

bool parseWholeNumber(std::string_view text, long long lo, long long hi, long long& value) {
    long long v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || v < lo || v > hi) return false;
    value = v;
    return true;
}

CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, const std::string& valueName,
                            int& target, int lo, int hi, const std::string& help,
                            const std::string& zeroMeans) {
    CLI::callback_t set = [&target, name, lo, hi](const CLI::results_t& results) {
        long long v = 0;
        if (!parseWholeNumber(results.back(), lo, hi, v))
            reject(name + " needs " + wholeRange(lo, hi, results.back()) + ", not '" +
                   results.back() + "'");
        target = static_cast<int>(v);
        return true;
    };
    const std::string range =
        hi < kLargestWholeOption ? ", " + std::to_string(lo) + ".." + std::to_string(hi) : "";
    const std::string shown = std::to_string(target);
    return oneValue(app.add_option(name, set, help + range + " " + defaultNote(shown, zeroMeans)),
                    valueName);
}

CLI::Option* addFraction(CLI::App& app, const std::string& name, const std::string& valueName,
                         double& target, const std::string& help, const std::string& rangeText,
                         const std::string& zeroMeans) {
    CLI::callback_t set = [&target, name, rangeText](const CLI::results_t& results) {
        const std::string& value = results.back();
        double v = 0;
        if (!readDecimal(value, v) || !(v < 1))
            reject(name + " needs " + rangeText + ", not '" + value + "'");
        target = v;
        return true;
    };
    const std::string shown = formatGeneral(target);
    return oneValue(app.add_option(name, set, help + " " + defaultNote(shown, zeroMeans)),
                    valueName);
}

CLI::Option* addSeed(CLI::App& app, const std::string& name, std::uint64_t& target,
                     const std::string& help) {
    CLI::callback_t set = [&target](const CLI::results_t& results) {
        const std::string& value = results.back();
        std::uint64_t seed = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, seed);
        // from_chars takes no sign and no base prefix: only decimal digits get through.
        if (value.empty() || ec != std::errc() || ptr != end)
            reject("the seed \"" + value + "\" is not a whole number from 0 to 2^64-1");
        target = seed;
        return true;
    };
    const std::string shown = std::to_string(target);
    return oneValue(app.add_option(name, set, help + " " + defaultNote(shown, "")), "N");
}

CLI::Validator nonEmpty(const std::string& message) {
    return CLI::Validator(
        [message](std::string& value) { return value.empty() ? message : std::string(); }, "",
        "non-empty");
}

std::string choiceError(const std::string& name, const std::vector<std::string>& words,
                        const std::string& value) {
    std::string listed;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) listed += i + 1 == words.size() ? " or " : ", ";
        listed += "'" + words[i] + "'";
    }
    return name + " needs " + listed + ", not '" + value + "'";
}

CLI::Option* addDecimal(CLI::App& app, const std::string& name, const std::string& valueName,
                        double& target, double hi, const std::string& help,
                        const std::string& zeroMeans) {
    CLI::callback_t set = [&target, name, hi](const CLI::results_t& results) {
        const std::string& value = results.back();
        double v = 0;
        if (!readDecimal(value, v) || v > hi)
            reject(name + " needs a number from 0 to " + formatGeneral(hi) + ", not '" + value +
                   "'");
        target = v;
        return true;
    };
    const std::string shown = formatGeneral(target);
    return oneValue(app.add_option(name, set, help + " " + defaultNote(shown, zeroMeans)),
                    valueName);
}

Result<char> parseDelimiter(const std::string& text) {
    if (text == "tab" || text == "\\t") return '\t';
    if (text == "space") return kSpaces;
    if (text.size() != 1)
        return Result<char>::failure("--delimiter needs one character, tab or space, not " +
                                     quoteForMessage(text));
    if (text == "\"" || text == "'" || text == "\n" || text == "\r")
        return Result<char>::failure("--delimiter cannot be a quote or a line end");
    return text[0];
}

}  // namespace mining
