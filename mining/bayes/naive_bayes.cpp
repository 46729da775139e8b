#include "bayes/naive_bayes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "bayes/mdl_discretizer.h"
#include "util/parallel.h"
#include "util/text_table.h"

namespace mining {

namespace {

// Rows of the model's tables shown per nominal attribute before the rest is summarised.
constexpr std::size_t kMaxValuesShown = 30;

// Sums of (x - shift) and its square per class; the shift (the first value seen) keeps the
// variance exact for large values with a small spread.
struct Moments {
    std::size_t count = 0;
    double shift = 0;
    double sum = 0;
    double sumSquares = 0;

    void add(double x) {
        if (count == 0) shift = x;
        const double d = x - shift;
        ++count;
        sum += d;
        sumSquares += d * d;
    }
    double mean() const { return shift + sum / static_cast<double>(count); }
    void track(double x) {
        minimum = std::min(minimum, x);
        maximum = std::max(maximum, x);
    }
    double minimum = INFINITY;
    double maximum = -INFINITY;
    // Sample standard deviation; 0 for fewer than two values.
    double stdDev() const {
        if (count < 2) return 0.0;
        const double n = static_cast<double>(count);
        const double variance = (sumSquares - sum * sum / n) / (n - 1.0);
        return variance > 0 ? std::sqrt(variance) : 0.0;
    }
};

std::string intervalLabel(const std::vector<double>& cuts, std::size_t bin) {
    const std::string low = bin == 0 ? "-inf" : formatGeneral(cuts[bin - 1]);
    const std::string high = bin == cuts.size() ? "inf" : formatGeneral(cuts[bin]);
    return "(" + low + ", " + high + "]";
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
    if (m.narrow[c]) return logIntervalProbability(m, c, x);
    const double d = x - m.mean[c];
    return m.logNormalizer[c] - d * d * m.inverseTwoVar[c];
}

std::string NaiveBayes::name() const {
    return mode_ == NumericMode::Normal
               ? "Naive Bayes (numeric attributes: normal distribution per class)"
               : "Naive Bayes (numeric attributes: MDL-discretized into bins)";
}

Status NaiveBayes::train(const Dataset& data, std::span<const RowIndex> rows) {
    if (rows.empty()) return Status::failure("there are no training records");
    classCount_ = data.classCount();
    const std::span<const std::int32_t> classes = data.classes();
    // The class of each training row, in the order of `rows`.
    std::vector<std::int32_t> trainClasses(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) trainClasses[i] = classes[rows[i]];

    classCounts_.assign(classCount_, 0);
    for (std::int32_t c : trainClasses) ++classCounts_[static_cast<std::size_t>(c)];
    priors_.resize(classCount_);
    logPriors_.resize(classCount_);
    const double denominator = static_cast<double>(rows.size() + classCount_);
    for (std::size_t c = 0; c < classCount_; ++c) {
        priors_[c] = static_cast<double>(classCounts_[c] + 1) / denominator;
        logPriors_[c] = std::log(priors_[c]);
    }

    attributes_.assign(data.attributeCount(), AttributeModel{});
    // Attributes are trained independently, so large training sets use every core.
    runTasks(
        data.attributeCount(), [&](std::size_t a) { trainAttribute(data, a, rows, trainClasses); },
        rows.size() >= kParallelRows);
    return Status();
}

void NaiveBayes::trainAttribute(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                                const std::vector<std::int32_t>& trainClasses) {
    const std::span<const std::int32_t> classes = data.classes();
    {
        const Attribute& attribute = data.attribute(a);
        AttributeModel& model = attributes_[a];
        if (attribute.type == AttributeType::Ignored) {
            model.note = "ignored";
        } else if (attribute.type == AttributeType::Nominal) {
            const std::span<const std::int32_t> column = data.nominal(a);
            model.kind = Kind::Table;
            trainTable(
                trainClasses, attribute.values.size(),
                [&](std::size_t i) { return column[rows[i]]; }, model);
            if (model.valueCount == 0) {
                model.kind = Kind::Unused;
                model.note = "no values";
            }
        } else if (mode_ == NumericMode::Normal) {
            trainNormal(data, a, rows, model);
        } else {
            const NumericColumn& column = data.numeric(a);
            const std::span<const std::int32_t> mantissas = column.mantissas();
            std::size_t present = 0;
            if (!mantissas.empty()) {
                std::vector<std::uint64_t> keys;
                keys.reserve(rows.size());
                for (RowIndex r : rows)
                    if (mantissas[r] != NumericColumn::kMissingMantissa)
                        keys.push_back(packDecimal(mantissas[r], classes[r]));
                present = keys.size();
                if (present) model.cuts = mdlCutPointsOfDecimals(keys, column.scale(), classCount_);
            } else {
                std::vector<ValueClass> values;
                values.reserve(rows.size());
                for (RowIndex r : rows) {
                    const double x = column[r];
                    if (!isMissing(x)) values.push_back({x, classes[r]});
                }
                present = values.size();
                if (present) model.cuts = mdlCutPoints(values, classCount_);
            }
            if (present == 0) {
                model.note = "no values in the training records";
                return;
            }
            model.kind = Kind::Bins;
            trainTable(
                trainClasses, model.cuts.size() + 1,
                [&](std::size_t i) {
                    const double x = column[rows[i]];
                    return isMissing(x) ? kMissingCode
                                        : static_cast<std::int32_t>(binOf(model.cuts, x));
                },
                model);
        }
    }
}

void NaiveBayes::trainNormal(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                             AttributeModel& model) const {
    const NumericColumn& column = data.numeric(a);
    const std::span<const std::int32_t> classes = data.classes();
    std::vector<Moments> perClass(classCount_);
    Moments overall;
    for (RowIndex r : rows) {
        const double x = column[r];
        if (isMissing(x)) continue;
        perClass[static_cast<std::size_t>(classes[r])].add(x);
        overall.add(x);
        overall.track(x);
    }
    if (overall.count == 0) {
        model.note = "no values in the training records";
        return;
    }
    const double overallSd = overall.stdDev();
    if (!(overallSd > 0) || !std::isfinite(overallSd)) {
        // Squares of values beyond about 1e154 overflow, those below about 1e-154 vanish.
        model.note = overall.minimum == overall.maximum
                         ? "the same value in every training record"
                         : "values too large or too small in size to model as a normal "
                           "distribution";
        return;
    }
    // The resolution of the recorded values: the mean gap between distinct training values.
    const double range = overall.maximum - overall.minimum;
    auto resolutionOf = [range](std::size_t distinct) {
        return distinct > 1 ? range / static_cast<double>(distinct - 1) : range;
    };
    // Counting distinct values takes a pass with a large bitmap or a sort. On many rows the
    // distinct values of the first kResolutionSample rows give an upper bound on r first; when
    // even that bound leaves every class wide and the floor untouched, r enters every class's
    // log P(x|c) as the same log r, so the exact count would not change any prediction.
    model.resolution = -1;
    if (rows.size() > kResolutionSample) {
        const double bound = resolutionOf(column.distinctCount(rows.first(kResolutionSample)));
        bool wide = bound / 6.0 <= kStdDevFloor * overallSd;
        // Every class's standard deviation ends at least at the floor, so this suffices.
        wide = wide && kStdDevFloor * overallSd >= kNarrow * bound;
        if (wide) model.resolution = bound;
    }
    if (model.resolution < 0) model.resolution = resolutionOf(column.distinctCount(rows));
    const double floor = std::max(kStdDevFloor * overallSd, model.resolution / 6.0);
    model.kind = Kind::Normal;
    model.mean.resize(classCount_);
    model.stdDev.resize(classCount_);
    model.logNormalizer.resize(classCount_);
    model.inverseTwoVar.resize(classCount_);
    model.narrow.assign(classCount_, 0);
    // The pooled within-class variance, and each class's variance drawn towards it.
    double pooledVariance = 0;
    double freedom = 0;
    for (const Moments& m : perClass)
        if (m.count >= 2) {
            const double sd = m.stdDev();
            pooledVariance += (static_cast<double>(m.count) - 1.0) * sd * sd;
            freedom += static_cast<double>(m.count) - 1.0;
        }
    pooledVariance = freedom > 0 ? pooledVariance / freedom : overallSd * overallSd;
    for (std::size_t c = 0; c < classCount_; ++c) {
        const Moments& m = perClass[c];
        const double mean = m.count == 0 ? overall.mean() : m.mean();
        double variance = pooledVariance;
        if (m.count >= 2) {
            const double own = static_cast<double>(m.count) - 1.0;
            const double sd = m.stdDev();
            variance = (own * sd * sd + kPooledWeight * pooledVariance) / (own + kPooledWeight);
        }
        const double sd = std::max(std::sqrt(variance), floor);
        model.mean[c] = mean;
        model.stdDev[c] = sd;
        // log of resolution * density: the probability of the value's interval when sd is wide
        model.logNormalizer[c] =
            std::log(model.resolution) - std::log(sd * std::sqrt(2.0 * std::numbers::pi));
        model.narrow[c] = sd < kNarrow * model.resolution;
        model.inverseTwoVar[c] = 1.0 / (2.0 * sd * sd);
    }
}

void NaiveBayes::trainTable(const std::vector<std::int32_t>& classes, std::size_t valueCount,
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
    model.logProbability.assign(classCount_ * valueCount, 0.0);
    for (std::size_t c = 0; c < classCount_; ++c) {
        const double denominator = static_cast<double>(present[c] + valueCount);
        for (std::size_t v = 0; v < valueCount; ++v)
            model.logProbability[c * valueCount + v] =
                std::log(static_cast<double>(model.counts[c * valueCount + v] + 1) / denominator);
    }
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

void NaiveBayes::predictRows(const Dataset& data, std::span<const RowIndex> rows,
                             std::vector<std::int32_t>& predicted) const {
    predicted.resize(rows.size());
    constexpr std::size_t kBlock = 1024;
    const std::size_t k = classCount_;
    // Blocks of rows are scored independently: a large test set uses every core.
    const std::size_t blocks = (rows.size() + kBlock - 1) / kBlock;
    constexpr std::size_t kBlocksPerTask = 64;
    const std::size_t tasks = (blocks + kBlocksPerTask - 1) / kBlocksPerTask;
    runTasks(
        tasks,
        [&](std::size_t task) {
            std::vector<double> scores(kBlock * k);
            const std::size_t taskEnd = std::min(rows.size(), (task + 1) * kBlocksPerTask * kBlock);
            for (std::size_t begin = task * kBlocksPerTask * kBlock; begin < taskEnd;
                 begin += kBlock) {
                const std::size_t count = std::min(kBlock, taskEnd - begin);
                for (std::size_t i = 0; i < count; ++i)
                    std::copy(logPriors_.begin(), logPriors_.end(),
                              scores.begin() + static_cast<std::ptrdiff_t>(i * k));
                for (std::size_t a = 0; a < attributes_.size(); ++a) {
                    const AttributeModel& m = attributes_[a];
                    switch (m.kind) {
                        case Kind::Unused:
                            break;
                        case Kind::Normal: {
                            const NumericColumn& column = data.numeric(a);
                            for (std::size_t i = 0; i < count; ++i) {
                                const double x = column[rows[begin + i]];
                                if (isMissing(x)) continue;
                                double* s = &scores[i * k];
                                for (std::size_t c = 0; c < k; ++c) {
                                    const double d = x - m.mean[c];
                                    if (m.narrow[c]) {
                                        s[c] += logIntervalProbability(m, c, x);
                                        continue;
                                    }
                                    s[c] += m.logNormalizer[c] - d * d * m.inverseTwoVar[c];
                                }
                            }
                            break;
                        }
                        case Kind::Table: {
                            const std::span<const std::int32_t> column = data.nominal(a);
                            for (std::size_t i = 0; i < count; ++i) {
                                const std::int32_t v = column[rows[begin + i]];
                                if (v < 0) continue;
                                double* s = &scores[i * k];
                                const double* p = &m.logProbability[static_cast<std::size_t>(v)];
                                for (std::size_t c = 0; c < k; ++c) s[c] += p[c * m.valueCount];
                            }
                            break;
                        }
                        case Kind::Bins: {
                            const NumericColumn& column = data.numeric(a);
                            for (std::size_t i = 0; i < count; ++i) {
                                const double x = column[rows[begin + i]];
                                if (isMissing(x)) continue;
                                const std::size_t v = binOf(m.cuts, x);
                                double* s = &scores[i * k];
                                const double* p = &m.logProbability[v];
                                for (std::size_t c = 0; c < k; ++c) s[c] += p[c * m.valueCount];
                            }
                            break;
                        }
                    }
                }
                for (std::size_t i = 0; i < count; ++i) {
                    const double* s = &scores[i * k];
                    std::size_t best = 0;
                    for (std::size_t c = 1; c < k; ++c)
                        if (s[c] > s[best]) best = c;
                    predicted[begin + i] = static_cast<std::int32_t>(best);
                }
            }
        },
        rows.size() >= kParallelRows);
}

void NaiveBayes::describe(const Dataset& data, std::ostream& out) const {
    out << name() << "\n\n";
    out << "Class priors (Laplace-smoothed):\n";
    TextTable priors;
    priors.setHeader({"Class", "Training records", "Prior"});
    for (std::size_t c = 0; c < classCount_; ++c)
        priors.addRow({shortForReport(data.classValues()[c]), std::to_string(classCounts_[c]),
                       formatFixed(priors_[c], 4)});
    priors.write(out);

    std::vector<std::string> classHeader{"Attribute"};
    for (const std::string& c : data.classValues()) classHeader.push_back(shortForReport(c));

    // Numeric attributes under a normal distribution: one table, two rows per attribute.
    std::size_t nameWidth = 0;
    bool anyNormal = false;
    for (std::size_t a = 0; a < attributes_.size(); ++a)
        if (attributes_[a].kind == Kind::Normal) {
            anyNormal = true;
            nameWidth = std::max(nameWidth, shortForReport(data.attribute(a).name).size());
        }
    if (anyNormal) {
        out << "\nNumeric attributes: mean and standard deviation per class\n";
        TextTable normal;
        normal.setHeader(classHeader);
        for (std::size_t a = 0; a < attributes_.size(); ++a) {
            const AttributeModel& m = attributes_[a];
            if (m.kind != Kind::Normal) continue;
            std::string label = shortForReport(data.attribute(a).name);
            label.append(nameWidth - label.size(), ' ');
            std::vector<std::string> means{label + "  mean"};
            std::vector<std::string> sds{std::string(nameWidth, ' ') + "  sd"};
            for (std::size_t c = 0; c < classCount_; ++c) {
                means.push_back(formatGeneral(m.mean[c], 6));
                sds.push_back(formatGeneral(m.stdDev[c], 6));
            }
            normal.addRow(std::move(means));
            normal.addRow(std::move(sds));
        }
        normal.write(out);
    }

    // Nominal and discretized attributes: P(value | class), one table per attribute.
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        const AttributeModel& m = attributes_[a];
        if (m.kind != Kind::Table && m.kind != Kind::Bins) continue;
        const Attribute& attribute = data.attribute(a);
        out << '\n' << shortForReport(attribute.name);
        if (m.kind == Kind::Bins)
            out << ": P(bin | class), " << m.cuts.size() + 1
                << (m.cuts.empty() ? " bin (no cut pays for itself)\n" : " bins\n");
        else
            out << ": P(value | class)\n";
        TextTable table;
        std::vector<std::string> header = classHeader;
        header[0] = m.kind == Kind::Bins ? "Bin" : "Value";
        table.setHeader(header);
        const std::size_t shown = std::min(m.valueCount, kMaxValuesShown);
        for (std::size_t v = 0; v < shown; ++v) {
            std::vector<std::string> row{m.kind == Kind::Bins
                                             ? intervalLabel(m.cuts, v)
                                             : shortForReport(attribute.values[v])};
            for (std::size_t c = 0; c < classCount_; ++c)
                row.push_back(formatFixed(probability(a, c, v), 4));
            table.addRow(std::move(row));
        }
        table.write(out);
        if (m.valueCount > shown) out << "  ... and " << m.valueCount - shown << " more values\n";
    }

    bool anyUnused = false;
    for (std::size_t a = 0; a < attributes_.size(); ++a) {
        if (attributes_[a].kind != Kind::Unused) continue;
        if (!anyUnused) out << "\nAttributes not used:\n";
        anyUnused = true;
        out << "  " << shortForReport(data.attribute(a).name) << " (" << attributes_[a].note
            << ")\n";
    }
}

}  // namespace mining
