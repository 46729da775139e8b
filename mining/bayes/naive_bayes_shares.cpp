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

// Returns the present values valueOf(r) of rows `rows` (classes in `classes`) as runs: for each
// distinct (value, class), ascending, the value, the class and how many rows hold it, packed.
template <class T, class ValueOf>
std::string runBytes(std::span<const RowIndex> rows, const ValueOf& valueOf,
                     const std::function<bool(T)>& present, CodeSpan classes) {
    std::vector<std::pair<T, std::int32_t>> pairs;
    for (const RowIndex r : rows)
        if (const T v = valueOf(r); present(v)) pairs.emplace_back(v, classes[r]);
    std::sort(pairs.begin(), pairs.end());
    std::string bytes;
    for (std::size_t i = 0; i < pairs.size();) {
        std::size_t j = i + 1;
        while (j < pairs.size() && pairs[j] == pairs[i]) ++j;
        const auto count = static_cast<std::uint32_t>(j - i);
        bytes.append(reinterpret_cast<const char*>(&pairs[i].first), sizeof(T));
        bytes.append(reinterpret_cast<const char*>(&pairs[i].second), sizeof(std::int32_t));
        bytes.append(reinterpret_cast<const char*>(&count), sizeof count);
        i = j;
    }
    return bytes;
}

// Returns the runs of every process's runBytes(), merged in order of value: each distinct value
// once (toDouble(v) its value) with its class counts over all processes.
template <class T, class ToDouble>
ValueRuns mergedRuns(const std::vector<std::string>& parts, std::size_t classCount,
                     const ToDouble& toDouble) {
    constexpr std::size_t kRun = sizeof(T) + sizeof(std::int32_t) + sizeof(std::uint32_t);
    const auto valueAt = [&](std::size_t p, std::size_t at) {
        T v;
        std::memcpy(&v, parts[p].data() + at, sizeof(T));
        return v;
    };
    // The next run of each part, smallest value first (a tie to the earlier part).
    using Next = std::pair<T, std::size_t>;
    std::priority_queue<Next, std::vector<Next>, std::greater<>> next;
    std::vector<std::size_t> at(parts.size(), 0);
    for (std::size_t p = 0; p < parts.size(); ++p)
        if (!parts[p].empty()) next.emplace(valueAt(p, 0), p);
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
        std::int32_t c = 0;
        std::uint32_t count = 0;
        std::memcpy(&c, parts[p].data() + at[p] + sizeof(T), sizeof c);
        std::memcpy(&count, parts[p].data() + at[p] + sizeof(T) + sizeof c, sizeof count);
        runs.counts[(runs.values.size() - 1) * classCount + static_cast<std::size_t>(c)] += count;
        at[p] += kRun;
        if (at[p] < parts[p].size()) next.emplace(valueAt(p, at[p]), p);
    }
    return runs;
}

}  // namespace

void NaiveBayes::normalOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                                std::uint64_t before, std::uint64_t total, Collective& collective) {
    const NumericColumn& column = share.numeric(a);
    const bool first = collective.rank() == 0;
    // Each class's moments: the exact sums, the count, whether infinite, the range.
    std::string bytes;
    for (const Moments& m : summarise(column, share.classes(), rows).perClass) {
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
    AttributeModel& model = attributes_[a];
    // The first process decides what is counted next: nothing (the attribute is unused), the
    // distinct values of the first kResolutionSample training rows, or of all of them.
    std::string step = "all";
    if (first) {
        summary.overall = summary.perClass.front();
        for (std::size_t c = 1; c < classCount_; ++c) summary.overall.merge(summary.perClass[c]);
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

void NaiveBayes::binsOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                              Collective& collective) {
    const NumericColumn& column = share.numeric(a);
    const CodeSpan classes = share.classes();
    // Every share stores the column alike: mantissas of one scale, or doubles.
    const std::optional<DecimalView> decimals = column.decimals();
    std::vector<std::string> parts;
    if (decimals) {
        parts = collective.gather(runBytes<std::int32_t>(
            rows, [&](RowIndex r) { return decimals->mantissa(r); },
            [](std::int32_t m) { return m != NumericColumn::kMissingMantissa; }, classes));
    } else {
        parts = collective.gather(runBytes<double>(
            rows, [&](RowIndex r) { return column[r]; }, [](double x) { return !std::isnan(x); },
            classes));
    }
    AttributeModel& model = attributes_[a];
    // The first process's answer: whether any value is present, then the cut points.
    std::string answer;
    if (collective.rank() == 0) {
        const double scale = decimals ? decimals->scale() : 1;
        const ValueRuns runs =
            decimals ? mergedRuns<std::int32_t>(parts, classCount_,
                                                [scale](std::int32_t m) { return m / scale; })
                     : mergedRuns<double>(parts, classCount_, [](double x) { return x; });
        std::vector<std::string>().swap(parts);
        answer.push_back(runs.values.empty() ? 0 : 1);
        if (!runs.values.empty()) {
            const std::vector<double> cuts = mdlCutPointsOfRuns(runs, classCount_);
            answer.append(reinterpret_cast<const char*>(cuts.data()), cuts.size() * sizeof(double));
        }
    }
    collective.broadcast(answer);
    if (answer[0] == 0) {
        model.note = "no values in the training records";
        return;
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

    // The first process fits each kernel attribute on a data set of the training records'
    // classes and, one at a time, that attribute's values, as train() fits them; the classes are
    // sent only when some attribute needs them.
    const std::size_t attributes = share.attributeCount();
    bool kernels = false;
    for (std::size_t a = 0; a < attributes; ++a)
        kernels = kernels || (share.attribute(a).type == AttributeType::Numeric &&
                              (uses_.empty() || uses_[a] != AttributeUse::LeftOut) &&
                              modeOf(a) == NumericMode::Kernel);
    Dataset gathered = Dataset::fromColumns(
        share.attributes(), share.classValues(), std::vector<NumericColumn>(attributes),
        std::vector<CodeColumn>(attributes),
        kernels ? gatheredClasses(classes, classCount_, rows, collective) : CodeColumn());
    const bool first = collective.rank() == 0;
    std::vector<RowIndex> all(first ? gathered.recordCount() : 0);
    std::iota(all.begin(), all.end(), RowIndex{0});
    const CodeSpan trainClasses = gathered.classes();
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
            modeOf(a) == NumericMode::Discretize) {
            binsOnShares(share, a, rows, collective);
            continue;
        }
        if (attribute.type == AttributeType::Numeric && used) {
            NumericColumn column = gatheredColumn(share.numeric(a), rows, collective);
            if (!first) continue;
            gathered.makeNumeric(a, std::move(column));
            trainAttribute(gathered, a, all, trainClasses);
            gathered.makeNumeric(a, NumericColumn());
            continue;
        }
        if (first) trainAttribute(gathered, a, all, trainClasses);
    }
    anyKernel_ = std::any_of(attributes_.begin(), attributes_.end(),
                             [](const AttributeModel& m) { return m.kind == Kind::Kernel; });
    return Status();
}

}  // namespace mining
