#include "cli/time_budget.h"

#include <algorithm>
#include <optional>

#include "cli/tuning.h"

namespace mining {

TimeBudget::TimeBudget(double timeLimit, int folds, const ProgramCosts& costs)
    : timeLimit_(timeLimit),
      perTraining_(timeLimit <= 0 ? 0 : timeLimit / (folds > 0 ? folds + 1 : 1)),
      costs_(costs) {}

std::uint64_t TimeBudget::readBytes(std::uint64_t fileBytes) const {
    if (perTraining_ <= 0) return 0;
    const double work = perTraining_ * kLimitShare;
    if (static_cast<double>(fileBytes) * costs_.run.wholeSecondsPerByte <= work) return 0;
    // However small the limit, a sample of some bytes is read (0 would mean the whole file).
    return std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(work / costs_.run.sampledSecondsPerByte));
}

Deadline TimeBudget::deadline(double start, Deadline::Clock clock) const {
    if (timeLimit_ <= 0) return Deadline();
    return Deadline(std::move(clock),
                    start + kBuildSlowdown * std::max(timeLimit_ * kBackstopShare, kBackstopFloor));
}

Deadline TimeBudget::readingDeadline(double start, Deadline::Clock clock) const {
    if (timeLimit_ <= 0) return Deadline();
    return Deadline(std::move(clock),
                    start + kBuildSlowdown * std::max(perTraining_ * kReadingShare * kBackstopShare,
                                                      kBackstopFloor));
}

std::uint64_t TimeBudget::trainingWork() const {
    if (perTraining_ <= 0 || costs_.workPerSecond <= 0) return 0;
    return std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(perTraining_ * kLimitShare * costs_.workShare *
                                      costs_.workPerSecond));
}

namespace {

// Returns the attributes a search counts: those not ignored, or `attributes` when it samples.
double countedAttributes(const Dataset& data, std::size_t attributes) {
    if (attributes > 0) return static_cast<double>(attributes);
    double n = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        n += data.attribute(a).type == AttributeType::Ignored ? 0 : 1;
    return n;
}

// Returns the nominal attributes.
double nominalAttributes(const Dataset& data) {
    double n = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        n += data.attribute(a).type == AttributeType::Nominal ? 1 : 0;
    return n;
}

// Returns the values of the nominal attributes not ignored, all of them.
double nominalValues(const Dataset& data) {
    double values = 0;
    for (std::size_t a = 0; a < data.attributeCount(); ++a)
        if (data.attribute(a).type == AttributeType::Nominal)
            values += static_cast<double>(data.attribute(a).values.size());
    return values;
}

// Returns what training a candidate of weight 1 on `records` records costs (see TuningCosts).
double trainingSeconds(const Dataset& data, const TuningCosts& costs, double records,
                       std::size_t attributes) {
    const double a = countedAttributes(data, attributes);
    const double classes = static_cast<double>(data.classCount());
    const double all = std::max(1.0, countedAttributes(data, 0));
    const double tables = nominalValues(data) * a / all * classes * costs.perValueClass;
    // A sample of the attributes holds nominal ones in their share of all.
    const double nominalShare = nominalAttributes(data) / all;
    const double perCell = costs.perNominalCell > 0 ? nominalShare * costs.perNominalCell +
                                                          (1 - nominalShare) * costs.perCell
                                                    : costs.perCell;
    return a * (records * (perCell + classes * costs.perCellClass) + costs.perAttribute) + tables;
}

// Returns what `c` costs when it trains on `records` (0: all) of `available` records: the run
// with it (on large data the run's cost per byte tells, its training's share shrunk to the
// records' share; on wide data, where each attribute's fixed costs outweigh the bytes, a
// training on up to kTuningRecords does), and a choice of its own among settings (weight above
// 1), made on at most kTuningRecords.
double candidateSeconds(const Dataset& data, const Candidate& c, std::size_t available,
                        const TuningBudget& budget, std::size_t records = 0) {
    const double own = trainingSeconds(data, budget.costs,
                                       static_cast<double>(std::min(available, kTuningRecords)), 0);
    const double saved =
        records > 0 && available > 0
            ? c.trainingShare * (1 - static_cast<double>(records) / static_cast<double>(available))
            : 0.0;
    return std::max(budget.runSeconds * c.runFactor * (1 - saved), own) + (c.weight - 1) * own;
}

// Returns the training records candidate `c` may train on, of `available`: all (0) where the
// run's work with them leaves the search its least time; else the most a seeded sample may hold
// while leaving the search what it needs to compare all `candidates` on kTuningRecords (when
// that is less); none when fewer than kLeastSampledTraining would fit.
std::optional<std::size_t> affordableTraining(const Dataset& data,
                                              std::span<const Candidate> candidates, std::size_t c,
                                              std::size_t available, const TuningBudget& budget) {
    const Candidate& candidate = candidates[c];
    if (budget.workSeconds <= 0 ||
        candidateSeconds(data, candidate, available, budget) + budget.leastSeconds <=
            budget.workSeconds)
        return std::size_t{0};
    if (candidate.trainingShare <= 0 || available <= kLeastSampledTraining) return std::nullopt;
    double weights = 0;
    for (const Candidate& other : candidates) weights += other.weight;
    const double search =
        static_cast<double>(kTuningFolds) * weights *
        trainingSeconds(data, budget.costs,
                        static_cast<double>(std::min(available, kTuningRecords)), 0);
    const double room = budget.workSeconds - std::min(budget.leastSeconds, search);
    // The share of the records whose training fits, found by halving (the cost grows with it).
    std::size_t low = 0, high = available;
    while (high - low > 1) {
        const std::size_t mid = low + (high - low) / 2;
        (candidateSeconds(data, candidate, available, budget, mid) <= room ? low : high) = mid;
    }
    if (low < kLeastSampledTraining) return std::nullopt;
    return low;
}

}  // namespace

