#include "bayes/naive_bayes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "bayes/mdl_discretizer.h"
#include "bayes/naive_bayes_moments.h"
#include "util/display_width.h"
#include "util/exact_moments.h"
#include "util/interval_text.h"
#include "util/parallel.h"
#include "util/text_table.h"

namespace mining {

namespace {

// Rows of the model's tables shown per nominal attribute before the rest is summarised.
constexpr std::size_t kMaxValuesShown = 30;

// The present values of `column` among `rows`, sorted once (decimals by a radix sort of their
// mantissas, doubles by comparison), to be visited run by run: each distinct value, ascending,
// with its rows' count in each class.
class SortedRuns {
public:
    SortedRuns(const NumericColumn& column, CodeSpan classes, std::span<const RowIndex> rows,
               std::size_t classCount)
        : classCount_(classCount), keys_(threadKeys()) {
        keys_.clear();
        if (const std::optional<DecimalView> decimals = column.decimals()) {
            scale_ = decimals->scale();
            keys_.reserve(rows.size());
            for (const RowIndex r : rows)
                if (const std::int32_t m = decimals->mantissa(r);
                    m != NumericColumn::kMissingMantissa)
                    keys_.push_back(packDecimal(m, classes[r]));
            sortDecimalKeys(keys_);
        } else {
            pairs_.reserve(rows.size());
            for (const RowIndex r : rows)
                if (const double x = column[r]; !isMissing(x)) pairs_.emplace_back(x, classes[r]);
            std::sort(pairs_.begin(), pairs_.end(),
                      [](const auto& p, const auto& q) { return p.first < q.first; });
        }
    }

    // Returns how many runs there are.
    std::size_t distinct() const {
        std::size_t runs = 0;
        forEachValue([&runs](std::size_t n, const auto& valueOf, const auto&) {
            for (std::size_t i = 0; i < n; ++i) runs += i == 0 || valueOf(i) != valueOf(i - 1);
        });
        return runs;
    }

    // Calls visit(values, counts) for the runs in turn, a batch at a time: values[i] a run's
    // value, counts[i * classCount + c] its rows of class c.
    template <class Visit>
    void visit(const Visit& visit) const {
        constexpr std::size_t kBatch = 4096;
        std::vector<double> values;
        std::vector<std::size_t> counts;
        values.reserve(kBatch);
        counts.reserve(kBatch * classCount_);
        forEachValue([&](std::size_t n, const auto& valueOf, const auto& classOf) {
            for (std::size_t i = 0; i < n;) {
                const double x = valueOf(i);
                values.push_back(x);
                counts.resize(counts.size() + classCount_, 0);
                std::size_t* own = &counts[counts.size() - classCount_];
                for (; i < n && valueOf(i) == x; ++i) ++own[classOf(i)];
                if (values.size() == kBatch) {
                    visit(values, counts);
                    values.clear();
                    counts.clear();
                }
            }
        });
        if (!values.empty()) visit(values, counts);
    }

private:
    // Calls f(n, valueOf, classOf) over the sorted values.
    template <class F>
    void forEachValue(const F& f) const {
        if (!pairs_.empty()) {
            f(
                pairs_.size(), [&](std::size_t i) { return pairs_[i].first; },
                [&](std::size_t i) { return static_cast<std::size_t>(pairs_[i].second); });
            return;
        }
        f(
            keys_.size(),
            [&](std::size_t i) {
                // The value as the column gives it: the mantissa over the scale.
                const auto high = static_cast<std::uint32_t>(keys_[i] >> 32) ^ 0x80000000u;
                return static_cast<std::int32_t>(high) / scale_;
            },
            [&](std::size_t i) { return static_cast<std::size_t>(keys_[i] & 0xFFFFFFFFu); });
    }

    // The thread's keys, kept from attribute to attribute as sortDecimalKeys keeps its buffer.
    static std::vector<std::uint64_t>& threadKeys() {
        thread_local std::vector<std::uint64_t> keys;
        return keys;
    }

