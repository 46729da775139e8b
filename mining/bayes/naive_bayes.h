#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bayes/kernel_density.h"
#include "model/model.h"
#include "model/model_file.h"

namespace mining {

struct ValueRuns;

// How the naive Bayes model treats numeric attributes.
enum class NumericMode {
    Normal,      // a normal distribution per class
    Discretize,  // MDL-discretized bins, then like a nominal attribute
    Kernel,      // a mixture of normal kernels per class, one per training value
};

// What the model does with one attribute: a numeric one is treated as the NumericMode of the same
// name; any attribute may be left out. A nominal attribute is used unless it is left out.
enum class AttributeUse : std::uint8_t { Normal, Discretize, Kernel, LeftOut };

// Returns the use that treats a numeric attribute as `mode`.
inline AttributeUse useOf(NumericMode mode) {
    switch (mode) {
        case NumericMode::Discretize:
            return AttributeUse::Discretize;
        case NumericMode::Kernel:
            return AttributeUse::Kernel;
        case NumericMode::Normal:
            break;
    }
    return AttributeUse::Normal;
}

// The naive Bayesian classifier.
//
// A record x = (x_1 .. x_m) gets the class c that maximises
//   log P(c) + sum over present attributes i of log P(x_i | c)
// (a tie goes to the class listed first); a missing value adds no term, and it is left out of
// the counts when training. With n training records, K classes and n_c of class c:
//   P(c)            = (n_c + 1) / (n + K)                        (Laplace)
//   nominal:  P(v|c) = (n_cv + 1) / (n_c' + V)
// with n_cv the class-c records holding value v, n_c' the class-c records where the attribute
// is present, and V the attribute's number of values (listed in .names or seen in the data).
//   numeric, Normal: a value x stands for the interval of width r around it, r the attribute's
// resolution: the range of its training values divided by the number of gaps between their
// distinct values (so r is 1 for whole numbers 1..5, and tiny for measurements). Then
//   P(x|c) = P(x - r/2 < X <= x + r/2),  X ~ N(mean_c, sd_c),
// which is r times the normal density at x wherever sd_c >= kNarrow * r (the form used there),
// but never exceeds 1 when a class's values hardly spread. mean_c is the mean of the class-c
// values. Their variance is drawn towards the pooled within-class variance s_p^2 (the classes'
// sample variances weighted by their n_c' - 1 degrees of freedom), as if s_p^2 had been seen
// with kPooledWeight degrees of freedom:
//   sd_c^2 = ((n_c' - 1) s_c^2 + kPooledWeight s_p^2) / (n_c' - 1 + kPooledWeight)
// so that a class with a handful of values does not get a spread that is mostly chance; a class
// with fewer than two values takes s_p (and, with no value, the overall mean). Then sd_c is
// raised to the floor
//   max(kStdDevFloor * sd, r / 6)
// with sd the standard deviation over all training records, so that an attribute constant
// within a class still counts without outweighing all others by orders of magnitude. An
// attribute constant over all training records is left out.
// The choices were measured (bench/bayes_examples at 20, 50 and 66.67 % training, 10 seeds):
// the interval form gains up to 4 points on labor against the plain density; drawing towards
// the pooled variance gains up to 8 points on labor and costs nothing on iris (drawing towards
// the overall variance, which holds the spread between classes, cost iris 3 points); a floor
// of 0.2 sd beats smaller ones without blurring iris, which larger ones do.
// On more than kResolutionSample training rows, r may be taken as an upper bound from the first
// kResolutionSample of them, where that cannot change a prediction (see trainNormal).
//   numeric, Discretize: the attribute's training values are cut into bins by mdlCutPoints()
// and the bins treated as the values of a nominal attribute (V = number of bins).
//   numeric, Kernel: P(x|c) is the probability of x's interval of width r under a mixture of
// normal kernels, one per class-c training value, with the bandwidth
//   h_c = max(r, (range of the class-c values) / sqrt(n_c'))
// (see KernelDensity for the mixture and how it is summed fast). A class with no value of the
// attribute takes the mixture of all training values, as the normal mode gives it the overall
// mean. Attributes are left out as in the normal mode. On more than kResolutionSample rows r
// may again be an upper bound, where every class keeps h_c = range / sqrt(n_c') >= kNarrow r
// with either, so that r enters every class's log P(x|c) as the same log r.
class NaiveBayes : public Model {
public:
    // The floor on a class's standard deviation, as a share of the attribute's overall one.
    static constexpr double kStdDevFloor = 0.2;
    // The weight, in degrees of freedom, of the pooled within-class variance in each class's.
    static constexpr double kPooledWeight = 2.0;
    // Below this many resolutions of standard deviation, the interval probability is computed
    // exactly; above, r times the density differs from it by well under one per cent.
    static constexpr double kNarrow = 4.0;
    static constexpr std::size_t kResolutionSample = 100000;

