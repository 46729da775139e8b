// Naive Bayes trained from the shares of a run over several processes (see trainOnShares).
#include <algorithm>
#include <cstring>
#include <numeric>
#include <queue>
#include <string_view>

#include "bayes/mdl_discretizer.h"
#include "bayes/naive_bayes.h"
#include "bayes/naive_bayes_moments.h"

namespace mining {

namespace {

// Returns at the first process every process's `count` values valueOf(0 .. count - 1), joined
// in process order; elsewhere an empty column. The first process's own are written straight in,
// and each part received is let go once copied, so that the values are held about once.
template <class T, class ValueOf>
ColumnVector<T> gatheredValues(std::size_t count, const ValueOf& valueOf, Collective& collective) {
    const bool first = collective.rank() == 0;
    std::string bytes(first ? 0 : count * sizeof(T), '\0');
    for (std::size_t i = 0; i < bytes.size() / sizeof(T); ++i) {
        const T value = valueOf(i);
        std::memcpy(bytes.data() + i * sizeof(T), &value, sizeof(T));
    }
    std::vector<std::string> parts = collective.gather(bytes);
    std::string().swap(bytes);
    if (!first) return ColumnVector<T>();
    std::size_t total = count;
    for (std::size_t p = 1; p < parts.size(); ++p) total += parts[p].size() / sizeof(T);
    ColumnVector<T> values(total);
    for (std::size_t i = 0; i < count; ++i) values[i] = valueOf(i);
    std::size_t at = count;
    for (std::size_t p = 1; p < parts.size(); ++p) {
        if (!parts[p].empty()) std::memcpy(values.data() + at, parts[p].data(), parts[p].size());
        at += parts[p].size() / sizeof(T);
        std::string().swap(parts[p]);
    }
    return values;
}

// Returns at the first process the values of numeric column `column` in every process's rows
// `rows`, in process order, stored as the column is (the shares store numbers alike); elsewhere
// an empty column.
NumericColumn gatheredColumn(const NumericColumn& column, std::span<const RowIndex> rows,
                             Collective& collective) {
    if (const std::optional<DecimalView> decimals = column.decimals())
        return NumericColumn::fromMantissas(
            gatheredValues<std::int32_t>(
                rows.size(), [&](std::size_t i) { return decimals->mantissa(rows[i]); },
                collective),
            column.fractionDigits());
    return NumericColumn::fromDoubles(gatheredValues<double>(
        rows.size(), [&](std::size_t i) { return column[rows[i]]; }, collective));
}

// Returns at the first process the class codes of every process's rows `rows`, in process
// order, a byte each where the classes allow; elsewhere an empty column.
CodeColumn gatheredClasses(CodeSpan classes, std::size_t classCount, std::span<const RowIndex> rows,
                           Collective& collective) {
    if (classCount < CodeSpan::kMissingByte)
        return CodeColumn(gatheredValues<std::uint8_t>(
            rows.size(), [&](std::size_t i) { return static_cast<std::uint8_t>(classes[rows[i]]); },
            collective));
    return CodeColumn(gatheredValues<std::int32_t>(
        rows.size(), [&](std::size_t i) { return classes[rows[i]]; }, collective));
}

// Returns at the first process the number of distinct present values of `column` among every
// process's rows `rows`, as NumericColumn::distinctCount counts them over all; elsewhere 0.
template <class T, class ValueOf>
std::size_t distinctOfAll(std::span<const RowIndex> rows, const ValueOf& valueOf,
                          const std::function<bool(T)>& present, Collective& collective) {
    std::vector<T> own;
    for (const RowIndex r : rows)
        if (const T v = valueOf(r); present(v)) own.push_back(v);
    std::sort(own.begin(), own.end());
    own.erase(std::unique(own.begin(), own.end()), own.end());
    ColumnVector<T> all = gatheredValues<T>(
        own.size(), [&own](std::size_t i) { return own[i]; }, collective);
    if (collective.rank() != 0) return 0;
    std::sort(all.begin(), all.end());
    return static_cast<std::size_t>(std::unique(all.begin(), all.end()) - all.begin());
}

std::size_t distinctOfAll(const NumericColumn& column, std::span<const RowIndex> rows,
                          Collective& collective) {
    if (const std::optional<DecimalView> decimals = column.decimals())
        return distinctOfAll<std::int32_t>(
            rows, [&](RowIndex r) { return decimals->mantissa(r); },
            [](std::int32_t m) { return m != NumericColumn::kMissingMantissa; }, collective);
    return distinctOfAll<double>(
        rows, [&](RowIndex r) { return column[r]; }, [](double x) { return !std::isnan(x); },
        collective);
}

// A share's present training values of one attribute in runs: each distinct (value, class),
// ascending, with the number of rows that hold it.
template <class T>
struct OwnRuns {
    std::vector<std::pair<T, std::int32_t>> pairs;  // the distinct (value, class) pairs
    std::vector<std::uint32_t> counts;              // ... and how many rows hold each
    std::size_t present = 0;                        // the present values
};

template <class T, class ValueOf>
OwnRuns<T> ownRuns(std::span<const RowIndex> rows, const ValueOf& valueOf,
                   const std::function<bool(T)>& present, CodeSpan classes) {
    OwnRuns<T> own;
    for (const RowIndex r : rows)
        if (const T v = valueOf(r); present(v)) own.pairs.emplace_back(v, classes[r]);
    own.present = own.pairs.size();
    std::sort(own.pairs.begin(), own.pairs.end());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < own.pairs.size();) {
        std::size_t j = i + 1;
        while (j < own.pairs.size() && own.pairs[j] == own.pairs[i]) ++j;
        own.pairs[kept++] = own.pairs[i];
        own.counts.push_back(static_cast<std::uint32_t>(j - i));
        i = j;
    }
    own.pairs.resize(kept);
    return own;
}

// Returns `own` packed: each run's value, its class (a byte where the classes allow) and its
// count in 7-bit groups (a byte below 128).
template <class T>
std::string runBytes(const OwnRuns<T>& own, bool byteClasses) {
    std::string bytes;
    for (std::size_t i = 0; i < own.pairs.size(); ++i) {
        bytes.append(reinterpret_cast<const char*>(&own.pairs[i].first), sizeof(T));
        if (byteClasses)
            bytes.push_back(static_cast<char>(own.pairs[i].second));
        else
            bytes.append(reinterpret_cast<const char*>(&own.pairs[i].second), sizeof(std::int32_t));
        for (std::uint32_t n = own.counts[i];; n >>= 7) {
            bytes.push_back(static_cast<char>((n & 0x7F) | (n >= 0x80 ? 0x80 : 0)));
            if (n < 0x80) break;
        }
    }
    return bytes;
}

// Returns the runs of every process's runBytes(), merged in order of value: each distinct value
// once (toDouble(v) its value) with its class counts over all processes.
template <class T, class ToDouble>
ValueRuns mergedRuns(const std::vector<std::string>& parts, std::size_t classCount,
                     bool byteClasses, const ToDouble& toDouble) {
    // The position of each part's next run, and its value.
    std::vector<std::size_t> at(parts.size(), 0);
    const auto valueAt = [&](std::size_t p) {
        T v;
        std::memcpy(&v, parts[p].data() + at[p], sizeof(T));
        return v;
    };
    // The next run of each part, smallest value first.
    using Next = std::pair<T, std::size_t>;
    std::priority_queue<Next, std::vector<Next>, std::greater<>> next;
    for (std::size_t p = 0; p < parts.size(); ++p)
        if (!parts[p].empty()) next.emplace(valueAt(p), p);
    ValueRuns runs;
    T last{};
    while (!next.empty()) {
        const auto [v, p] = next.top();
        next.pop();
        if (runs.values.empty() || v != last) {
            runs.values.push_back(toDouble(v));
            runs.counts.resize(runs.counts.size() + classCount, 0);
            last = v;
        }
        const std::string& part = parts[p];
        std::size_t i = at[p] + sizeof(T);
        std::int32_t c = 0;
        if (byteClasses) {
            c = static_cast<unsigned char>(part[i++]);
        } else {
            std::memcpy(&c, part.data() + i, sizeof c);
            i += sizeof c;
        }
        std::size_t count = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(part[i++]);
            count |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (byte < 0x80) break;
        }
        runs.counts[(runs.values.size() - 1) * classCount + static_cast<std::size_t>(c)] += count;
        at[p] = i;
        if (at[p] < part.size()) next.emplace(valueAt(p), p);
    }
    return runs;
}

}  // namespace

