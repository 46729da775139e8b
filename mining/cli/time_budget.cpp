#include "cli/time_budget.h"

#include <algorithm>

#include "cli/tuning.h"

namespace mining {

TimeBudget::TimeBudget(double timeLimit, int folds, const ProgramCosts& costs)
    : perTraining_(timeLimit <= 0 ? 0 : timeLimit / (folds > 0 ? folds + 1 : 1)), costs_(costs) {}

std::uint64_t TimeBudget::readBytes(std::uint64_t fileBytes) const {
    if (perTraining_ <= 0) return 0;
    const double work = perTraining_ * kLimitShare;
    if (static_cast<double>(fileBytes) * costs_.run.wholeSecondsPerByte <= work) return 0;
    // However small the limit, a sample of some bytes is read (0 would mean the whole file).
    return std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(work / costs_.run.sampledSecondsPerByte));
}

std::uint64_t TimeBudget::trainingWork() const {
    if (perTraining_ <= 0 || costs_.workPerSecond <= 0) return 0;
    return std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(perTraining_ * kLimitShare * costs_.workShare *
                                      costs_.workPerSecond));
}

// Within the time limit (a fold's share of it in a cross-validation) self-tuning has what the
// run's estimated cost leaves of the counted share, at least kTuningShare. On large data that
// shrinks towards kTuningRunShare of the run's own cost, so that a large file is still done at
// about the speed of reading it: fully up to no cost, down to that share at kTuningKnee seconds
// and beyond; there the training of a costlier setting on all records would not fit, and the
// defaults are kept.
TuningBudget TimeBudget::tuning(const Dataset& data) const {
    TuningBudget budget;
    budget.costs = costs_.tuning;
    if (perTraining_ <= 0) return budget;
    const SampleInfo& sample = data.sample();
    const double run =
        static_cast<double>(sample.readBytes) *
        (sample.sampled ? costs_.run.sampledSecondsPerByte : costs_.run.wholeSecondsPerByte);
    const double left = std::max(perTraining_ * kTuningShare, perTraining_ * kLimitShare - run);
    const double fade = std::max(0.0, 1.0 - run / kTuningKnee);
    budget.seconds = std::max(kTuningRunShare * run, left * fade);
    budget.trainingSeconds = run * costs_.tuning.trainingShare;
    return budget;
}

std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          std::span<const Candidate> candidates, const TuningBudget& budget) {
    const std::size_t most = std::min(available, kTuningRecords);
    if (budget.seconds <= 0) return most;
    double attributes = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        attributes += data.attribute(a).type == AttributeType::Ignored ? 0 : 1;
    double weights = 0;
    double heaviest = 1;
    for (const Candidate& c : candidates) {
        weights += c.weight;
        heaviest = std::max(heaviest, c.weight);
    }
    const TuningCosts& costs = budget.costs;
    const double perRecord =
        attributes * (costs.perCell + static_cast<double>(data.classCount()) * costs.perCellClass);
    const double fixed = attributes * costs.perAttribute;
    // Every candidate on every fold; then the chosen one, whose training the run's own cost
    // counts but for what a heavier candidate adds (a model that cross-validates choices of its
    // own samples at most kTuningRecords for them).
    const double last = (heaviest - 1) * (fixed + perRecord * static_cast<double>(most));
    const double room =
        (budget.seconds - last) / (static_cast<double>(kTuningFolds) * weights) - fixed;
    const double affordable = perRecord > 0 ? room / perRecord : (room >= 0 ? 1e18 : 0.0);
    const std::size_t least = std::min(available, kLeastTuningRecords);
    if (affordable < static_cast<double>(least)) return 0;
    return affordable >= static_cast<double>(most) ? most : static_cast<std::size_t>(affordable);
}

TuningPlan planTuning(const Dataset& data, std::size_t available,
                      std::span<const Candidate> candidates, const TuningBudget& budget) {
    TuningPlan plan;
    std::span<const Candidate> tried(candidates);
    std::size_t count = tuningRecords(data, available, tried, budget);
    while (count == 0 && tried.size() > 2) {
        tried = tried.first(tried.size() - 1);
        count = tuningRecords(data, available, tried, budget);
    }
    plan.tried = tried.size();
    plan.records = count;
    // Where training the defaults on all records already takes longer than the whole budget,
    // a costlier setting could not be afforded, and on a sample this small its cost on all
    // records cannot be told.
    plan.tooLarge = budget.seconds > 0 && budget.trainingSeconds > budget.seconds;
    plan.skipped = (count == 0 || plan.tooLarge) && available > 0;
    return plan;
}

}  // namespace mining