    explicit NaiveBayes(NumericMode mode = NumericMode::Normal) : mode_(mode) {}
    // A model that treats each attribute as `uses` says (one per attribute of the data it is
    // trained on), whatever `mode` says; `mode` names it.
    NaiveBayes(NumericMode mode, std::vector<AttributeUse> uses)
        : mode_(mode), uses_(std::move(uses)) {}

    std::string name() const override;
    Status train(const Dataset& data, std::span<const RowIndex> rows) override;
    // From the shares: class and nominal counts summed; each numeric attribute's training values
    // gathered at the first process in record order, one attribute at a time, and fitted there
    // as train() fits them.
    bool trainsOnShares() const override { return true; }
    Status trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                         Collective& collective) override;
    std::int32_t predict(const Dataset& data, RowIndex row) const override;
    void predictRows(const Dataset& data, std::span<const RowIndex> rows,
                     std::vector<std::int32_t>& predicted) const override;
    void predictWithProbabilities(const Dataset& data, std::span<const RowIndex> rows,
                                  std::vector<std::int32_t>& predicted,
                                  std::vector<double>& probabilities) const override;
    void describe(const Dataset& data, std::ostream& out) const override;
    bool save(nlohmann::json& out) const override;

    // Returns the model save() wrote, for data of `schema`'s attributes and classes; it predicts
    // to the same bits. Throws ModelFileError (model/model_file.h) when `saved` is malformed or
    // does not fit the schema.
    static std::unique_ptr<NaiveBayes> load(JsonValue saved, const ModelSchema& schema);
    // As above, from nlohmann-json's DOM.
    static std::unique_ptr<NaiveBayes> load(const nlohmann::json& saved, const ModelSchema& schema);

    // Figures of the trained model, for the report and for tests.
    // Returns P(c).
    double prior(std::size_t c) const { return priors_[c]; }
    // Normal attributes: the resolution r, and the class's mean and (floored) standard deviation
    // as the model uses them, and the sample standard deviation of its values (NaN for fewer
    // than two).
    double resolution(std::size_t attribute) const { return attributes_[attribute].resolution; }
    double mean(std::size_t attribute, std::size_t c) const {
        return attributes_[attribute].mean[c];
    }
    double stdDev(std::size_t attribute, std::size_t c) const {
        return attributes_[attribute].stdDev[c];
    }
    double sampleStdDev(std::size_t attribute, std::size_t c) const {
        return attributes_[attribute].sampleSd[c];
    }
    // Kernel attributes: the class's mixture (for a class with no values, that of all values).
    const KernelDensity& kernels(std::size_t attribute, std::size_t c) const {
        return attributes_[attribute].kernels[c];
    }
    // Normal and kernel attributes: log P(x | c) as used in prediction. Requires x present.
    double logLikelihood(std::size_t attribute, std::size_t c, double x) const;
    // Nominal and discretized attributes: P(value | c), value an index (a code or a bin).
    double probability(std::size_t attribute, std::size_t c, std::size_t value) const;
    // Discretized attributes: the cut points.
    const std::vector<double>& cutPoints(std::size_t attribute) const {
        return attributes_[attribute].cuts;
    }
    // Returns how the model treats the attribute: Normal, Kernel or Discretize for a numeric one,
    // Normal for a nominal one (a table of its values), LeftOut when it takes no part.
    AttributeUse treatment(std::size_t attribute) const;
    // Returns why the attribute takes no part ("no values"); "" when it takes part.
    std::string leftOutReason(std::size_t attribute) const;
    // Nominal and discretized attributes: the number of values or bins.
    std::size_t valueCount(std::size_t attribute) const {
        return attributes_[attribute].valueCount;
    }
    // Returns whether the attribute takes part in prediction.
    bool uses(std::size_t attribute) const { return attributes_[attribute].kind != Kind::Unused; }
    // Returns log P(c).
    double logPrior(std::size_t c) const { return logPriors_[c]; }
    // Writes into scores[i * classCount + c] the term log P(x | c) that attribute `attribute`
    // adds for rows[i] and class c: 0 where its value is missing or the attribute is not used.
    void attributeScores(const Dataset& data, std::size_t attribute, std::span<const RowIndex> rows,
                         std::vector<double>& scores) const;

private:
    enum class Kind { Unused, Normal, Table, Bins, Kernel };