NaiveBayes::ValueSummary NaiveBayes::summaryOnShares(const NumericColumn& column, CodeSpan classes,
                                                     std::span<const RowIndex> rows,
                                                     Collective& collective) const {
    // Each class's moments: the exact sums, the count, whether infinite, the range.
    std::string bytes;
    for (const Moments& m : summarise(column, classes, rows).perClass) {
        m.sums.save(bytes);
        const std::uint64_t count = m.count;
        const char infinite = m.infinite ? 1 : 0;
        bytes.append(reinterpret_cast<const char*>(&count), sizeof count);
        bytes.append(&infinite, 1);
        bytes.append(reinterpret_cast<const char*>(&m.minimum), sizeof m.minimum);
        bytes.append(reinterpret_cast<const char*>(&m.maximum), sizeof m.maximum);
    }
    const std::vector<std::string> parts = collective.gather(bytes);
    ValueSummary summary;
    for (const std::string& part : parts) {
        std::string_view in = part;
        for (std::size_t c = 0; c < classCount_; ++c) {
            Moments m;
            m.sums = ExactMoments::load(in);
            std::uint64_t count = 0;
            std::memcpy(&count, in.data(), sizeof count);
            m.count = static_cast<std::size_t>(count);
            m.infinite = in[sizeof count] != 0;
            std::memcpy(&m.minimum, in.data() + sizeof count + 1, sizeof m.minimum);
            std::memcpy(&m.maximum, in.data() + sizeof count + 1 + sizeof m.minimum,
                        sizeof m.maximum);
            in.remove_prefix(sizeof count + 1 + 2 * sizeof(double));
            if (summary.perClass.size() <= c)
                summary.perClass.push_back(std::move(m));
            else
                summary.perClass[c].merge(m);
        }
    }
    if (!summary.perClass.empty()) {
        summary.overall = summary.perClass.front();
        for (std::size_t c = 1; c < classCount_; ++c) summary.overall.merge(summary.perClass[c]);
    }
    return summary;
}