    std::size_t classCount_;
    double scale_ = 1;
    std::vector<std::uint64_t>& keys_;                    // decimals: packDecimal keys
    std::vector<std::pair<double, std::int32_t>> pairs_;  // doubles
};

}  // namespace

namespace {

// Names in the labels of the table of normal attributes and of the bins are shortened to
// these widths, so that the tables keep room for the classes' columns.
constexpr std::size_t kNormalNameWidth = 40;
constexpr std::size_t kBinNameWidth = 24;

// Returns the condition of bin `bin` of `name`: a bin holds the values above its lower cut up to
// and including its upper cut (binOf()).
std::string binCondition(const std::string& name, const std::vector<double>& cuts,
                         std::size_t bin) {
    const double low = bin == 0 ? -INFINITY : cuts[bin - 1];
    const double high = bin == cuts.size() ? INFINITY : cuts[bin];
    return intervalCondition(name, low, high, ClosedEnd::Upper);
}

std::string normalLabel(const Dataset& data, std::size_t a) {
    return shortToWidth(shortForReport(data.attribute(a).name), kNormalNameWidth);
}

}  // namespace

double NaiveBayes::logIntervalProbability(const AttributeModel& m, std::size_t c, double x) {
    const double sd = m.stdDev[c];
    const double z = (x - m.mean[c]) / sd;
    const double h = m.resolution / (2.0 * sd);
    if (std::abs(z) > 8.0 + h) return m.logNormalizer[c] - 0.5 * z * z;
    // P(x - r/2 < X <= x + r/2) for X ~ N(mean, sd), from the side that keeps precision.
    const double a = (z - h) / std::numbers::sqrt2;
    const double b = (z + h) / std::numbers::sqrt2;
    const double p =
        z > 0 ? 0.5 * (std::erfc(a) - std::erfc(b)) : 0.5 * (std::erfc(-b) - std::erfc(-a));
    return p > 0 ? std::log(p) : m.logNormalizer[c] - 0.5 * z * z;
}

double NaiveBayes::logLikelihood(std::size_t attribute, std::size_t c, double x) const {
    const AttributeModel& m = attributes_[attribute];
    if (m.kind == Kind::Kernel) return m.kernels[c].logProbability(x);
    if (m.narrow[c]) return logIntervalProbability(m, c, x);
    const double d = x - m.mean[c];
    return m.logNormalizer[c] - d * d * m.inverseTwoVar[c];
}

std::string NaiveBayes::name() const {
    if (!uses_.empty()) return "Naive Bayes (numeric attributes: each treated as chosen)";
    switch (mode_) {
        case NumericMode::Discretize:
            return "Naive Bayes (numeric attributes: MDL-discretized into bins)";
        case NumericMode::Kernel:
            return "Naive Bayes (numeric attributes: kernel density per class)";
        case NumericMode::Normal:
            break;
    }
    return "Naive Bayes (numeric attributes: normal distribution per class)";
}

Status NaiveBayes::train(const Dataset& data, std::span<const RowIndex> rows) {
    if (rows.empty()) return Status::failure("there are no training records");
    classCount_ = data.classCount();
    const CodeSpan classes = data.classes();
    // The class of each training row, in the order of `rows`.
    const CodeColumn trainCodes = classes.gather(rows);
    const CodeSpan trainClasses = trainCodes.view();

    std::vector<std::size_t> counts(classCount_, 0);
    for (std::int32_t c : trainClasses) ++counts[static_cast<std::size_t>(c)];
    setPriors(std::move(counts));

    attributes_.assign(data.attributeCount(), AttributeModel{});
    if (!uses_.empty() && uses_.size() != data.attributeCount())
        return Status::failure("the attribute choices do not fit the data's attributes");
    // Attributes are trained independently, so large training sets use every core.
    runTasks(
        data.attributeCount(), [&](std::size_t a) { trainAttribute(data, a, rows, trainClasses); },
        rows.size() >= kParallelRows);
    anyKernel_ = std::any_of(attributes_.begin(), attributes_.end(),
                             [](const AttributeModel& m) { return m.kind == Kind::Kernel; });
    return Status();
}

void NaiveBayes::setPriors(std::vector<std::size_t> counts) {
    classCounts_ = std::move(counts);
    std::size_t rows = 0;
    for (const std::size_t n : classCounts_) rows += n;
    priors_.resize(classCount_);
    logPriors_.resize(classCount_);
    const double denominator = static_cast<double>(rows + classCount_);
    for (std::size_t c = 0; c < classCount_; ++c) {
        priors_[c] = static_cast<double>(classCounts_[c] + 1) / denominator;
        logPriors_[c] = std::log(priors_[c]);
    }
}

NumericMode NaiveBayes::modeOf(std::size_t a) const {
    if (uses_.empty()) return mode_;
    if (uses_[a] == AttributeUse::Normal) return NumericMode::Normal;
    if (uses_[a] == AttributeUse::Discretize) return NumericMode::Discretize;
    if (uses_[a] == AttributeUse::Kernel) return NumericMode::Kernel;
    return mode_;
}

void NaiveBayes::trainAttribute(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                                CodeSpan trainClasses) {
    const Attribute& attribute = data.attribute(a);
    AttributeModel& model = attributes_[a];
    const NumericMode mode = modeOf(a);
    if (!uses_.empty() && uses_[a] == AttributeUse::LeftOut &&
        attribute.type != AttributeType::Ignored) {
        model.note = "left out: cross-validation measured the model better without it";
        return;
    }
    if (attribute.type == AttributeType::Ignored) {
        model.note = "ignored";
    } else if (attribute.type == AttributeType::Nominal) {
        const CodeSpan column = data.nominal(a);
        model.kind = Kind::Table;
        trainTable(
            trainClasses, attribute.values.size(), [&](std::size_t i) { return column[rows[i]]; },
            model);
        if (model.valueCount == 0) {
            model.kind = Kind::Unused;
            model.note = "no values";
        }
    } else if (mode == NumericMode::Normal) {
        trainNormal(data, a, rows, model);
    } else if (mode == NumericMode::Kernel) {
        trainKernel(data, a, rows, model);
    } else {
        trainBins(data, a, rows, trainClasses, model);
    }
}

std::size_t NaiveBayes::findCuts(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                                 std::vector<double>& cuts) const {
    const NumericColumn& column = data.numeric(a);
    const CodeSpan classes = data.classes();
    if (const std::optional<DecimalView> decimals = column.decimals()) {
        std::vector<std::uint64_t> keys;
        keys.reserve(rows.size());
        for (RowIndex r : rows)
            if (!decimals->missing(r))
                keys.push_back(packDecimal(decimals->mantissa(r), classes[r]));
        if (!keys.empty()) cuts = mdlCutPointsOfDecimals(keys, decimals->scale(), classCount_);
        return keys.size();
    }
    std::vector<ValueClass> values;
    values.reserve(rows.size());
    for (RowIndex r : rows) {
        const double x = column[r];
        if (!isMissing(x)) values.push_back({x, classes[r]});
    }
    if (!values.empty()) cuts = mdlCutPoints(values, classCount_);
    return values.size();
}

void NaiveBayes::trainBins(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                           CodeSpan trainClasses, AttributeModel& model) const {
    if (findCuts(data, a, rows, model.cuts) == 0) {
        model.note = "no values in the training records";
        return;
    }
    const NumericColumn& column = data.numeric(a);
    model.kind = Kind::Bins;
    trainTable(
        trainClasses, model.cuts.size() + 1,
        [&](std::size_t i) {
            const double x = column[rows[i]];
            return isMissing(x) ? kMissingCode : static_cast<std::int32_t>(binOf(model.cuts, x));
        },
        model);
}

NaiveBayes::ValueSummary NaiveBayes::summarise(const NumericColumn& column, CodeSpan classes,
                                               std::span<const RowIndex> rows) const {
    ValueSummary summary;
    const std::optional<DecimalView> decimals = column.decimals();
    int digits = -1;
    if (decimals) {
        digits = 0;
        for (double unit = 1; unit < decimals->scale(); unit *= 10) ++digits;
    }
    summary.perClass.assign(classCount_, Moments(digits));
    summary.overall = Moments(digits);
    if (decimals) {
        // Whole decimals: integer sums and ranges, a few integer operations a value.
        constexpr std::int32_t kMissing = NumericColumn::kMissingMantissa;
        std::vector<std::int32_t> low(classCount_, std::numeric_limits<std::int32_t>::max());
        std::vector<std::int32_t> high(classCount_, kMissing);
        for (RowIndex r : rows) {
            const std::int32_t m = decimals->mantissa(r);
            if (m == kMissing) continue;
            const auto c = static_cast<std::size_t>(classes[r]);
            summary.perClass[c].sums.addMantissa(m);
            low[c] = std::min(low[c], m);
            high[c] = std::max(high[c], m);
        }
        for (std::size_t c = 0; c < classCount_; ++c) {
            Moments& own = summary.perClass[c];
            own.count = own.sums.count();
            if (own.count == 0) continue;
            own.track(low[c] / decimals->scale());
            own.track(high[c] / decimals->scale());
        }
    } else {
        for (RowIndex r : rows) {
            const double x = column[r];
            if (isMissing(x)) continue;
            Moments& own = summary.perClass[static_cast<std::size_t>(classes[r])];
            ++own.count;
            own.track(x);
            if (std::isfinite(x)) {
                own.sums.add(x);
            } else {
                own.infinite = true;
            }
        }
    }
    for (const Moments& own : summary.perClass) summary.overall.merge(own);
    return summary;
}

std::string NaiveBayes::unusedNote(const Moments& overall) {
    if (overall.count == 0) return "no values in the training records";
    // The sums are exact, but the model works in doubles: a spread whose square overflows
    // (about 1e154) or vanishes (about 1e-154) cannot be modelled.
    const double overallSd = overall.stdDev();
    if (std::isnormal(overallSd * overallSd) && std::isfinite(overall.maximum - overall.minimum))
        return "";
    return overall.minimum == overall.maximum
               ? "the same value in every training record"
               : "values too large or too small in size to model as a normal distribution";
}

double NaiveBayes::resolutionOfCount(const Moments& overall, std::size_t distinct) {
    // The resolution of the recorded values: the mean gap between distinct training values.
    const double range = overall.maximum - overall.minimum;
    return distinct > 1 ? range / static_cast<double>(distinct - 1) : range;
}

double NaiveBayes::resolutionOf(const NumericColumn& column, std::span<const RowIndex> rows,
                                const Moments& overall,
                                const std::function<bool(double)>& boundSuffices) {
    // Counting distinct values takes a pass with a large bitmap or a sort. On many rows the
    // distinct values of the first kResolutionSample rows give an upper bound on r first.
    if (rows.size() > kResolutionSample) {
        const double bound =
            resolutionOfCount(overall, column.distinctCount(rows.first(kResolutionSample)));
        if (boundSuffices(bound)) return bound;
    }
    return resolutionOfCount(overall, column.distinctCount(rows));
}

bool NaiveBayes::normalBoundSuffices(const Moments& overall, double bound) {
    // When even the bound leaves every class wide and the floor untouched, r enters every
    // class's log P(x|c) as the same log r, so the exact r would not change any prediction:
    // every class's standard deviation ends at least at the floor.
    const double overallSd = overall.stdDev();
    return bound / 6.0 <= kStdDevFloor * overallSd && kStdDevFloor * overallSd >= kNarrow * bound;
}

void NaiveBayes::trainNormal(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                             AttributeModel& model) const {
    const NumericColumn& column = data.numeric(a);
    const ValueSummary summary = summarise(column, data.classes(), rows);
    const Moments& overall = summary.overall;
    model.note = unusedNote(overall);
    if (!model.note.empty()) return;
    model.resolution = resolutionOf(column, rows, overall, [&overall](double bound) {
        return normalBoundSuffices(overall, bound);
    });
    model.kind = Kind::Normal;
    setClassDistributions(summary, model);
}

void NaiveBayes::trainKernel(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                             AttributeModel& model) const {
    const NumericColumn& column = data.numeric(a);
    const ValueSummary summary = summarise(column, data.classes(), rows);
    model.note = unusedNote(summary.overall);
    if (!model.note.empty()) return;
    // Two passes over the sorted values: r needs the count of distinct values before any
    // kernel is added.
    const SortedRuns sorted(column, data.classes(), rows, classCount_);
    setKernels(
        summary, sorted.distinct(), [&sorted](const RunVisit& visit) { sorted.visit(visit); },
        model);
}

void NaiveBayes::setKernels(const ValueSummary& summary, std::size_t distinct, const Runs& runs,
                            AttributeModel& model) const {
    model.resolution = resolutionOfCount(summary.overall, distinct);
    model.kind = Kind::Kernel;
    // Each class with values, and all values together when a class has none.
    std::vector<const Moments*> shapes;
    for (const Moments& m : summary.perClass) shapes.push_back(m.count > 0 ? &m : nullptr);
    if (std::find(shapes.begin(), shapes.end(), nullptr) != shapes.end())
        shapes.push_back(&summary.overall);
    const bool pooled = shapes.size() > classCount_;
    std::vector<KernelDensity> densities(shapes.size());
    for (std::size_t c = 0; c < shapes.size(); ++c)
        if (shapes[c] != nullptr)
            densities[c] = KernelDensity(shapes[c]->minimum, shapes[c]->maximum, shapes[c]->count,
                                         model.resolution);
    runs([&](std::span<const double> values, std::span<const std::size_t> counts) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::size_t all = 0;
            for (std::size_t c = 0; c < classCount_; ++c)
                if (const std::size_t n = counts[i * classCount_ + c]; n > 0) {
                    densities[c].add(values[i], static_cast<std::uint32_t>(n));
                    all += n;
                }
            if (pooled) densities.back().add(values[i], static_cast<std::uint32_t>(all));
        }
    });
    for (std::size_t c = 0; c < shapes.size(); ++c)
        if (shapes[c] != nullptr) densities[c].finish();
    model.pooled.assign(classCount_, 0);
    for (std::size_t c = 0; c < classCount_; ++c) {
        if (shapes[c] != nullptr) continue;
        densities[c] = densities.back();
        model.pooled[c] = 1;
    }
    densities.resize(classCount_);
    model.kernels = std::move(densities);
}

