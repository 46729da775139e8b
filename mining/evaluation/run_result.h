#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/dataset.h"
#include "evaluation/evaluation.h"
#include "model/model.h"

namespace mining {

// What self-tuning found: for each candidate tried its cross-validated accuracy and the spread
// of its folds' accuracies, the best one, how far it beat the defaults (the first candidate) and
// the standard error of that gain over the folds, and the one chosen: the best only when it beat
// the defaults by more than that standard error, else the defaults.
struct Tuning {
    std::vector<std::size_t> tried;   // the candidates tried, by their index, the first first
    std::vector<std::string> labels;  // of those tried
    std::vector<double> accuracies;   // pooled over the folds, in [0, 1]
    std::vector<double> spreads;      // the standard deviation of the folds' accuracies
    std::size_t best = 0;             // index into the candidates
    std::size_t chosen = 0;           // index into the candidates
    double gain = 0;                  // the best's accuracy less the defaults'
    double standardError = 0;         // of that gain, from the folds' paired differences
    std::size_t records = 0;          // the training records it cross-validated on
    std::size_t attributes = 0;       // a seeded sample of this many attributes (0: all)
    std::size_t allAttributes = 0;    // of this many
    std::size_t repeats = 1;          // deals of the folds
    bool skipped = false;             // nothing tried: the defaults kept
    bool tooLarge = false;            // ... because no other setting's training would fit
    bool cut = false;                 // stopped by the clock after `folds` folds
    std::size_t folds = 0;            // the folds each candidate was tested on
    std::size_t plannedFolds = 0;
    std::vector<std::string> untried;  // candidates left out to keep within the time limit
    std::size_t training = 0;    // the chosen trains on a seeded sample of this many (0: all) ...
    std::size_t trainingOf = 0;  // ... of the training records
};

// How a run evaluated its model.
enum class EvaluationKind {
    Split,            // trained on a share of the records, tested on the rest (or on them)
    CrossValidation,  // each record tested once by a model trained on the other folds
    Applied,          // a saved model scored the records (--apply)
};

// When each stage of a run ended.
struct RunTimes {
    using Clock = std::chrono::steady_clock;
    Clock::time_point start, readDone, trainDone, testDone;
};

// What a run warns of, as facts; the report words them.
struct RunWarnings {
    bool belowBaseline = false;      // the model does not beat always answering the majority
    std::size_t seenInTraining = 0;  // test records that also stand among the training records
    std::size_t unseenCorrect = 0;   // the other test records predicted right
    bool duplicatesChecked = false;  // whether seenInTraining was counted (not on large data)
    std::vector<std::size_t> untrainedClasses;  // classes with no training records
    std::vector<std::size_t> fewerThanFolds;    // classes with fewer records than folds
};

// The predictions of the records a run tested, in file order: each record's predicted class
// and its class probabilities (classCount per record).
struct Predictions {
    std::vector<RowIndex> rows;
    std::vector<std::int32_t> predicted;
    std::vector<double> probabilities;
};

// Everything a run knows once it is done, and no text: how it evaluated, what self-tuning found,
// the model the report describes, the evaluation and its baseline, what to warn of and, when
// asked, the predictions. The report and the pictures tell it.
struct RunResult {
    EvaluationKind kind = EvaluationKind::Split;

    // Split: the percentage asked for, the records trained and tested on; onTraining when none
    // was left for testing, so that the test records are the training records.
    double percent = 0;
    std::size_t trainCount = 0;
    std::size_t testCount = 0;
    bool onTraining = false;
    // Split: the training records, ascending (the pictures count them; other runs train on all).
    std::vector<RowIndex> trainRows;

    // Cross-validation: the folds, and the accuracy of each that tested records; when the clock
    // stopped it (a machine slower than planned), the records the folds done tested.
    int folds = 0;
    std::vector<double> foldAccuracies;
    bool foldsCut = false;
    std::size_t foldRecords = 0;

    // Applied: the model file, how many records were scored, what scoring met.
    std::string modelPath;
    std::size_t scored = 0;
    std::vector<std::string> appliedNotes;

    // What self-tuning chose among, when it ran.
    std::optional<Tuning> tuning;
    // The model the report describes, trained.
    std::unique_ptr<Model> model;
    // The evaluation (pooled over the folds), the majority class of the records it compares
    // with and its share of the evaluated records.
    Evaluation evaluation{1};
    std::int32_t majority = 0;
    double baseline = 0;

    RunWarnings warnings;
    Predictions predictions;
    // The predictions file's text where the processes of a run over several made it, each the
    // lines of its own test records; else the file is made from `predictions`.
    std::optional<std::string> predictionsText;
    RunTimes times;
};

}  // namespace mining
