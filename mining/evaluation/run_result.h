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

// What self-tuning found: each candidate's cross-validated accuracy and the one chosen.
struct Tuning {
    std::vector<std::string> labels;
    std::vector<double> accuracies;  // pooled over the folds, in [0, 1]
    std::size_t chosen = 0;
    std::size_t records = 0;  // the training records it cross-validated on
    bool skipped = false;     // the budget did not allow kLeastTuningRecords: the first chosen
    bool tooLarge = false;    // skipped because budget.trainingSeconds exceeds the budget
    std::vector<std::string> untried;  // the last candidates, left out to fit the budget
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

    // Cross-validation: the folds, and the accuracy of each that tested records.
    int folds = 0;
    std::vector<double> foldAccuracies;

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
    RunTimes times;
};

}  // namespace mining