void NaiveBayes::normalOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                                std::uint64_t before, std::uint64_t total, Collective& collective) {
    const NumericColumn& column = share.numeric(a);
    const bool first = collective.rank() == 0;
    ValueSummary summary = summaryOnShares(column, share.classes(), rows, collective);
    AttributeModel& model = attributes_[a];
    // The first process decides what is counted next: nothing (the attribute is unused), the
    // distinct values of the first kResolutionSample training rows, or of all of them.
    std::string step = "all";
    if (first) {
        model.note = unusedNote(summary.overall);
        step = !model.note.empty() ? "none" : total > kResolutionSample ? "bound" : "all";
    }
    collective.broadcast(step);
    if (step == "none") return;
    if (step == "bound") {
        const std::uint64_t inBound = kResolutionSample > before ? kResolutionSample - before : 0;
        const std::size_t distinct = distinctOfAll(
            column,
            rows.first(static_cast<std::size_t>(std::min<std::uint64_t>(inBound, rows.size()))),
            collective);
        if (first) {
            model.resolution = resolutionOfCount(summary.overall, distinct);
            step = normalBoundSuffices(summary.overall, model.resolution) ? "done" : "all";
        }
        collective.broadcast(step);
    }
    if (step == "all") {
        const std::size_t distinct = distinctOfAll(column, rows, collective);
        if (first) model.resolution = resolutionOfCount(summary.overall, distinct);
    }
    if (!first) return;
    model.kind = Kind::Normal;
    setClassDistributions(summary, model);
}