void NaiveBayes::setClassDistributions(const ValueSummary& summary, AttributeModel& model) const {
    const double overallSd = summary.overall.stdDev();
    const double floor = std::max(kStdDevFloor * overallSd, model.resolution / 6.0);
    model.mean.resize(classCount_);
    model.stdDev.resize(classCount_);
    model.logNormalizer.resize(classCount_);
    model.inverseTwoVar.resize(classCount_);
    model.narrow.assign(classCount_, 0);
    model.sampleSd.assign(classCount_, std::nan(""));
    model.valueCounts.assign(classCount_, 0);
    // The pooled within-class variance, and each class's variance drawn towards it.
    double pooledVariance = 0;
    double freedom = 0;
    for (const Moments& m : summary.perClass)
        if (m.count >= 2) {
            const double sd = m.stdDev();
            pooledVariance += (static_cast<double>(m.count) - 1.0) * sd * sd;
            freedom += static_cast<double>(m.count) - 1.0;
        }
    pooledVariance = freedom > 0 ? pooledVariance / freedom : overallSd * overallSd;
    for (std::size_t c = 0; c < classCount_; ++c) {
        const Moments& m = summary.perClass[c];
        const double mean = m.count == 0 ? summary.overall.mean() : m.mean();
        double variance = pooledVariance;
        if (m.count >= 2) {
            const double own = static_cast<double>(m.count) - 1.0;
            const double sd = m.stdDev();
            variance = (own * sd * sd + kPooledWeight * pooledVariance) / (own + kPooledWeight);
        }
        const double sd = std::max(std::sqrt(variance), floor);
        model.valueCounts[c] = m.count;
        if (m.count >= 2) model.sampleSd[c] = m.stdDev();
        model.mean[c] = mean;
        model.stdDev[c] = sd;
        // log of resolution * density: the probability of the value's interval when sd is wide
        model.logNormalizer[c] =
            std::log(model.resolution) - std::log(sd * std::sqrt(2.0 * std::numbers::pi));
        model.narrow[c] = sd < kNarrow * model.resolution;
        model.inverseTwoVar[c] = 1.0 / (2.0 * sd * sd);
    }
}

