#include "data/dataset_builder.h"

#include <algorithm>
#include <optional>

#include "data/text_fields.h"
#include "util/parallel.h"

namespace mining {

namespace {

// Below this size one thread reads the whole text.
constexpr std::size_t kMinBytesPerThread = std::size_t{8} << 20;
constexpr std::size_t kMaxThreads = 4;

std::size_t chooseThreads(std::size_t threads, std::size_t textSize) {
    if (threads != 0) return threads;
    return std::min(
        {coreCount(), kMaxThreads, std::max<std::size_t>(1, textSize / kMinBytesPerThread)});
}

// What reading every part came to: the first failure in file order, or whether a column taken
// as numeric turned out not to be, which means reading again.
struct PartsVerdict {
    std::optional<std::string> error;
    bool restart = false;
};

// A failure counts only when no earlier part had to restart: a restart would have stopped a
// single reader before it reached the failing line.
PartsVerdict judgeParts(const std::vector<std::unique_ptr<PartParser>>& parts,
                        const std::string& dataName) {
    PartsVerdict verdict;
    std::size_t linesBefore = 0;
    for (const auto& part : parts) {
        if (part->outcome() == PartOutcome::Restart) {
            verdict.restart = true;
        } else if (part->outcome() == PartOutcome::Failed && !verdict.restart) {
            verdict.error = dataName + ", line " + std::to_string(linesBefore + part->errorLine()) +
                            ": " + part->error();
            return verdict;
        }
        linesBefore += part->lineCount();
    }
    return verdict;
}

// Appends the codes of parts 1.. to part 0's, recoding each part's values into `values`, and
// frees each part's codes as soon as they are copied. `codesOf` and `valuesOf` pick one
// column's codes and values from a part's columns.
template <class Codes, class Values>
std::vector<std::int32_t> joinCodes(std::vector<std::int32_t>& firstCodes,
                                    std::vector<std::string>& values,
                                    std::vector<std::unique_ptr<PartParser>>& parts, Codes codesOf,
                                    Values valuesOf) {
    std::vector<std::int32_t> joined = std::move(firstCodes);
    if (parts.size() == 1) {
        joined.shrink_to_fit();
        return joined;
    }
    std::size_t total = joined.size();
    for (std::size_t k = 1; k < parts.size(); ++k) total += codesOf(parts[k]->columns()).size();
    joined.reserve(total);
    ValueCoder coder(&values, false);
    for (std::size_t k = 1; k < parts.size(); ++k) {
        std::vector<std::int32_t>& codes = codesOf(parts[k]->columns());
        const std::vector<std::string>& partValues = valuesOf(parts[k]->columns());
        std::vector<std::int32_t> recode(partValues.size());
        bool same = partValues.size() <= values.size();
        for (std::size_t v = 0; v < partValues.size(); ++v) {
            recode[v] = coder.code(partValues[v]);
            same = same && recode[v] == static_cast<std::int32_t>(v);
        }
        if (same) {
            joined.insert(joined.end(), codes.begin(), codes.end());
        } else {
            for (std::int32_t c : codes)
                joined.push_back(c < 0 ? c : recode[static_cast<std::size_t>(c)]);
        }
        codes = {};
    }
    return joined;
}

}  // namespace

Result<Dataset> DatasetBuilder::build(std::string_view text, const NamesFile* names,
                                      const std::string& dataName, const std::string& namesName,
                                      std::size_t threads, const ReleaseCallback& release) {
    text = skipByteOrderMark(text);
    // Lines ended by a carriage return alone are read from a copy with '\n' ends; it has the
    // same length, so offsets given to `release` still match the original text.
    std::string newlineCopy;
    if (endsLinesWithCarriageReturns(text)) {
        newlineCopy = carriageReturnsToNewlines(text);
        text = newlineCopy;
    }
    Result<RecordLayout> layout =
        names ? layoutFromNames(*names, namesName) : layoutFromFirstRecord(text, dataName);
    if (!layout) return Result<Dataset>::failure(layout.error());
    layout->dataName = dataName;
    layout->namesName = namesName;
    return readParts(text, *layout, threads, release);
}

// Without .names, reading starts again whenever a column taken as numeric turns out not to be;
// each restart settles at least one more column.
Result<Dataset> DatasetBuilder::readParts(std::string_view text, RecordLayout& layout,
                                          std::size_t threads, const ReleaseCallback& release) {
    const auto ranges = splitAtLines(text, chooseThreads(threads, text.size()));
    while (true) {
        Parts parts;
        for (const auto& [begin, end] : ranges)
            parts.push_back(
                std::make_unique<PartParser>(layout, text.substr(begin, end - begin), begin,
                                             parts.empty() ? text.size() : end - begin, release));
        runTasks(parts.size(), [&parts](std::size_t k) { parts[k]->run(); });
        const PartsVerdict verdict = judgeParts(parts, layout.dataName);
        if (verdict.error) return Result<Dataset>::failure(*verdict.error);
        if (!verdict.restart) return merge(layout, parts);
        for (const auto& part : parts)
            if (part->outcome() == PartOutcome::Restart)
                layout.types[part->restartColumn()] = AttributeType::Nominal;
    }
}

// Joins the parts' columns in order into one Dataset, freeing each part's column as soon as it
// is copied, so the peak stays near the size of the result.
Result<Dataset> DatasetBuilder::merge(const RecordLayout& layout, Parts& parts) {
    std::size_t total = 0;
    std::size_t missing = 0;
    for (const auto& part : parts) {
        total += part->columns().classes.size();
        missing += part->columns().missingClassCount;
    }
    if (total == 0 && missing == 0)
        return Result<Dataset>::failure(layout.dataName + " holds no records");
    if (total == 0)
        return Result<Dataset>::failure(layout.dataName + " holds no record with a class value (" +
                                        std::to_string(missing) + " records have '?' as class)");
    if (total > 0xFFFFFFFFull)
        return Result<Dataset>::failure(layout.dataName +
                                        " holds more records than can be handled (4294967295)");
    Dataset data;
    mergeAttributes(layout, parts, data);
    data.classValues_ = std::move(parts[0]->columns().classValues);
    data.classes_ = joinCodes(
        parts[0]->columns().classes, data.classValues_, parts,
        [](PartColumns & c) -> auto& { return c.classes; },
        [](PartColumns & c) -> auto& { return c.classValues; });
    data.missingClassCount_ = missing;
    data.dataPath_ = layout.dataName;
    data.namesPath_ = layout.names ? layout.namesName : std::string();
    return data;
}

void DatasetBuilder::mergeAttributes(const RecordLayout& layout, Parts& parts, Dataset& data) {
    const std::size_t attributes = layout.fieldCount - 1;
    if (layout.names) {
        data.attributes_ = layout.names->attributes;
    } else {
        data.attributes_.resize(attributes);
        for (std::size_t i = 0; i < attributes; ++i) {
            data.attributes_[i].name = layout.attributeNames[i];
            data.attributes_[i].type = layout.types[i];
        }
    }
    data.numeric_.resize(attributes);
    data.nominal_.resize(attributes);
    PartColumns& first = parts[0]->columns();
    for (std::size_t i = 0; i < attributes; ++i) {
        if (layout.types[i] == AttributeType::Numeric) {
            data.numeric_[i] = std::move(first.numeric[i]);
            for (std::size_t k = 1; k < parts.size(); ++k)
                data.numeric_[i].appendAndClear(parts[k]->columns().numeric[i]);
            if (parts.size() == 1) data.numeric_[i].shrinkToFit();
        } else if (layout.types[i] == AttributeType::Nominal) {
            data.attributes_[i].values = std::move(first.values[i]);
            data.nominal_[i] = joinCodes(
                first.nominal[i], data.attributes_[i].values,
                parts, [i](PartColumns & c) -> auto& { return c.nominal[i]; },
                [i](PartColumns & c) -> auto& { return c.values[i]; });
        }
    }
}

}  // namespace mining
