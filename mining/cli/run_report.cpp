#include "cli/run_report.h"

#include <algorithm>
#include <sstream>

#include "cli/report_sections.h"
#include "cli/time_budget.h"
#include "cli/tuning.h"
#include "evaluation/baseline.h"
#include "util/number_format.h"
#include "util/report_text.h"

namespace mining {

namespace {

// The most class names a note lists; the rest are counted.
constexpr std::size_t kListedClasses = 5;

// Returns the names of `classes` for a note: "a, b, c", at most kListedClasses of them, then
// "and N more".
std::string classList(const Dataset& data, const std::vector<std::size_t>& classes) {
    std::string list;
    for (std::size_t i = 0; i < classes.size() && i < kListedClasses; ++i)
        list += (i > 0 ? ", " : "") + shortForReport(data.classValues()[classes[i]]);
    if (classes.size() > kListedClasses)
        list += " and " + std::to_string(classes.size() - kListedClasses) + " more";
    return list;
}

// The most lines a group of notes takes under the Result line; what does not fit goes to the end
// of the report.
constexpr std::size_t kNoteLines = 3;

// Returns what the run left out to keep within its time limit, one sentence each: the records a
// sample of a large file left unread, a self-tuning that did not run, and what the model's
// training left out; then how to lift the limit.
std::vector<std::string> limitNotes(const Dataset& data, const RunResult& result) {
    std::vector<std::string> notes;
    const SampleInfo& sample = data.sample();
    if (sample.sampled) {
        const std::size_t read = data.recordsInAll() + data.missingClassCount();
        notes.push_back("Note: to keep within the time limit, a seeded sample of " +
                        std::to_string(read) + " of about " +
                        std::to_string(sample.estimatedRecords) + " records (" +
                        std::to_string(sample.readBytes / 1000000) + " of " +
                        std::to_string(sample.fileBytes / 1000000) + " MB), spread over " +
                        (sample.files > 1 ? "all " + std::to_string(sample.files) + " files"
                                          : std::string("the whole file")) +
                        ", was read.");
    }
    if (result.tuning && result.tuning->skipped)
        notes.push_back(std::string("Note: self-tuning kept the defaults (on data this ") +
                        (result.tuning->tooLarge ? "large" : "wide") +
                        " it would outrun the limit).");
    if (result.tuning && result.tuning->cut)
        notes.push_back("Note: the machine was slower than planned: self-tuning stopped after " +
                        std::to_string(result.tuning->folds) + " of " +
                        std::to_string(result.tuning->plannedFolds) + " folds" +
                        (result.tuning->folds == 0 ? " and kept the defaults" : "") +
                        "; a run like this can differ from the next.");
    if (result.foldsCut)
        notes.push_back(
            "Note: the machine was slower than planned: cross-validation stopped after " +
            std::to_string(result.foldAccuracies.size()) + " of " + std::to_string(result.folds) +
            " folds, and the accuracy is of the " + std::to_string(result.foldRecords) +
            " records they tested; a run like this can differ from the next.");
    if (result.tuning && result.tuning->attributes > 0)
        notes.push_back("Note: self-tuning chose on a seeded sample of " +
                        std::to_string(result.tuning->attributes) + " of the " +
                        std::to_string(result.tuning->allAttributes) + " attributes and " +
                        std::to_string(result.tuning->records) + " records.");
    if (result.tuning && result.tuning->training > 0)
        notes.push_back("Note: " + trainingSentence(*result.tuning));
    if (result.model)
        for (std::string& note : result.model->limitNotes()) notes.push_back("Note: " + note);
    if (!notes.empty())
        notes.push_back("Note: --time-limit 0 lifts the time limit (default " +
                        formatGeneral(kDefaultTimeLimit) + " s).");
    return notes;
}

// Returns the warning that the model does not beat always answering the majority class.
std::string belowBaseline(const Dataset& data, const RunResult& result) {
    return "Warning: the model does not beat always answering \"" +
           shortForReport(data.classValues()[static_cast<std::size_t>(result.majority)]) + "\" (" +
           formatFixed(100.0 * result.baseline, 2) + " %).";
}

// Returns the warning that `n` records are few to tell the accuracy by.
std::string smallEvaluation(std::size_t n, const std::string& what) {
    return "Warning: only " + std::to_string(n) + " " + what + ", hence the wide interval.";
}

// Returns the warnings on a split's evaluation: a model that does not beat the majority class,
// test records that also stand among the training records, a small test set, classes without
// training records; and the note on an evaluation on the training records.
std::vector<std::string> splitNotes(const Dataset& data, const RunResult& result) {
    std::vector<std::string> notes;
    const RunWarnings& w = result.warnings;
    const Evaluation& evaluation = result.evaluation;
    // A percentage below 1 that trains on a handful of records is most likely a slip.
    if (result.percent > 0 && result.percent < 1 && result.trainCount < 100)
        notes.push_back("Note: " + formatGeneral(result.percent, 6) + " % of " +
                        std::to_string(data.recordsInAll()) +
                        " records: " + std::to_string(result.trainCount) +
                        (result.trainCount == 1 ? " record trains" : " records train") + "; " +
                        formatGeneral(100 * result.percent, 6) + " was perhaps meant.");
    if (w.belowBaseline) notes.push_back(belowBaseline(data, result));
    if (w.seenInTraining > 0) {
        const std::size_t others = result.testCount - w.seenInTraining;
        notes.push_back(others == 0
                            ? "Note: all " + std::to_string(result.testCount) +
                                  " test records also stand among the training records (the same "
                                  "values)."
                            : "Note: " + std::to_string(w.seenInTraining) + " of the " +
                                  std::to_string(result.testCount) +
                                  " test records also stand among the training records (the same "
                                  "values); on the other " +
                                  std::to_string(others) + " the accuracy is " +
                                  formatFixed(100.0 * static_cast<double>(w.unseenCorrect) /
                                                  static_cast<double>(others),
                                              2) +
                                  " %.");
    }
    if (!result.onTraining && evaluation.total() > 0 && evaluation.total() < 100)
        notes.push_back(smallEvaluation(evaluation.total(), "test records"));
    const std::vector<std::size_t>& untrained = w.untrainedClasses;
    if (untrained.size() == 1)
        notes.push_back("Warning: class " + shortForReport(data.classValues()[untrained.front()]) +
                        " has no training records and cannot be predicted.");
    else if (!untrained.empty())
        notes.push_back("Warning: " + std::to_string(untrained.size()) +
                        " classes have no training records and cannot be predicted: " +
                        classList(data, untrained) + ".");
    if (result.onTraining)
        notes.push_back(
            "Note: every record trains, none is left for testing; the evaluation below is on "
            "the training records and overstates how well the model does on new data.");
    return notes;
}

// Returns the notes on a cross-validation: classes with fewer records than folds, and a model
// that does not beat the majority class.
std::vector<std::string> crossValidationNotes(const Dataset& data, const RunResult& result) {
    std::vector<std::string> notes;
    const std::vector<std::size_t>& few = result.warnings.fewerThanFolds;
    const std::string k = std::to_string(result.folds);
    if (few.size() == 1) {
        const std::size_t n = result.evaluation.support(few.front());
        notes.push_back("Note: class " + shortForReport(data.classValues()[few.front()]) + " has " +
                        std::to_string(n) + (n == 1 ? " record" : " records") +
                        ", fewer than the " + k + " folds: some folds test none of it.");
    } else if (!few.empty()) {
        notes.push_back("Note: " + std::to_string(few.size()) +
                        " classes have fewer records than the " + k +
                        " folds, and some folds test none of them: " + classList(data, few) + ".");
    }
    if (result.warnings.belowBaseline) notes.push_back(belowBaseline(data, result));
    if (result.evaluation.total() < 100)
        notes.push_back(smallEvaluation(result.evaluation.total(), "records"));
    return notes;
}

// Writes `notes` as one paragraph of at most kNoteLines lines. The sentences that do not fit go
// to `overflow`, and a sentence says where; with `lastStays` the last one (how to lift the time
// limit) stays, and those before it make way.
void writeNoteGroup(std::ostream& out, const std::vector<std::string>& notes, bool lastStays,
                    std::vector<std::string>& overflow) {
    std::vector<std::string> shown = notes;
    std::string text = wrapWords(paragraph(shown));
    const auto lines = [](const std::string& t) {
        return static_cast<std::size_t>(std::count(t.begin(), t.end(), '\n'));
    };
    const std::size_t fixed = lastStays ? 1 : 0;
    std::vector<std::string> moved;
    while (lines(text) > kNoteLines && shown.size() > 1 + fixed) {
        const auto last = shown.end() - static_cast<std::ptrdiff_t>(1 + fixed);
        moved.insert(moved.begin(), *last);
        shown.erase(last);
        std::vector<std::string> withPointer = shown;
        withPointer.push_back("Note: more at the end of the report.");
        text = wrapWords(paragraph(withPointer));
    }
    overflow.insert(overflow.end(), moved.begin(), moved.end());
    out << text;
}

// Writes the title line, the result line (within two lines of kReportColumns) and the notes, each
// group one paragraph. Returns the notes that did not fit there.
std::vector<std::string> writeTitle(std::ostream& out, const ProgramInfo& info, const Dataset& data,
                                    const RunResult& result) {
    out << info.name << " " << kProgramVersion << ": " << info.summary << '\n';
    std::vector<std::string> words;
    std::istringstream line(resultLine(result));
    for (std::string word; line >> word;) words.push_back(word);
    writeLines(out, wrapPieces(words, "", "  ", kReportColumns));
    const RunNotes notes = runNotes(data, result);
    std::vector<std::string> overflow;
    if (!notes.limits.empty()) writeNoteGroup(out, notes.limits, true, overflow);
    if (!notes.reading.empty()) writeNoteGroup(out, notes.reading, false, overflow);
    if (!notes.run.empty()) writeNoteGroup(out, notes.run, false, overflow);
    out << '\n';
    return overflow;
}

// Writes the data section: the data's lines and how the run evaluated.
void writeDataSection(std::ostream& out, const Dataset& data, const RunOptions& options,
                      const RunResult& result) {
    if (result.kind == EvaluationKind::Applied) out << "Model file:  " << result.modelPath << '\n';
    writeDataLines(out, data);
    switch (result.kind) {
        case EvaluationKind::Split:
            writeSplitLine(out, options, result);
            break;
        case EvaluationKind::CrossValidation:
            out << "Evaluation:  stratified " << result.folds
                << "-fold cross-validation over all records; folds dealt with seed " << options.seed
                << "\n";
            break;
        case EvaluationKind::Applied:
            out << "Scored:      " << result.scored << " records, every one of the file; "
                << result.evaluation.total() << " with a class the model knows are evaluated\n";
            break;
    }
}

// Returns the heading of the model section.
std::string modelHeading(const Dataset& data, const RunResult& result) {
    switch (result.kind) {
        case EvaluationKind::CrossValidation:
            return "Model (trained on all " + std::to_string(data.recordsInAll()) + " records)";
        case EvaluationKind::Applied:
            return "Model (as saved)";
        case EvaluationKind::Split:
            break;
    }
    return "Model";
}

}  // namespace

RunNotes runNotes(const Dataset& data, const RunResult& result) {
    RunNotes notes;
    notes.limits = limitNotes(data, result);
    for (const std::string& note : data.readNotes()) notes.reading.push_back("Note: " + note + ".");
    switch (result.kind) {
        case EvaluationKind::Split:
            notes.run = splitNotes(data, result);
            break;
        case EvaluationKind::CrossValidation:
            notes.run = crossValidationNotes(data, result);
            break;
        case EvaluationKind::Applied:
            notes.run = result.appliedNotes;
            break;
    }
    return notes;
}

std::string evaluationHeading(const RunResult& result) {
    const std::string n = std::to_string(result.evaluation.total());
    switch (result.kind) {
        case EvaluationKind::CrossValidation:
            return "Evaluation by " + std::to_string(result.folds) +
                   "-fold cross-validation: each of the " + n + " records tested once";
        case EvaluationKind::Applied:
            return "Evaluation on the " + n + " records";
        case EvaluationKind::Split:
            break;
    }
    return "Evaluation on the " + n + (result.onTraining ? " training records" : " test records");
}

std::string resultLine(const RunResult& result) {
    const Evaluation& evaluation = result.evaluation;
    std::string what = std::to_string(evaluation.total());
    switch (result.kind) {
        case EvaluationKind::Split:
            what += result.onTraining ? " training records" : " test records";
            break;
        case EvaluationKind::CrossValidation:
            what += " records by " + std::to_string(result.folds) + "-fold cross-validation";
            break;
        case EvaluationKind::Applied:
            what += " records";
            break;
    }
    const auto [low, high] = wilsonInterval(evaluation.correct(), evaluation.total());
    return "Result: " + formatFixed(100.0 * evaluation.accuracy(), 2) + " % correct on " + what +
           " (95 % interval " + formatFixed(100.0 * low, 1) + "\u2013" +
           formatFixed(100.0 * high, 1) + " %), majority class " +
           formatFixed(100.0 * result.baseline, 2) + " %";
}

std::string runReport(const Dataset& data, const RunOptions& options, const ProgramInfo& info,
                      const RunResult& result) {
    std::ostringstream out;
    const std::vector<std::string> overflow = writeTitle(out, info, data, result);
    writeDataSection(out, data, options, result);
    out << "\n=== " << modelHeading(data, result) << " ===\n\n";
    if (result.tuning) out << describeTuning(*result.tuning);
    result.model->describe(data, out);
    out << "\n=== " << evaluationHeading(result) << " ===\n\n";
    const std::string folds =
        result.kind == EvaluationKind::CrossValidation ? foldLine(result.foldAccuracies) : "";
    writeEvaluation(result.evaluation, data.classValues(), result.onTraining, out, folds);
    if (!overflow.empty()) {
        out << "\nMore notes:\n";
        for (const std::string& note : overflow) out << wrapWords(note);
    }
    writeTime(out, result.times);
    return out.str();
}

}  // namespace mining