void NaiveBayes::trainTable(CodeSpan classes, std::size_t valueCount,
                            const std::function<std::int32_t(std::size_t)>& codeOf,
                            AttributeModel& model) const {
    model.valueCount = valueCount;
    model.counts.assign(classCount_ * valueCount, 0);
    std::vector<std::size_t> present(classCount_, 0);
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const std::int32_t code = codeOf(i);
        if (code < 0) continue;
        const auto c = static_cast<std::size_t>(classes[i]);
        ++model.counts[c * valueCount + static_cast<std::size_t>(code)];
        ++present[c];
    }
    finishTable(present, model);
}

void NaiveBayes::finishTable(const std::vector<std::size_t>& present, AttributeModel& model) const {
    const std::size_t valueCount = model.valueCount;
    model.logProbability.assign(classCount_ * valueCount, 0.0);
    for (std::size_t c = 0; c < classCount_; ++c) {
        const double denominator = static_cast<double>(present[c] + valueCount);
        for (std::size_t v = 0; v < valueCount; ++v)
            model.logProbability[c * valueCount + v] =
                std::log(static_cast<double>(model.counts[c * valueCount + v] + 1) / denominator);
    }
}

AttributeUse NaiveBayes::treatment(std::size_t attribute) const {
    switch (attributes_[attribute].kind) {
        case Kind::Unused:
            return AttributeUse::LeftOut;
        case Kind::Bins:
            return AttributeUse::Discretize;
        case Kind::Kernel:
            return AttributeUse::Kernel;
        case Kind::Normal:
        case Kind::Table:
            break;
    }
    return AttributeUse::Normal;
}

