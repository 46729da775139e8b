#include "bayes/attribute_selection.h"

#include <algorithm>
#include <array>

#include "data/split.h"

namespace mining {

namespace {

constexpr std::size_t kModes = 3;
constexpr std::array<NumericMode, kModes> kModeList = {NumericMode::Normal, NumericMode::Discretize,
                                                       NumericMode::Kernel};
// An attribute's state during the search: a mode's index, or left out.
constexpr std::size_t kLeftOut = kModes;

// Every record's log-likelihood terms over the folds, each from the model of the fold that
// tested it: per class, the prior, and per attribute and mode its term (nominal attributes have
// the same term in every mode and keep only mode 0's).
struct Terms {
    std::size_t records = 0;
    std::size_t classes = 0;
    std::vector<std::int32_t> actual;              // each record's class
    std::vector<double> prior;                     // [i * classes + c]
    std::vector<std::vector<double>> ofAttribute;  // [a * kModes + mode][i * classes + c]
    std::vector<char> numeric;                     // per attribute

    // The terms of attribute `a` in `state`, or null when it adds none (left out, ignored).
    const double* of(std::size_t a, std::size_t state) const {
        if (state == kLeftOut) return nullptr;
        const std::vector<double>& t = ofAttribute[a * kModes + (numeric[a] ? state : 0)];
        return t.empty() ? nullptr : t.data();
    }
};

// Fills `terms` with the terms of kSelectionFolds folds of the sampled rows `sample`.
void collectTerms(const Dataset& data, const std::vector<RowIndex>& sample, std::size_t modes,
                  std::uint64_t seed, Terms& terms) {
    const std::size_t n = sample.size();
    const std::size_t k = data.classCount();
    terms.records = n;
    terms.classes = k;
    terms.actual.resize(n);
    for (std::size_t i = 0; i < n; ++i) terms.actual[i] = data.classes()[sample[i]];
    terms.prior.assign(n * k, 0.0);
    terms.ofAttribute.assign(data.attributeCount() * kModes, {});
    for (std::size_t a = 0; a < data.attributeCount(); ++a) {
        if (data.attribute(a).type == AttributeType::Ignored) continue;
        for (std::size_t m = 0; m < (terms.numeric[a] ? modes : 1); ++m)
            terms.ofAttribute[a * kModes + m].assign(n * k, 0.0);
    }
    const auto folds = stratifiedFolds(CodeSpan(std::span<const std::int32_t>(terms.actual)),
                                       std::min(kSelectionFolds, n), seed);
    std::vector<double> scores;
    std::vector<RowIndex> train;
    std::vector<RowIndex> test;
    for (const std::vector<RowIndex>& fold : folds) {
        if (fold.empty()) continue;
        foldRows(sample, fold, train, test);
        if (train.empty()) continue;
        for (std::size_t m = 0; m < modes; ++m) {
            NaiveBayes model(kModeList[m]);
            if (!model.train(data, train)) continue;
            if (m == 0)
                for (const RowIndex i : fold)
                    for (std::size_t c = 0; c < k; ++c) terms.prior[i * k + c] = model.logPrior(c);
            for (std::size_t a = 0; a < data.attributeCount(); ++a) {
                std::vector<double>& into = terms.ofAttribute[a * kModes + m];
                if (into.empty()) continue;
                model.attributeScores(data, a, test, scores);
                for (std::size_t t = 0; t < fold.size(); ++t)
                    std::copy_n(&scores[t * k], k, &into[fold[t] * k]);
            }
        }
    }
}

// Returns how many records get their class right from the scores `total` with the terms
// `out` taken away and `in` added (either may be null: no terms); a tie goes to the earlier
// class, as in prediction.
std::size_t rightWith(const Terms& terms, const std::vector<double>& total, const double* out,
                      const double* in) {
    const std::size_t k = terms.classes;
    std::size_t right = 0;
    for (std::size_t i = 0; i < terms.records; ++i) {
        const std::size_t base = i * k;
        std::size_t best = 0;
        double bestScore = 0;
        for (std::size_t c = 0; c < k; ++c) {
            double s = total[base + c];
            if (out != nullptr) s -= out[base + c];
            if (in != nullptr) s += in[base + c];
            if (c == 0 || s > bestScore) {
                best = c;
                bestScore = s;
            }
        }
        right += static_cast<std::int32_t>(best) == terms.actual[i];
    }
    return right;
}

// Returns the scores of every record and class with each attribute in its `state`.
std::vector<double> totalOf(const Terms& terms, const std::vector<std::size_t>& state) {
    std::vector<double> total = terms.prior;
    for (std::size_t a = 0; a < state.size(); ++a)
        if (const double* t = terms.of(a, state[a]))
            for (std::size_t j = 0; j < total.size(); ++j) total[j] += t[j];
    return total;
}

// Takes the best single change (one attribute to another treatment, or left out, or back in)
// while it makes more records right; each one does, so it ends after at most as many changes as
// records. Updates `state`, its scores `total` and `right`.
void climb(const Dataset& data, const Terms& terms, std::size_t modes,
           std::vector<std::size_t>& state, std::vector<double>& total, std::size_t& right) {
    const std::size_t attributes = state.size();
    for (;;) {
        std::size_t bestRight = right;
        std::size_t bestAttribute = attributes;
        std::size_t bestState = 0;
        for (std::size_t a = 0; a < attributes; ++a) {
            if (data.attribute(a).type == AttributeType::Ignored) continue;
            const double* out = terms.of(a, state[a]);
            for (std::size_t s = 0; s <= kLeftOut; ++s) {
                const bool offered = s == kLeftOut || (s < modes && (terms.numeric[a] || s == 0));
                if (s == state[a] || !offered) continue;
                const std::size_t r = rightWith(terms, total, out, terms.of(a, s));
                if (r > bestRight) {
                    bestRight = r;
                    bestAttribute = a;
                    bestState = s;
                }
            }
        }
        if (bestAttribute == attributes) return;
        state[bestAttribute] = bestState;
        total = totalOf(terms, state);  // summed afresh, so that no rounding piles up
        right = bestRight;
    }
}

}  // namespace

std::size_t selectionRecords(const Dataset& data, std::size_t rows) {
    std::size_t numericCount = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        numericCount += data.attribute(a).type == AttributeType::Numeric ? 1 : 0;
    const std::size_t modes = numericCount > 0 ? kModes : 1;
    const std::size_t perRecord =
        (numericCount * modes + (data.attributeCount() - numericCount) + 1) * data.classCount();
    const std::size_t affordable = kSelectionTerms / std::max<std::size_t>(perRecord, 1);
    if (rows > affordable && affordable < kSelectionLeastRecords) return 0;
    return std::min({rows, kSelectionRecords, affordable});
}

AttributeSelection selectAttributes(const Dataset& data, std::span<const RowIndex> rows,
                                    std::uint64_t seed) {
    AttributeSelection result;
    const std::size_t attributes = data.attributeCount();
    Terms terms;
    terms.numeric.resize(attributes);
    std::size_t numericCount = 0;
    for (std::size_t a = 0; a < attributes; ++a) {
        terms.numeric[a] = data.attribute(a).type == AttributeType::Numeric;
        numericCount += terms.numeric[a] ? 1 : 0;
    }
    const std::size_t modes = numericCount > 0 ? kModes : 1;
    const std::size_t records = selectionRecords(data, rows.size());
    if (records == 0) return result;
    const std::vector<RowIndex> sample = sampleRows(rows, records, seed);
    result.made = true;
    result.records = sample.size();
    collectTerms(data, sample, modes, seed, terms);

    // Start from the best mode for every numeric attribute (a tie to the earlier mode).
    std::vector<std::size_t> state(attributes, 0);
    std::vector<double> total;
    std::size_t right = 0;
    for (std::size_t m = 0; m < modes; ++m) {
        std::vector<std::size_t> uniform(attributes, m);
        std::vector<double> scores = totalOf(terms, uniform);
        const std::size_t r = rightWith(terms, scores, nullptr, nullptr);
        if (m == 0 || r > right) {
            state = std::move(uniform);
            total = std::move(scores);
            right = r;
            result.start = kModeList[m];
        }
    }
    const double n = static_cast<double>(std::max<std::size_t>(sample.size(), 1));
    result.startAccuracy = static_cast<double>(right) / n;

    // Then changes one at a time, from there and from no attribute at all; the better end wins
    // (a tie to the first).
    std::vector<std::size_t> fromNone(attributes, kLeftOut);
    std::vector<double> noneTotal = totalOf(terms, fromNone);
    std::size_t noneRight = rightWith(terms, noneTotal, nullptr, nullptr);
    climb(data, terms, modes, state, total, right);
    climb(data, terms, modes, fromNone, noneTotal, noneRight);
    if (noneRight > right) {
        state = std::move(fromNone);
        right = noneRight;
    }
    result.accuracy = static_cast<double>(right) / n;
    result.uses.resize(attributes);
    for (std::size_t a = 0; a < attributes; ++a)
        result.uses[a] = state[a] == kLeftOut ? AttributeUse::LeftOut : useOf(kModeList[state[a]]);
    return result;
}

}  // namespace mining