void NaiveBayes::countsOnShares(std::span<const RowIndex> rows, CodeSpan classes,
                                std::size_t valueCount,
                                const std::function<std::int32_t(RowIndex)>& codeOf,
                                Collective& collective, AttributeModel& model) const {
    model.valueCount = valueCount;
    const std::size_t cells = classCount_ * valueCount;
    // The counts n_cv, then the present values of each class.
    std::vector<std::uint64_t> counts(cells + classCount_, 0);
    for (const RowIndex r : rows) {
        const std::int32_t code = codeOf(r);
        if (code < 0) continue;
        const auto c = static_cast<std::size_t>(classes[r]);
        ++counts[c * valueCount + static_cast<std::size_t>(code)];
        ++counts[cells + c];
    }
    collective.sum(counts);
    model.counts.assign(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(cells));
    finishTable(
        std::vector<std::size_t>(counts.begin() + static_cast<std::ptrdiff_t>(cells), counts.end()),
        model);
}

void NaiveBayes::tableOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                               Collective& collective) {
    AttributeModel& model = attributes_[a];
    model.kind = Kind::Table;
    const CodeSpan column = share.nominal(a);
    countsOnShares(
        rows, share.classes(), share.attribute(a).values.size(),
        [&column](RowIndex r) { return column[r]; }, collective, model);
    if (model.valueCount == 0) {
        model.kind = Kind::Unused;
        model.note = "no values";
    }
}

std::optional<ValueRuns> NaiveBayes::runsOnShares(const NumericColumn& column, CodeSpan classes,
                                                  std::span<const RowIndex> rows,
                                                  Collective& collective) const {
    // Every share stores the column alike: mantissas of one scale, or doubles.
    const std::optional<DecimalView> decimals = column.decimals();
    const bool byteClasses = classCount_ <= 255;
    std::vector<std::uint64_t> sizes(2);  // the runs and the present values of every share
    std::string bytes;
    if (decimals) {
        const OwnRuns<std::int32_t> own = ownRuns<std::int32_t>(
            rows, [&](RowIndex r) { return decimals->mantissa(r); },
            [](std::int32_t m) { return m != NumericColumn::kMissingMantissa; }, classes);
        sizes = {own.pairs.size(), own.present};
        bytes = runBytes(own, byteClasses);
    } else {
        const OwnRuns<double> own = ownRuns<double>(
            rows, [&](RowIndex r) { return column[r]; }, [](double x) { return !std::isnan(x); },
            classes);
        sizes = {own.pairs.size(), own.present};
        bytes = runBytes(own, byteClasses);
    }
    collective.sum(sizes);
    // Values that seldom repeat make as many runs as values, each more than a value: those are
    // sent as values instead.
    if (sizes[0] * kValuesPerRun > sizes[1]) return std::nullopt;
    std::vector<std::string> parts = collective.gather(bytes);
    std::string().swap(bytes);
    if (collective.rank() != 0) return ValueRuns{};
    const double scale = decimals ? decimals->scale() : 1;
    return decimals
               ? mergedRuns<std::int32_t>(parts, classCount_, byteClasses,
                                          [scale](std::int32_t m) { return m / scale; })
               : mergedRuns<double>(parts, classCount_, byteClasses, [](double x) { return x; });
}

bool NaiveBayes::kernelOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                                Collective& collective) {
    const NumericColumn& column = share.numeric(a);
    const std::optional<ValueRuns> runs = runsOnShares(column, share.classes(), rows, collective);
    if (!runs) return false;
    const ValueSummary summary = summaryOnShares(column, share.classes(), rows, collective);
    if (collective.rank() != 0) return true;
    AttributeModel& model = attributes_[a];
    model.note = unusedNote(summary.overall);
    if (model.note.empty())
        setKernels(
            summary, runs->values.size(),
            [&](const RunVisit& visit) { visit(runs->values, runs->counts); }, model);
    return true;
}