std::string NaiveBayes::leftOutReason(std::size_t attribute) const {
    const AttributeModel& m = attributes_[attribute];
    return m.kind == Kind::Unused ? m.note : "";
}

double NaiveBayes::probability(std::size_t attribute, std::size_t c, std::size_t value) const {
    const AttributeModel& m = attributes_[attribute];
    return std::exp(m.logProbability[c * m.valueCount + value]);
}

std::int32_t NaiveBayes::predict(const Dataset& data, RowIndex row) const {
    std::vector<std::int32_t> predicted;
    const RowIndex rows[] = {row};
    predictRows(data, rows, predicted);
    return predicted[0];
}

void NaiveBayes::addNormalScores(const AttributeModel& m, const NumericColumn& column,
                                 std::span<const RowIndex> rows, double* scores) const {
    const std::size_t k = classCount_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double x = column[rows[i]];
        if (isMissing(x)) continue;
        double* s = scores + i * k;
        for (std::size_t c = 0; c < k; ++c) {
            const double d = x - m.mean[c];
            if (m.narrow[c]) {
                s[c] += logIntervalProbability(m, c, x);
                continue;
            }
            s[c] += m.logNormalizer[c] - d * d * m.inverseTwoVar[c];
        }
    }
}

void NaiveBayes::multiplyKernelProbabilities(const AttributeModel& m, const NumericColumn& column,
                                             std::span<const RowIndex> rows, double* products,
                                             double* scores) const {
    // A class at a time, so that only its cells' polynomials are in the cache.
    std::vector<double> values(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) values[i] = column[rows[i]];
    for (std::size_t c = 0; c < classCount_; ++c)
        m.kernels[c].multiplyProbabilities(values, products + c, scores + c, classCount_);
}

