#include "classifier_run.h"

#include <chrono>
#include <string>
#include <string_view>

#include "data/reader.h"
#include "data/split.h"
#include "fuzz_checks.h"

namespace fuzz {

namespace {

constexpr std::size_t kMaxSettings = 16;

// Reads the settings line into `settings` and `options`. Returns false on a usage error.
bool readSettings(std::string_view line, mining::RunSettings& settings,
                  mining::ModelOptions& options) {
    std::size_t count = 0;
    bool havePercent = false;
    while (!line.empty() && count < kMaxSettings) {
        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (word.empty()) continue;
        ++count;
        if (!havePercent) {
            const mining::Result<double> percent = mining::parsePercent(word);
            if (!percent) return false;
            settings.percent = *percent;
            havePercent = true;
            continue;
        }
        const std::size_t eq = word.find('=');
        const std::string name(word.substr(0, eq));
        const std::string value(eq == std::string_view::npos ? "" : word.substr(eq + 1));
        if (name == "--keep-order") {
            settings.keepOrder = true;
        } else if (name == "--seed") {
            std::uint64_t seed = 0;
            for (const char c : value.substr(0, 18))
                if (c >= '0' && c <= '9') seed = seed * 10 + static_cast<std::uint64_t>(c - '0');
            settings.seed = seed;
        } else {
            options[name] = value;
        }
    }
    return havePercent;
}

}  // namespace

void runClassifierInput(const std::uint8_t* bytes, std::size_t size,
                        const mining::ProgramInfo& info, const mining::ModelFactory& makeModel) {
    const Parts parts = splitAtNul(bytes, size);
    const std::size_t newline = parts.first.find('\n');
    if (newline == std::string_view::npos) return;
    mining::RunSettings settings;
    mining::ModelOptions options;
    if (!readSettings(parts.first.substr(0, newline), settings, options)) return;
    mining::Result<std::unique_ptr<mining::Model>> made = makeModel(options);
    // Usage errors echo the command line as typed; only the file's bytes are hostile here.
    if (!made) return;

    const auto start = std::chrono::steady_clock::now();
    const mining::Result<mining::Dataset> data =
        mining::parseDataset(parts.first.substr(newline + 1), parts.second, "data", "names", 1);
    if (!data) {
        checkMessage(data.error());
        return;
    }
    checkDataset(*data);
    const mining::Result<std::string> report = mining::classifierReport(
        *data, settings, info, **made, start, std::chrono::steady_clock::now());
    if (!report) {
        checkMessage(report.error());
        return;
    }
    if (report->find("\nAccuracy: ") == std::string::npos)
        fail("the report has no accuracy line", *report);
    if (report->back() != '\n') fail("the report's last line is not ended", *report);

    // The same run on a fresh model gives the same report, but for the time it took.
    mining::Result<std::unique_ptr<mining::Model>> again = makeModel(options);
    const mining::Result<std::string> second = mining::classifierReport(
        *data, settings, info, **again, start, std::chrono::steady_clock::now());
    if (!second) fail("a second run fails", second.error());
    const auto untimed = [](const std::string& text) {
        return text.substr(0, text.rfind("\nTime: "));
    };
    if (untimed(*report) != untimed(*second))
        fail("two runs give different reports", *report + "\n----\n" + *second);
}

}  // namespace fuzz