// Within the time limit (a fold's share of it in a cross-validation) self-tuning's search has
// what the run's estimated cost leaves of the counted share, at least kTuningShare of the limit;
// a candidate chosen must then train on all the records within that share too.
TuningBudget TimeBudget::tuning(const Dataset& data) const {
    TuningBudget budget;
    budget.costs = costs_.tuning;
    if (perTraining_ <= 0) return budget;
    const SampleInfo& sample = data.sample();
    const double classesPast2 = std::max<double>(0, static_cast<double>(data.classCount()) - 2);
    budget.runSeconds =
        static_cast<double>(sample.readBytes) *
            (sample.sampled ? costs_.run.sampledSecondsPerByte : costs_.run.wholeSecondsPerByte) +
        static_cast<double>(data.recordCount()) * countedAttributes(data, 0) * classesPast2 *
            costs_.run.perRecordClass;
    budget.workSeconds = perTraining_ * kLimitShare;
    budget.leastSeconds = perTraining_ * kTuningShare;
    budget.seconds = std::max(budget.leastSeconds, budget.workSeconds - budget.runSeconds);
    return budget;
}

std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          std::span<const Candidate> candidates, const TuningCosts& costs,
                          double seconds, std::size_t repeats, std::size_t attributes) {
    const std::size_t most = std::min(available, kTuningRecords);
    if (seconds <= 0) return most;
    double weights = 0;
    for (const Candidate& c : candidates) weights += c.weight;
    const double perRecord =
        trainingSeconds(data, costs, 1, attributes) - trainingSeconds(data, costs, 0, attributes);
    const double fixed = trainingSeconds(data, costs, 0, attributes);
    const double room = seconds / (static_cast<double>(kTuningFolds * repeats) * weights) - fixed;
    const double affordable = perRecord > 0 ? room / perRecord : (room >= 0 ? 1e18 : 0.0);
    const std::size_t least = std::min(available, kLeastTuningRecords);
    if (affordable < static_cast<double>(least)) return 0;
    return affordable >= static_cast<double>(most) ? most : static_cast<std::size_t>(affordable);
}

