#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace mining {

// The confusion matrix of a test and the figures derived from it.
//
// accuracy = correct / total; Cohen's kappa = (po - pe) / (1 - pe) with po the accuracy and
// pe = sum over classes of (actual_c / total) * (predicted_c / total); for class c,
// precision = tp / predicted_c, recall = tp / actual_c, F1 = 2PR / (P + R). A ratio whose
// denominator is 0 is reported as 0 (kappa: 0 when pe = 1 and the test is not all correct,
// 1 when it is).
class Evaluation {
public:
    // Requires classCount > 0.
    explicit Evaluation(std::size_t classCount);

    // Counts one test record. Requires both codes < classCount.
    void add(std::int32_t actual, std::int32_t predicted);
    // Counts `count` test records of class `actual` predicted as `predicted`.
    void add(std::size_t actual, std::size_t predicted, std::size_t count);
    // Counts many; requires equal lengths.
    void addAll(std::span<const std::int32_t> actual, std::span<const std::int32_t> predicted);
    // Counts every record `other` counted. Requires the same classCount.
    void addEvaluation(const Evaluation& other);

    std::size_t classCount() const { return classCount_; }
    std::size_t total() const { return total_; }
    std::size_t correct() const { return correct_; }
    // Returns the count of records of class `actual` predicted as `predicted`.
    std::size_t count(std::size_t actual, std::size_t predicted) const;
    std::size_t support(std::size_t c) const { return support_[c]; }  // actual class c
    std::size_t predictedCount(std::size_t c) const { return predicted_[c]; }

    // One cell off the diagonal of the matrix: `count` records of class `actual` predicted as
    // `predicted`.
    struct Confusion {
        std::size_t actual, predicted, count;
    };
    // Returns every cell off the diagonal that counts a record, the largest first (on a tie,
    // by actual, then predicted class).
    std::vector<Confusion> confusions() const;

    double accuracy() const;  // in [0, 1]; 0 when total() == 0
    double kappa() const;
    // Returns true when chance agreement is certain: every record of one class, every one
    // predicted as it (or no record at all); kappa is then undefined.
    bool chanceIsCertain() const;
    double precision(std::size_t c) const;
    double recall(std::size_t c) const;
    double f1(std::size_t c) const;

private:
    // Up to this many classes the matrix is held whole; beyond, only its cells that count.
    static constexpr std::size_t kDenseClasses = 256;

    std::size_t classCount_;
    std::size_t total_ = 0;
    std::size_t correct_ = 0;
    std::vector<std::size_t> support_, predicted_, diagonal_;
    std::vector<std::size_t> dense_;  // row = actual, column = predicted, when dense
    std::unordered_map<std::uint64_t, std::size_t> sparse_;  // actual * classCount + predicted
};

// Up to this many classes the report shows every class's figures and the whole confusion
// matrix; beyond, the classes with the most test records and the largest confusions.
inline constexpr std::size_t kReportedClasses = 30;

// Writes the evaluation section of the report: the line
// "Accuracy: 94.00 % (47 of 50 test records correct)" (word "training" instead of "test" when
// `onTraining`), `afterAccuracy` (lines, may be empty), kappa, the per-class table and the
// confusion matrix with the class names; beyond kReportedClasses classes, the table of the
// kReportedClasses classes with the most test records and the kReportedClasses largest
// confusions, each with a line on what the rest hold. Undefined figures show as "-": kappa when
// chance agreement is certain, the precision of a class never predicted, the recall of a class no
// record holds, and their F1.
void writeEvaluation(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                     bool onTraining, std::ostream& out, const std::string& afterAccuracy = "");

}  // namespace mining
