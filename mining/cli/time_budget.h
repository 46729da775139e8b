#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "cli/program.h"
#include "data/dataset.h"
#include "util/deadline.h"

namespace mining {

// The seconds a run may take unless --time-limit says otherwise: the window reads the report 3 s
// after it starts the program.
inline constexpr double kDefaultTimeLimit = 2.5;

// The share of a time limit that the counted work may fill; the rest is room for a slower or
// busier machine, starting the process and writing the report.
inline constexpr double kLimitShare = 0.8;

// Where within a time limit the backstop lies (util/deadline.h): the plan fills at most
// kLimitShare of the limit, so a machine must be about 15 % slower than planned before the
// backstop cuts anything, and what is left is room to test and write the report.
inline constexpr double kBackstopShare = 0.92;
// The clock cuts nothing in a run's first half second: below that, fixed costs (starting the
// process, the first pages of the file) are most of the time, and so small a limit is a size
// of work, the same every run.
inline constexpr double kBackstopFloor = 0.5;
// How much slower this build runs than the one the costs were measured on: a build with
// AddressSanitizer runs about two to four times slower, and its clock allows for that, so that
// the backstop fires there no more often than in a release build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr double kBuildSlowdown = 4;
#else
inline constexpr double kBuildSlowdown = 1;
#endif

// The share of a training's part of the limit that reading a sample may take before the clock
// stops it (the sample is sized from the run's cost per byte, reading, training and testing
// together, to fill kLimitShare of it; reading takes about half of that): the deadline lies
// beyond the plan by the run's backstop margin and a fifth more, since reading's part of the
// cost is known less well than the whole's; the later stages have backstops of their own.
inline constexpr double kReadingShare = 0.6;

// The share of a run's cost that reading the file takes, at the least (measured: about 0.6 on
// large data), which is spent before self-tuning starts.
inline constexpr double kReadingPart = 0.5;

// The least share of a time limit that self-tuning may take where it runs at all.
inline constexpr double kTuningShare = 0.15;
// On large data self-tuning gets this share of the run's estimated cost instead, from a run of
// kTuningKnee seconds on (see TimeBudget::tuning).
inline constexpr double kTuningRunShare = 0.15;
inline constexpr double kTuningKnee = 0.05;

// The most training records self-tuning cross-validates on; a larger training set is tuned on
// a seeded sample of this many, so that tuning stays a small part of a large run.
inline constexpr std::size_t kTuningRecords = 5000;
// The fewest training records self-tuning is worth running on within a time limit (or all
// of them, when there are fewer).
inline constexpr std::size_t kLeastTuningRecords = 200;

// The most records self-tuning deals its folds several times on (TuningCosts::repeats, where the
// budget allows), where a single deal would leave the choice to the noise of a small sample.
inline constexpr std::size_t kRepeatedTuningRecords = 2000;
// The records a search on a sample of the attributes cross-validates on, at least.
inline constexpr std::size_t kWideTuningRecords = 1000;
// The fewest training records a candidate too costly on all of them may train on instead (a
// seeded sample): ten times the search's own sample, so that what the search measured holds.
inline constexpr std::size_t kLeastSampledTraining = 10 * kTuningRecords;

// What self-tuning may spend (all 0: no limit): the time of the search itself, at least
// `leastSeconds`; the counted work the whole run may fill, and what the run costs with the
// defaults, from which a candidate's cost on all the records follows (Candidate::runFactor).
struct TuningBudget {
    double seconds = 0;
    TuningCosts costs;
    double leastSeconds = 0;
    double workSeconds = 0;
    double runSeconds = 0;
};

// What self-tuning can afford: the candidates tried (by index, the first always), those left out
// because their training on all the records, or the search with them, would not fit; on how many
// training records, with how many deals of the folds, and on a sample of how many attributes (0:
// all); or that it is skipped (fewer than two candidates fit).
// `training`: by candidate, the training records it trains on when chosen, a seeded sample of
// them where training on all would not fit (0: all).
// `finalSeconds`: what the costliest candidate tried costs on the records it trains on, less the
// reading done before the search (kReadingPart of the defaults' run), which the search must
// leave room for before the deadline.
struct TuningPlan {
    double finalSeconds = 0;
    std::vector<std::size_t> tried;
    std::vector<std::size_t> leftOut;
    std::vector<std::size_t> training;
    std::size_t records = 0;
    std::size_t repeats = 1;
    std::size_t attributes = 0;
    bool skipped = false;
    bool tooLarge = false;
};

// Every rule a time limit sets for a run, in one place. Only sizes decide, never the clock, so
// the same file, options and seed always give the same result: how much of the file is read,
// how much counted work training may do, and what self-tuning may spend. A cross-validation
// trains a model per fold and one on all records: each gets its share of the limit, and the
// file is read within one share as well.
class TimeBudget {
public:
    // A budget of `timeLimit` seconds (0: no limit) for a run evaluated by `folds` folds (0: a
    // split), of a program whose runs cost `costs`.
    TimeBudget(double timeLimit, int folds, const ProgramCosts& costs);

    // Returns the seconds one training may take (0: no limit).
    double perTraining() const { return perTraining_; }

    // Returns the most bytes of a data file of `fileBytes` to read: 0 (all) when the whole run
    // fits the limit, else a sample's size that does (at least 1).
    std::uint64_t readBytes(std::uint64_t fileBytes) const;

    // Returns the counted work units a model's training may do (0: no limit), for a program
    // that counts its training work.
    std::uint64_t trainingWork() const;

    // Returns what self-tuning may spend on `data` as read (see SampleInfo).
    TuningBudget tuning(const Dataset& data) const;

    // Returns the run's backstop: kBackstopShare of the limit after `start` on `clock`'s scale,
    // and kBackstopFloor at the least; none without a limit.
    Deadline deadline(double start, Deadline::Clock clock) const;

    // Returns the backstop of reading a sample: kReadingShare of a training's part of the limit,
    // times kBackstopShare, and kBackstopFloor at the least, after `start` on `clock`'s scale;
    // none without a limit.
    Deadline readingDeadline(double start, Deadline::Clock clock) const;

private:
    double timeLimit_;
    double perTraining_;
    ProgramCosts costs_;
};

// Returns how many of `available` training records `seconds` let self-tuning cross-validate
// `candidates` on, `repeats` deals of kTuningFolds folds, with `attributes` attributes (at most
// kTuningRecords), or 0 when fewer than kLeastTuningRecords (or `available`); `costs` as
// TuningCosts says. No limit (`seconds` 0) gives the most.
std::size_t tuningRecords(const Dataset& data, std::size_t available,
                          std::span<const Candidate> candidates, const TuningCosts& costs,
                          double seconds, std::size_t repeats = 1, std::size_t attributes = 0);

// Returns what self-tuning can afford on `available` training records of `data`: the
// candidates whose training on all the records fits the run's work (always the first), or on a
// seeded sample of at least kLeastSampledTraining of them where their training share lets one
// fit, the search on as many
// records as the search's time allows, three deals of the folds on small data where that fits;
// when fewer than kLeastTuningRecords fit, the costliest make way down to two, then the search
// runs on a seeded sample of the attributes; skipped when not even that fits.
TuningPlan planTuning(const Dataset& data, std::size_t available,
                      std::span<const Candidate> candidates, const TuningBudget& budget);

}  // namespace mining
