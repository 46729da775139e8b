#include "report/evaluation.h"

#include "util/display_width.h"
#include "util/text_table.h"

namespace mining {

Evaluation::Evaluation(std::size_t classCount)
    : classCount_(classCount), matrix_(classCount * classCount, 0) {}

void Evaluation::add(std::int32_t actual, std::int32_t predicted) {
    ++matrix_[static_cast<std::size_t>(actual) * classCount_ + static_cast<std::size_t>(predicted)];
    ++total_;
}

void Evaluation::addAll(std::span<const std::int32_t> actual,
                        std::span<const std::int32_t> predicted) {
    for (std::size_t i = 0; i < actual.size() && i < predicted.size(); ++i)
        add(actual[i], predicted[i]);
}

std::size_t Evaluation::correct() const {
    std::size_t sum = 0;
    for (std::size_t c = 0; c < classCount_; ++c) sum += count(c, c);
    return sum;
}

std::size_t Evaluation::support(std::size_t c) const {
    std::size_t sum = 0;
    for (std::size_t p = 0; p < classCount_; ++p) sum += count(c, p);
    return sum;
}

std::size_t Evaluation::predictedCount(std::size_t c) const {
    std::size_t sum = 0;
    for (std::size_t a = 0; a < classCount_; ++a) sum += count(a, c);
    return sum;
}

double Evaluation::accuracy() const {
    return total_ == 0 ? 0.0 : static_cast<double>(correct()) / static_cast<double>(total_);
}

double Evaluation::kappa() const {
    if (total_ == 0) return 0.0;
    const double n = static_cast<double>(total_);
    double expected = 0;
    for (std::size_t c = 0; c < classCount_; ++c)
        expected +=
            (static_cast<double>(support(c)) / n) * (static_cast<double>(predictedCount(c)) / n);
    const double observed = accuracy();
    if (expected >= 1.0) return correct() == total_ ? 1.0 : 0.0;
    return (observed - expected) / (1.0 - expected);
}

bool Evaluation::chanceIsCertain() const {
    if (total_ == 0) return true;
    for (std::size_t c = 0; c < classCount_; ++c)
        if (support(c) == total_ && predictedCount(c) == total_) return true;
    return false;
}

double Evaluation::precision(std::size_t c) const {
    const std::size_t p = predictedCount(c);
    return p == 0 ? 0.0 : static_cast<double>(count(c, c)) / static_cast<double>(p);
}

double Evaluation::recall(std::size_t c) const {
    const std::size_t s = support(c);
    return s == 0 ? 0.0 : static_cast<double>(count(c, c)) / static_cast<double>(s);
}

double Evaluation::f1(std::size_t c) const {
    const double p = precision(c);
    const double r = recall(c);
    return p + r == 0.0 ? 0.0 : 2 * p * r / (p + r);
}

namespace {

void writePerClass(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                   std::ostream& out) {
    out << "Per class:\n";
    TextTable perClass;
    perClass.setHeader({"Class", "Precision", "Recall", "F1", "Support"});
    // A ratio over nothing is undefined, and shows as "-": the precision of a class never
    // predicted, the recall of a class no test record holds, the F1 of either.
    for (std::size_t c = 0; c < evaluation.classCount(); ++c) {
        const bool predicted = evaluation.predictedCount(c) > 0;
        const bool held = evaluation.support(c) > 0;
        perClass.addRow({shortForReport(classNames[c]),
                         predicted ? formatFixed(evaluation.precision(c), 4) : "-",
                         held ? formatFixed(evaluation.recall(c), 4) : "-",
                         predicted && held ? formatFixed(evaluation.f1(c), 4) : "-",
                         std::to_string(evaluation.support(c))});
    }
    perClass.write(out);
}

void writeConfusionMatrix(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                          std::ostream& out) {
    out << "\nConfusion matrix (rows: actual class, columns: predicted class):\n";
    TextTable matrix;
    std::vector<std::string> header{"actual \\ predicted"};
    // Long class names would make every column wide, so columns are numbered and the key
    // below the table names them.
    bool numbered = false;
    for (const std::string& name : classNames)
        if (displayWidth(name) > 12) numbered = true;
    for (std::size_t c = 0; c < classNames.size(); ++c)
        header.push_back(numbered ? "(" + std::to_string(c + 1) + ")" : classNames[c]);
    matrix.setHeader(header);
    for (std::size_t a = 0; a < evaluation.classCount(); ++a) {
        std::vector<std::string> row{numbered ? "(" + std::to_string(a + 1) + ") " +
                                                    shortForReport(classNames[a])
                                              : classNames[a]};
        for (std::size_t p = 0; p < evaluation.classCount(); ++p)
            row.push_back(std::to_string(evaluation.count(a, p)));
        matrix.addRow(std::move(row));
    }
    matrix.write(out);
}

}  // namespace

void writeEvaluation(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                     bool onTraining, std::ostream& out, const std::string& afterAccuracy) {
    const char* which = onTraining ? "training" : "test";
    out << "Accuracy: " << formatFixed(100.0 * evaluation.accuracy(), 2) << " % ("
        << evaluation.correct() << " of " << evaluation.total() << ' ' << which
        << " records correct)\n";
    out << afterAccuracy;
    // Kappa is undefined when chance agreement is certain (one class among the actual and the
    // predicted alike).
    out << "Kappa: " << (evaluation.chanceIsCertain() ? "-" : formatFixed(evaluation.kappa(), 4))
        << "\n\n";
    writePerClass(evaluation, classNames, out);
    writeConfusionMatrix(evaluation, classNames, out);
}

}  // namespace mining
