#include "evaluation/evaluation.h"

#include <algorithm>
#include <numeric>

#include "util/display_width.h"
#include "util/text_table.h"

namespace mining {

Evaluation::Evaluation(std::size_t classCount)
    : classCount_(classCount),
      support_(classCount, 0),
      predicted_(classCount, 0),
      diagonal_(classCount, 0) {
    if (classCount <= kDenseClasses) dense_.assign(classCount * classCount, 0);
}

void Evaluation::add(std::int32_t actual, std::int32_t predicted) {
    const auto a = static_cast<std::size_t>(actual);
    const auto p = static_cast<std::size_t>(predicted);
    ++support_[a];
    ++predicted_[p];
    ++total_;
    if (a == p) {
        ++diagonal_[a];
        ++correct_;
    }
    if (!dense_.empty())
        ++dense_[a * classCount_ + p];
    else if (a != p)
        ++sparse_[static_cast<std::uint64_t>(a) * classCount_ + p];
}

void Evaluation::addAll(std::span<const std::int32_t> actual,
                        std::span<const std::int32_t> predicted) {
    for (std::size_t i = 0; i < actual.size() && i < predicted.size(); ++i)
        add(actual[i], predicted[i]);
}

void Evaluation::add(std::size_t actual, std::size_t predicted, std::size_t count) {
    if (count == 0) return;
    support_[actual] += count;
    predicted_[predicted] += count;
    total_ += count;
    if (actual == predicted) {
        diagonal_[actual] += count;
        correct_ += count;
    }
    if (!dense_.empty())
        dense_[actual * classCount_ + predicted] += count;
    else if (actual != predicted)
        sparse_[static_cast<std::uint64_t>(actual) * classCount_ + predicted] += count;
}

void Evaluation::addEvaluation(const Evaluation& other) {
    for (std::size_t c = 0; c < classCount_; ++c) add(c, c, other.diagonal_[c]);
    for (const Confusion& cell : other.confusions()) add(cell.actual, cell.predicted, cell.count);
}

std::size_t Evaluation::count(std::size_t actual, std::size_t predicted) const {
    if (!dense_.empty()) return dense_[actual * classCount_ + predicted];
    if (actual == predicted) return diagonal_[actual];
    const auto found = sparse_.find(static_cast<std::uint64_t>(actual) * classCount_ + predicted);
    return found == sparse_.end() ? 0 : found->second;
}

std::vector<Evaluation::Confusion> Evaluation::confusions() const {
    std::vector<Confusion> cells;
    if (!dense_.empty()) {
        for (std::size_t i = 0; i < dense_.size(); ++i)
            if (dense_[i] > 0 && i / classCount_ != i % classCount_)
                cells.push_back({i / classCount_, i % classCount_, dense_[i]});
    } else {
        for (const auto& [key, n] : sparse_)
            cells.push_back({static_cast<std::size_t>(key / classCount_),
                             static_cast<std::size_t>(key % classCount_), n});
    }
    std::sort(cells.begin(), cells.end(), [](const Confusion& x, const Confusion& y) {
        if (x.count != y.count) return x.count > y.count;
        return x.actual != y.actual ? x.actual < y.actual : x.predicted < y.predicted;
    });
    return cells;
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

// Returns the classes the per-class table shows: every class up to kReportedClasses, else the
// kReportedClasses with the most records (on a tie, the first), in class order.
std::vector<std::size_t> shownClasses(const Evaluation& evaluation) {
    std::vector<std::size_t> classes(evaluation.classCount());
    std::iota(classes.begin(), classes.end(), 0);
    if (classes.size() <= kReportedClasses) return classes;
    std::stable_sort(classes.begin(), classes.end(), [&](std::size_t x, std::size_t y) {
        return evaluation.support(x) > evaluation.support(y);
    });
    classes.resize(kReportedClasses);
    std::sort(classes.begin(), classes.end());
    return classes;
}

void writePerClass(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                   std::ostream& out) {
    out << "Per class:\n";
    TextTable perClass;
    perClass.setHeader({"Class", "Precision", "Recall", "F1", "Support"});
    // A ratio over nothing is undefined, and shows as "-": the precision of a class never
    // predicted, the recall of a class no test record holds, the F1 of either.
    const std::vector<std::size_t> shown = shownClasses(evaluation);
    std::size_t shownRecords = 0;
    for (const std::size_t c : shown) {
        const bool predicted = evaluation.predictedCount(c) > 0;
        const bool held = evaluation.support(c) > 0;
        perClass.addRow({shortForReport(classNames[c]),
                         predicted ? formatFixed(evaluation.precision(c), 4) : "-",
                         held ? formatFixed(evaluation.recall(c), 4) : "-",
                         predicted && held ? formatFixed(evaluation.f1(c), 4) : "-",
                         std::to_string(evaluation.support(c))});
        shownRecords += evaluation.support(c);
    }
    perClass.write(out);
    if (shown.size() < evaluation.classCount())
        out << "  (the " << shown.size() << " classes of " << evaluation.classCount()
            << " with the most records; the other " << evaluation.classCount() - shown.size()
            << " hold " << evaluation.total() - shownRecords << " of the " << evaluation.total()
            << " records)\n";
}

void writeWholeMatrix(const Evaluation& evaluation, const std::vector<std::string>& classNames,
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

// Beyond kReportedClasses classes a whole matrix is too wide to read: the largest cells off its
// diagonal instead, and what the others hold.
void writeLargestConfusions(const Evaluation& evaluation,
                            const std::vector<std::string>& classNames, std::ostream& out) {
    const std::vector<Evaluation::Confusion> cells = evaluation.confusions();
    out << "\nLargest confusions (" << evaluation.classCount()
        << " classes: too many for a whole matrix):\n";
    TextTable table;
    table.setHeader({"Actual", "Predicted", "Records"});
    std::size_t shown = 0;
    for (std::size_t i = 0; i < cells.size() && i < kReportedClasses; ++i) {
        table.addRow({shortForReport(classNames[cells[i].actual]),
                      shortForReport(classNames[cells[i].predicted]),
                      std::to_string(cells[i].count)});
        shown += cells[i].count;
    }
    table.write(out);
    if (cells.size() > kReportedClasses) {
        std::size_t wrong = 0;
        for (const Evaluation::Confusion& cell : cells) wrong += cell.count;
        out << "  (" << cells.size() - kReportedClasses << " more cells hold the other "
            << wrong - shown << " of the " << wrong << " records predicted wrong)\n";
    }
}

void writeConfusionMatrix(const Evaluation& evaluation, const std::vector<std::string>& classNames,
                          std::ostream& out) {
    if (evaluation.classCount() <= kReportedClasses)
        writeWholeMatrix(evaluation, classNames, out);
    else
        writeLargestConfusions(evaluation, classNames, out);
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