void NaiveBayes::addTableScores(const AttributeModel& m, CodeSpan column,
                                std::span<const RowIndex> rows, double* scores) const {
    const std::size_t k = classCount_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::int32_t v = column[rows[i]];
        // A value the model never saw (a code past its list) is left out like a missing one.
        if (v < 0 || static_cast<std::size_t>(v) >= m.valueCount) continue;
        double* s = scores + i * k;
        const double* p = &m.logProbability[static_cast<std::size_t>(v)];
        for (std::size_t c = 0; c < k; ++c) s[c] += p[c * m.valueCount];
    }
}

void NaiveBayes::addBinScores(const AttributeModel& m, const NumericColumn& column,
                              std::span<const RowIndex> rows, double* scores) const {
    const std::size_t k = classCount_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double x = column[rows[i]];
        if (isMissing(x)) continue;
        double* s = scores + i * k;
        const double* p = &m.logProbability[binOf(m.cuts, x)];
        for (std::size_t c = 0; c < k; ++c) s[c] += p[c * m.valueCount];
    }
}

void NaiveBayes::predictBlock(const Dataset& data, std::span<const RowIndex> rows,
                              std::vector<double>& scores, std::vector<double>& products,
                              std::int32_t* predicted, double* probabilities) const {
    const std::size_t k = classCount_;
    for (std::size_t i = 0; i < rows.size(); ++i)
        std::copy(logPriors_.begin(), logPriors_.end(),
                  scores.begin() + static_cast<std::ptrdiff_t>(i * k));
    // Kernel attributes multiply their probabilities; each product adds its log at the end.
    if (anyKernel_) std::fill(products.begin(), products.end(), 1.0);
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        const AttributeModel& m = attributes_[a];
        if (m.kind == Kind::Normal) addNormalScores(m, data.numeric(a), rows, scores.data());
        if (m.kind == Kind::Table) addTableScores(m, data.nominal(a), rows, scores.data());
        if (m.kind == Kind::Bins) addBinScores(m, data.numeric(a), rows, scores.data());
        if (m.kind == Kind::Kernel)
            multiplyKernelProbabilities(m, data.numeric(a), rows, products.data(), scores.data());
    }
    if (anyKernel_)
        for (std::size_t i = 0; i < rows.size() * k; ++i) scores[i] += std::log(products[i]);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double* s = &scores[i * k];
        std::size_t best = 0;
        for (std::size_t c = 1; c < k; ++c)
            if (s[c] > s[best]) best = c;
        predicted[i] = static_cast<std::int32_t>(best);
        if (probabilities == nullptr) continue;
        // The posteriors: exp(score - best score), normalised.
        double* p = probabilities + i * k;
        double sum = 0;
        for (std::size_t c = 0; c < k; ++c) sum += p[c] = std::exp(s[c] - s[best]);
        for (std::size_t c = 0; c < k; ++c) p[c] /= sum;
    }
}

void NaiveBayes::attributeScores(const Dataset& data, std::size_t attribute,
                                 std::span<const RowIndex> rows,
                                 std::vector<double>& scores) const {
    const AttributeModel& m = attributes_[attribute];
    scores.assign(rows.size() * classCount_, 0.0);
    if (m.kind == Kind::Normal) addNormalScores(m, data.numeric(attribute), rows, scores.data());
    if (m.kind == Kind::Table) addTableScores(m, data.nominal(attribute), rows, scores.data());
    if (m.kind == Kind::Bins) addBinScores(m, data.numeric(attribute), rows, scores.data());
    if (m.kind == Kind::Kernel) {
        std::vector<double> products(scores.size(), 1.0);
        multiplyKernelProbabilities(m, data.numeric(attribute), rows, products.data(),
                                    scores.data());
        for (std::size_t i = 0; i < scores.size(); ++i) scores[i] += std::log(products[i]);
    }
}

void NaiveBayes::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                             std::vector<std::int32_t>& predicted) const {
    scoreRows(data, rows, predicted, nullptr);
}

