#include "run/run_input.h"

#include <array>

#include "run/base_name.h"

namespace classifiers {

namespace {

// Returns the table suffix `inputFile` ends in, dot included, or an empty string.
QLatin1String tableSuffixOf(const QString& inputFile) {
    static constexpr std::array<QLatin1String, 4> kSuffixes = {
        QLatin1String(".csv"), QLatin1String(".tsv"), QLatin1String(".txt"),
        QLatin1String(".arff")};
    for (QLatin1String suffix : kSuffixes) {
        if (inputFile.endsWith(suffix, Qt::CaseInsensitive)) return suffix;
    }
    return {};
}

}  // namespace

std::optional<RunInput> runInputFor(const QString& inputFile, const QString& baseName) {
    if (inputFile.isEmpty()) return std::nullopt;
    if (isDataFile(inputFile)) return RunInput{baseName, baseName};
    const QLatin1String suffix = tableSuffixOf(inputFile);
    if (suffix.isEmpty()) return std::nullopt;
    return RunInput{inputFile, inputFile.chopped(suffix.size())};
}

}  // namespace classifiers