namespace {

// Returns the candidates of `candidates` that `plan.tried` names.
std::vector<Candidate> triedOf(std::span<const Candidate> candidates, const TuningPlan& plan) {
    std::vector<Candidate> tried;
    for (const std::size_t c : plan.tried) tried.push_back(candidates[c]);
    return tried;
}

// Returns what candidate `c` costs on the training records the plan gives it.
double plannedSeconds(const Dataset& data, std::span<const Candidate> candidates, std::size_t c,
                      std::size_t available, const TuningPlan& plan, const TuningBudget& budget) {
    return candidateSeconds(data, candidates[c], available, budget, plan.training[c]);
}

// Returns the time the search may take when the candidates `plan.tried` may be chosen: what the
// costliest of them but the defaults leaves of the run's work, at most budget.seconds (which
// allows for the defaults' run).
double searchSeconds(const Dataset& data, std::span<const Candidate> candidates,
                     std::size_t available, const TuningPlan& plan, const TuningBudget& budget) {
    if (budget.workSeconds <= 0) return 0;
    double costliest = 0;
    for (std::size_t i = 1; i < plan.tried.size(); ++i)
        costliest = std::max(
            costliest, plannedSeconds(data, candidates, plan.tried[i], available, plan, budget));
    return std::min(budget.seconds, budget.workSeconds - costliest);
}

// Sets plan.records (and repeats, attributes) for the candidates tried; false when the search
// cannot run on enough records, even on a sample of the attributes.
bool sizeSearch(const Dataset& data, std::size_t available, std::span<const Candidate> candidates,
                const TuningBudget& budget, TuningPlan& plan) {
    const std::vector<Candidate> tried = triedOf(candidates, plan);
    const double seconds = searchSeconds(data, candidates, available, plan, budget);
    if (budget.workSeconds > 0 && seconds <= 0) return false;
    plan.records = tuningRecords(data, available, tried, budget.costs, seconds);
    if (plan.records == available && available <= kRepeatedTuningRecords &&
        tuningRecords(data, available, tried, budget.costs, seconds, budget.costs.repeats) ==
            available)
        plan.repeats = budget.costs.repeats;
    if (plan.records > 0) return true;
    // Many attributes: as many of them as leave room for kWideTuningRecords records.
    const std::size_t all = static_cast<std::size_t>(countedAttributes(data, 0));
    const std::size_t records = std::min(available, kWideTuningRecords);
    for (std::size_t a = all / 2; a >= 2; a /= 2) {
        if (tuningRecords(data, records, tried, budget.costs, seconds, 1, a) == records) {
            plan.attributes = a;
            plan.records = records;
            return true;
        }
    }
    return false;
}

}  // namespace

TuningPlan planTuning(const Dataset& data, std::size_t available,
                      std::span<const Candidate> candidates, const TuningBudget& budget) {
    TuningPlan plan;
    plan.tried.push_back(0);
    plan.training.assign(candidates.size(), 0);
    for (std::size_t c = 1; c < candidates.size(); ++c) {
        const std::optional<std::size_t> records =
            affordableTraining(data, candidates, c, available, budget);
        (records ? plan.tried : plan.leftOut).push_back(c);
        plan.training[c] = records.value_or(0);
    }
    plan.tooLarge = plan.tried.size() < 2 && candidates.size() > 1;
    while (plan.tried.size() >= 2 && !sizeSearch(data, available, candidates, budget, plan)) {
        // The costliest candidate on all records makes way (the last of equals).
        std::size_t costliest = 1;
        for (std::size_t i = 1; i < plan.tried.size(); ++i)
            if (plannedSeconds(data, candidates, plan.tried[i], available, plan, budget) >=
                plannedSeconds(data, candidates, plan.tried[costliest], available, plan, budget))
                costliest = i;
        plan.leftOut.push_back(plan.tried[costliest]);
        plan.tried.erase(plan.tried.begin() + static_cast<std::ptrdiff_t>(costliest));
    }
    std::sort(plan.leftOut.begin(), plan.leftOut.end());
    plan.skipped = plan.tried.size() < 2 && available > 0;
    for (const std::size_t c : plan.tried)
        plan.finalSeconds = std::max(plan.finalSeconds,
                                     plannedSeconds(data, candidates, c, available, plan, budget) -
                                         kReadingPart * budget.runSeconds);
    return plan;
}

}  // namespace mining