void NaiveBayes::predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                          std::vector<std::int32_t>& predicted,
                                          std::vector<double>& probabilities) const {
    probabilities.assign(rows.size() * classCount_, 0.0);
    scoreRows(data, rows, predicted, probabilities.data());
}

void NaiveBayes::scoreRows(const Dataset& data, std::span<const RowIndex> rows,
                           std::vector<std::int32_t>& predicted, double* probabilities) const {
    predicted.resize(rows.size());
    // Rows are scored a block at a time, attribute by attribute; groups of blocks are scored
    // independently, so a large test set uses every core.
    constexpr std::size_t kBlock = 1024;
    constexpr std::size_t kTaskRows = 64 * kBlock;
    const std::size_t tasks = (rows.size() + kTaskRows - 1) / kTaskRows;
    runTasks(
        tasks,
        [&](std::size_t task) {
            std::vector<double> scores(kBlock * classCount_);
            std::vector<double> products(anyKernel_ ? scores.size() : 0);
            const std::size_t taskEnd = std::min(rows.size(), (task + 1) * kTaskRows);
            for (std::size_t begin = task * kTaskRows; begin < taskEnd; begin += kBlock) {
                const std::size_t count = std::min(kBlock, taskEnd - begin);
                predictBlock(data, rows.subspan(begin, count), scores, products, &predicted[begin],
                             probabilities ? probabilities + begin * classCount_ : nullptr);
            }
        },
        rows.size() >= kParallelRows);
}

void NaiveBayes::describePriors(const Dataset& data, std::ostream& out) const {
    out << "Class priors (Laplace-smoothed):\n";
    TextTable priors;
    priors.setHeader({"Class", "Training records", "Prior"});
    for (std::size_t c = 0; c < classCount_; ++c)
        priors.addRow({shortForReport(data.classValues()[c]), std::to_string(classCounts_[c]),
                       formatFixed(priors_[c], 4)});
    priors.write(out);
}

void NaiveBayes::describeNormal(const Dataset& data, const std::vector<std::string>& classHeader,
                                std::ostream& out) const {
    // One table, three rows per attribute; names are shortened so that the labels after them
    // stay in the table's first column.
    std::size_t nameWidth = 0;
    for (std::size_t a = 0; a < attributes_.size(); ++a)
        if (attributes_[a].kind == Kind::Normal)
            nameWidth = std::max(nameWidth, displayWidth(normalLabel(data, a)));
    if (nameWidth == 0) return;
    out << "\nNumeric attributes: each class's mean and sample standard deviation, and the\n"
           "standard deviation the model uses (drawn towards the pooled one, and floored)\n";
    TextTable normal;
    normal.setHeader(classHeader);
    bool anyEmpty = false;
    bool anyFew = false;
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        const AttributeModel& m = attributes_[a];
        if (m.kind != Kind::Normal) continue;
        std::string label = normalLabel(data, a);
        label.append(nameWidth - displayWidth(label), ' ');
        const std::string blank(nameWidth, ' ');
        std::vector<std::string> means{label + "  mean"};
        std::vector<std::string> sds{blank + "  sd"};
        std::vector<std::string> used{blank + "  sd used"};
        for (std::size_t c = 0; c < classCount_; ++c) {
            // A class without values takes the overall mean, marked.
            const bool empty = m.valueCounts[c] == 0;
            anyEmpty = anyEmpty || empty;
            means.push_back(formatGeneral(m.mean[c], 6) + (empty ? "*" : ""));
            anyFew = anyFew || std::isnan(m.sampleSd[c]);
            sds.push_back(std::isnan(m.sampleSd[c]) ? "-" : formatGeneral(m.sampleSd[c], 6));
            used.push_back(formatGeneral(m.stdDev[c], 6));
        }
        normal.addRow(std::move(means));
        normal.addRow(std::move(sds));
        normal.addRow(std::move(used));
    }
    normal.write(out);
    if (anyFew) out << "  sd: - where the class has fewer than two values\n";
    if (anyEmpty) out << "  * no values in the class: the mean of all training values\n";
}