bool NaiveBayes::binsOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                              Collective& collective) {
    const NumericColumn& column = share.numeric(a);
    const CodeSpan classes = share.classes();
    const std::optional<ValueRuns> runs = runsOnShares(column, classes, rows, collective);
    if (!runs) return false;
    AttributeModel& model = attributes_[a];
    // The first process's answer: whether any value is present, then the cut points.
    std::string answer;
    if (collective.rank() == 0) {
        answer.push_back(runs->values.empty() ? 0 : 1);
        if (!runs->values.empty()) {
            const std::vector<double> cuts = mdlCutPointsOfRuns(*runs, classCount_);
            answer.append(reinterpret_cast<const char*>(cuts.data()), cuts.size() * sizeof(double));
        }
    }
    collective.broadcast(answer);
    if (answer[0] == 0) {
        model.note = "no values in the training records";
        return true;
    }
    model.cuts.resize((answer.size() - 1) / sizeof(double));
    if (!model.cuts.empty()) std::memcpy(model.cuts.data(), answer.data() + 1, answer.size() - 1);
    model.kind = Kind::Bins;
    countsOnShares(
        rows, classes, model.cuts.size() + 1,
        [&](RowIndex r) {
            const double x = column[r];
            return isMissing(x) ? kMissingCode : static_cast<std::int32_t>(binOf(model.cuts, x));
        },
        collective, model);
    return true;
}

Status NaiveBayes::trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                 Collective& collective) {
    // One process's share is all the records.
    if (collective.size() == 1) return train(share, rows);
    classCount_ = share.classCount();
    const CodeSpan classes = share.classes();
    std::vector<std::uint64_t> counts(classCount_, 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(classes[r])];
    collective.sum(counts);
    const std::uint64_t total = std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
    if (total == 0) return Status::failure("there are no training records");
    const std::vector<std::uint64_t> trained = everyProcess(collective, rows.size());
    const std::uint64_t before =
        std::accumulate(trained.begin(), trained.begin() + collective.rank(), std::uint64_t{0});
    if (!uses_.empty() && uses_.size() != share.attributeCount())
        return Status::failure("the attribute choices do not fit the data's attributes");
    setPriors(std::vector<std::size_t>(counts.begin(), counts.end()));
    attributes_.assign(share.attributeCount(), AttributeModel{});

    // The first process fits each kernel or discretized attribute whose values seldom repeat
    // on a data set of the training records' classes and, one at a time, that attribute's
    // values, as train() fits them; the classes are sent when the first attribute needs them.
    const std::size_t attributes = share.attributeCount();
    const auto gatheredOf = [&](CodeColumn trainClasses) {
        return Dataset::fromColumns(share.attributes(), share.classValues(),
                                    std::vector<NumericColumn>(attributes),
                                    std::vector<CodeColumn>(attributes), std::move(trainClasses));
    };
    Dataset gathered = gatheredOf(CodeColumn());
    bool classesSent = false;
    const bool first = collective.rank() == 0;
    std::vector<RowIndex> all;
    for (std::size_t a = 0; a < share.attributeCount(); ++a) {
        const Attribute& attribute = share.attribute(a);
        const bool used = uses_.empty() || uses_[a] != AttributeUse::LeftOut;
        if (attribute.type == AttributeType::Nominal && used) {
            tableOnShares(share, a, rows, collective);
            continue;
        }
        if (attribute.type == AttributeType::Numeric && used && modeOf(a) == NumericMode::Normal) {
            normalOnShares(share, a, rows, before, total, collective);
            continue;
        }
        if (attribute.type == AttributeType::Numeric && used &&
            modeOf(a) == NumericMode::Discretize && binsOnShares(share, a, rows, collective))
            continue;
        if (attribute.type == AttributeType::Numeric && used && modeOf(a) == NumericMode::Kernel &&
            kernelOnShares(share, a, rows, collective))
            continue;
        if (attribute.type == AttributeType::Numeric && used) {
            if (!classesSent) {
                gathered = gatheredOf(gatheredClasses(classes, classCount_, rows, collective));
                all.resize(first ? gathered.recordCount() : 0);
                std::iota(all.begin(), all.end(), RowIndex{0});
                classesSent = true;
            }
            NumericColumn column = gatheredColumn(share.numeric(a), rows, collective);
            if (!first) continue;
            gathered.makeNumeric(a, std::move(column));
            trainAttribute(gathered, a, all, gathered.classes());
            gathered.makeNumeric(a, NumericColumn());
            continue;
        }
        // Ignored and left-out attributes: their notes alone.
        if (first) trainAttribute(gathered, a, all, gathered.classes());
    }
    anyKernel_ = std::any_of(attributes_.begin(), attributes_.end(),
                             [](const AttributeModel& m) { return m.kind == Kind::Kernel; });
    return Status();
}

}  // namespace mining