    struct AttributeModel {
        Kind kind = Kind::Unused;
        std::size_t valueCount = 0;            // Table and Bins: values or bins
        std::vector<double> mean, stdDev;      // Normal, per class: the model's figures
        std::vector<double> sampleSd;          // Normal, per class: of its values (NaN if < 2)
        std::vector<std::size_t> valueCounts;  // Normal, per class: its present values
        std::vector<double> logNormalizer;     // Normal: -log(sd_c * sqrt(2 pi)), per class
        std::vector<double> inverseTwoVar;     // Normal: 1 / (2 sd_c^2), per class
        double resolution = 0;                 // Normal and Kernel: r
        std::vector<std::uint8_t> narrow;      // Normal: sd_c < kNarrow * r, per class
        std::vector<double> logProbability;    // Table and Bins: [c * valueCount + v]
        std::vector<std::size_t> counts;       // Table and Bins: n_cv, [c * valueCount + v]
        std::vector<double> cuts;              // Bins
        std::vector<KernelDensity> kernels;    // Kernel, per class
        std::vector<std::uint8_t> pooled;      // Kernel: the class has no values, per class
        std::string note;                      // why an attribute is unused
    };

    // Training or test sets from this size on are worked on by all cores.
    static constexpr std::size_t kParallelRows = 100000;

    struct Moments;
    struct ValueSummary;