void NaiveBayes::describeKernel(const Dataset& data, const std::vector<std::string>& classHeader,
                                std::ostream& out) const {
    // As describeNormal(): two rows per attribute.
    std::size_t nameWidth = 0;
    bool anyPooled = false;
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        if (attributes_[a].kind != Kind::Kernel) continue;
        nameWidth = std::max(nameWidth, displayWidth(normalLabel(data, a)));
        for (std::uint8_t p : attributes_[a].pooled) anyPooled = anyPooled || p != 0;
    }
    if (nameWidth == 0) return;
    out << "\nNumeric attributes: kernels and bandwidth per class\n";
    TextTable table;
    table.setHeader(classHeader);
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        const AttributeModel& m = attributes_[a];
        if (m.kind != Kind::Kernel) continue;
        std::string label = normalLabel(data, a);
        label.append(nameWidth - displayWidth(label), ' ');
        std::vector<std::string> counts{label + "  kernels"};
        std::vector<std::string> bandwidths{std::string(nameWidth, ' ') + "  bandwidth"};
        for (std::size_t c = 0; c < classCount_; ++c) {
            counts.push_back(std::to_string(m.kernels[c].kernelCount()) + (m.pooled[c] ? "*" : ""));
            bandwidths.push_back(formatGeneral(m.kernels[c].bandwidth(), 6));
        }
        table.addRow(std::move(counts));
        table.addRow(std::move(bandwidths));
    }
    table.write(out);
    if (anyPooled) out << "  * no values in the class: the kernels of all training values\n";
}

void NaiveBayes::describeTable(const Dataset& data, std::size_t a,
                               const std::vector<std::string>& classHeader,
                               std::ostream& out) const {
    const AttributeModel& m = attributes_[a];
    const Attribute& attribute = data.attribute(a);
    std::string what = "P(value | class)";
    if (m.kind == Kind::Bins)
        what = "P(bin | class), " + std::to_string(m.cuts.size() + 1) +
               (m.cuts.empty() ? " bin (no cut pays for itself)" : " bins");
    out << '\n';
    writeLines(out, wrapPieces({shortForReport(attribute.name) + ":", what}, "", "  "));
    TextTable table;
    std::vector<std::string> header = classHeader;
    header[0] = m.kind == Kind::Bins ? "Bin" : "Value";
    table.setHeader(header);
    const std::size_t shown = std::min(m.valueCount, kMaxValuesShown);
    const std::string name = shortToWidth(attribute.name, kBinNameWidth);
    for (std::size_t v = 0; v < shown; ++v) {
        std::vector<std::string> row{m.kind == Kind::Bins ? binCondition(name, m.cuts, v)
                                                          : shortForReport(attribute.values[v])};
        for (std::size_t c = 0; c < classCount_; ++c)
            row.push_back(formatFixed(probability(a, c, v), 4));
        table.addRow(std::move(row));
    }
    table.write(out);
    if (m.valueCount > shown) out << "  ... and " << m.valueCount - shown << " more values\n";
}

void NaiveBayes::describeUnused(const Dataset& data, std::ostream& out) const {
    // One wrapped list per reason, so that many constant columns take a few lines.
    std::vector<std::string> reasons;
    for (const AttributeModel& m : attributes_)
        if (m.kind == Kind::Unused &&
            std::find(reasons.begin(), reasons.end(), m.note) == reasons.end())
            reasons.push_back(m.note);
    if (reasons.empty()) return;
    out << "\nAttributes not used:\n";
    for (const std::string& reason : reasons) {
        std::vector<std::string> names;
        for (std::size_t a = 0; a < attributes_.size(); ++a)
            if (attributes_[a].kind == Kind::Unused && attributes_[a].note == reason)
                names.push_back(data.attribute(a).name);
        out << "  " << reason << " (" << names.size() << "):\n";
        writeWrappedList(out, "    ", names);
    }
}

bool NaiveBayes::oneValueSeen(const AttributeModel& m) const {
    std::size_t seen = 0;
    for (std::size_t v = 0; v < m.valueCount; ++v) {
        std::size_t n = 0;
        for (std::size_t c = 0; c < classCount_; ++c) n += m.counts[c * m.valueCount + v];
        seen += n > 0 ? 1 : 0;
    }
    return seen <= 1;
}

void NaiveBayes::describe(const Dataset& data, std::ostream& out) const {
    out << name() << "\n\n";
    describePriors(data, out);
    std::vector<std::string> classHeader{"Attribute"};
    for (const std::string& c : data.classValues()) classHeader.push_back(shortForReport(c));
    describeNormal(data, classHeader, out);
    describeKernel(data, classHeader, out);
    // Nominal and discretized attributes: P(value | class), one table per attribute, but one
    // line for all nominal attributes with a single value in the training records.
    std::vector<std::string> single;
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        const Kind kind = attributes_[a].kind;
        if (kind == Kind::Table && oneValueSeen(attributes_[a])) {
            single.push_back(data.attribute(a).name);
        } else if (kind == Kind::Table || kind == Kind::Bins) {
            describeTable(data, a, classHeader, out);
        }
    }
    if (!single.empty()) {
        out << '\n';
        out << "Nominal attributes with a single value in the training records, no table ("
            << single.size() << "):\n";
        writeWrappedList(out, "  ", single);
    }
    describeUnused(data, out);
}

}  // namespace mining