    void trainAttribute(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                        CodeSpan trainClasses);
    static double logIntervalProbability(const AttributeModel& m, std::size_t c, double x);
    void trainNormal(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                     AttributeModel& model) const;
    // Returns the moments of the attribute's present training values.
    ValueSummary summarise(const NumericColumn& column, CodeSpan classes,
                           std::span<const RowIndex> rows) const;
    // Returns why an attribute with these training values is left out, or "" when it is not.
    static std::string unusedNote(const Moments& overall);
    // Returns the resolution r of the attribute's training values (see the class comment). On
    // more than kResolutionSample rows, returns an upper bound from the first of them when
    // boundSuffices(bound) says that no prediction can tell the two apart.
    static double resolutionOf(const NumericColumn& column, std::span<const RowIndex> rows,
                               const Moments& overall,
                               const std::function<bool(double)>& boundSuffices);
    // Returns r from the count of distinct training values whose moments are `overall`.
    static double resolutionOfCount(const Moments& overall, std::size_t distinct);
    // Returns whether an upper bound on r serves the normal mode as well as r itself: when even
    // the bound leaves every class wide and the floor untouched (see trainNormal).
    static bool normalBoundSuffices(const Moments& overall, double bound);
    // Returns how numeric attribute `a` is treated (mode_, unless uses_ says otherwise).
    NumericMode modeOf(std::size_t a) const;
    // trainOnShares() of numeric attribute `a` in the normal mode: the shares' exact moments and
    // ranges merged, and their distinct values counted at the first process, which fits it.
    // `before` of every process's `total` training rows come before this process's `rows`.
    void normalOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                        std::uint64_t before, std::uint64_t total, Collective& collective);
    // Sets each class's mean and standard deviation and the terms prediction uses from them.
    // Requires model.resolution set.
    void setClassDistributions(const ValueSummary& summary, AttributeModel& model) const;
    // Fits numeric attribute `a` in the kernel mode: a mixture per class (see the class comment).
    void trainKernel(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                     AttributeModel& model) const;
    // Calls its argument for the distinct training values, ascending, a batch at a time: each
    // value, and its count in each class ([value * classCount + class]).
    using RunVisit = std::function<void(std::span<const double>, std::span<const std::size_t>)>;
    using Runs = std::function<void(const RunVisit&)>;
    // Fits a kernel attribute from its training values' moments, the count of their distinct
    // values (which gives r) and their runs: each class's mixture from its values in ascending
    // order, each distinct value's kernels added at once, or, for a class with none, the
    // mixture of all values. So the mixture's sums do not depend on the records' order, nor on
    // how processes share them. Requires no unusedNote.
    void setKernels(const ValueSummary& summary, std::size_t distinct, const Runs& runs,
                    AttributeModel& model) const;
    // trainOnShares() of numeric attribute `a` in the kernel mode: the shares' moments and
    // their runs merged at the first process, which fits it (the model it sends holds it).
    // Returns false (and fits nothing) as binsOnShares() does.
    bool kernelOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                        Collective& collective);
    // The shares' moments of numeric attribute `a` merged at the first process (elsewhere,
    // empty).
    ValueSummary summaryOnShares(const NumericColumn& column, CodeSpan classes,
                                 std::span<const RowIndex> rows, Collective& collective) const;
    // Every process's runs of numeric attribute `a`'s training values (see ValueRuns), merged at
    // the first process (elsewhere, empty); nullopt at every process when they repeat too
    // seldom for the runs to be fewer bytes than the values (see binsOnShares).
    std::optional<ValueRuns> runsOnShares(const NumericColumn& column, CodeSpan classes,
                                          std::span<const RowIndex> rows,
                                          Collective& collective) const;
    // Sets the MDL cut points of numeric attribute `a` into `cuts`; returns the number of
    // training rows where it is present (no cut is set when none).
    std::size_t findCuts(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                         std::vector<double>& cuts) const;
    void trainBins(const Dataset& data, std::size_t a, std::span<const RowIndex> rows,
                   CodeSpan trainClasses, AttributeModel& model) const;
    // Counts n_cv and sets log P(v|c); codeOf(i) is the code of the i-th training row (-1 when
    // missing) and classes[i] its class.
    void trainTable(CodeSpan classes, std::size_t valueCount,
                    const std::function<std::int32_t(std::size_t)>& codeOf,
                    AttributeModel& model) const;
    // Sets log P(v|c) from model.counts, present[c] the class-c rows where a value is present.
    void finishTable(const std::vector<std::size_t>& present, AttributeModel& model) const;
    // Sets the class counts and the priors from `counts`, the training rows of each class.
    void setPriors(std::vector<std::size_t> counts);
    // trainOnShares() of nominal attribute `a`: its counts summed over the shares.
    void tableOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                       Collective& collective);
    // Sets `model`'s table of `valueCount` values from every process's rows `rows` (classes in
    // `classes`), codeOf(r) the value code of row r (-1 when missing): the counts summed.
    void countsOnShares(std::span<const RowIndex> rows, CodeSpan classes, std::size_t valueCount,
                        const std::function<std::int32_t(RowIndex)>& codeOf, Collective& collective,
                        AttributeModel& model) const;
    // trainOnShares() of numeric attribute `a` discretized: every process's distinct training
    // values with their class counts merged at the first process, which finds the MDL cut
    // points and sends them; then the bins' counts summed. Returns false (and trains nothing)
    // at every process when the values repeat too seldom for that to send less than the values
    // themselves (fewer than kValuesPerRun values a run in all).
    static constexpr std::uint64_t kValuesPerRun = 4;
    bool binsOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                      Collective& collective);

    // Add each row's log P(x | c) for one attribute to its scores (classCount_ per row).
    void addNormalScores(const AttributeModel& m, const NumericColumn& column,
                         std::span<const RowIndex> rows, double* scores) const;
    // Kernel attributes: multiplies each row's products (classCount_ per row) by P(x | c), or
    // adds log P(x | c) to its scores where that is too small (see multiplyProbabilities).
    void multiplyKernelProbabilities(const AttributeModel& m, const NumericColumn& column,
                                     std::span<const RowIndex> rows, double* products,
                                     double* scores) const;
    void addTableScores(const AttributeModel& m, CodeSpan column, std::span<const RowIndex> rows,
                        double* scores) const;
    void addBinScores(const AttributeModel& m, const NumericColumn& column,
                      std::span<const RowIndex> rows, double* scores) const;
    // Sets predicted[i] to the class of rows[i]. Requires scores.size() >= rows.size() *
    // classCount_, and products.size() as large in the kernel mode.
    // With `probabilities` not null, also sets probabilities[i * classCount_ + c] to the
    // posterior of class c for rows[i].
    void predictBlock(const Dataset& data, std::span<const RowIndex> rows,
                      std::vector<double>& scores, std::vector<double>& products,
                      std::int32_t* predicted, double* probabilities) const;
    // predictRows(), and the probabilities when `probabilities` is not null.
    void scoreRows(const Dataset& data, std::span<const RowIndex> rows,
                   std::vector<std::int32_t>& predicted, double* probabilities) const;
    // Reads one attribute's model from a model file (see load()).
    static AttributeModel loadAttribute(JsonValue saved, const Attribute& attribute,
                                        NumericMode mode, bool perAttribute,
                                        std::size_t classCount);

    // The parts of describe(): priors, normal attributes, kernel attributes, one nominal or
    // discretized attribute, the attributes not used.
    void describePriors(const Dataset& data, std::ostream& out) const;
    void describeNormal(const Dataset& data, const std::vector<std::string>& classHeader,
                        std::ostream& out) const;
    void describeKernel(const Dataset& data, const std::vector<std::string>& classHeader,
                        std::ostream& out) const;
    void describeTable(const Dataset& data, std::size_t a,
                       const std::vector<std::string>& classHeader, std::ostream& out) const;
    void describeUnused(const Dataset& data, std::ostream& out) const;
    // Returns whether a Table attribute's training records hold one value at most.
    bool oneValueSeen(const AttributeModel& m) const;

    NumericMode mode_;
    std::vector<AttributeUse> uses_;  // empty: every attribute used, numeric ones as mode_
    bool anyKernel_ = false;          // some attribute is modelled by kernels
    std::size_t classCount_ = 0;
    std::vector<std::size_t> classCounts_;
    std::vector<double> priors_;
    std::vector<double> logPriors_;
    std::vector<AttributeModel> attributes_;
};

}  // namespace mining
