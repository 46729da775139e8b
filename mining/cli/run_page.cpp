#include "cli/run_page.h"

#include <numeric>

#include "bayes/selective_bayes.h"
#include "cli/run_report.h"
#include "interval/interval_model.h"
#include "pictures/bayes_picture.h"
#include "pictures/confusion_picture.h"
#include "pictures/markup.h"
#include "pictures/page.h"
#include "pictures/tree_picture.h"
#include "pictures/tuning_picture.h"
#include "util/number_format.h"

namespace mining {

namespace {

// Returns the records the model was trained on (for a saved model: the records scored): a
// split's training records, else every record, into `all`.
std::span<const RowIndex> modelRows(const Dataset& data, const RunResult& result,
                                    std::vector<RowIndex>& all) {
    if (result.kind == EvaluationKind::Split) return result.trainRows;
    all.resize(data.recordCount());
    std::iota(all.begin(), all.end(), RowIndex{0});
    return all;
}

// Returns how selective naive Bayes chose its treatments, as the report says it.
std::string choiceText(const SelectiveBayes& model) {
    const AttributeSelection& s = model.selection();
    if (!s.made)
        return "Too many attributes and classes to choose a treatment for each: every numeric "
               "attribute has a normal distribution.";
    return "The treatments were chosen by " + std::to_string(kSelectionFolds) +
           "-fold cross-validation on " + std::to_string(s.records) +
           " training records: " + formatFixed(100.0 * s.accuracy, 2) + " % right, against " +
           formatFixed(100.0 * s.startAccuracy, 2) + " % with every attribute used.";
}

// Returns the picture of the run's model, or a line saying it has none.
std::string modelPicture(const Dataset& data, const RunResult& result) {
    const Model& model = *result.model;
    std::vector<RowIndex> all;
    const std::span<const RowIndex> rows = modelRows(data, result, all);
    if (const auto* tree = dynamic_cast<const interval::IntervalModel*>(&model))
        return pictures::treePicture(tree->tree(), data,
                                     {rows, result.kind != EvaluationKind::Applied});
    if (const auto* selective = dynamic_cast<const SelectiveBayes*>(&model))
        return pictures::bayesPicture(selective->model(), data, rows,
                                      pictures::escape(choiceText(*selective)));
    if (const auto* bayes = dynamic_cast<const NaiveBayes*>(&model))
        return pictures::bayesPicture(*bayes, data, rows, "");
    return "<p>" + pictures::escape(model.name()) + ": no picture.</p>\n";
}

pictures::PageHead pageHead(const Dataset& data, const ProgramInfo& info, const RunResult& result,
                            const std::string& runId) {
    pictures::PageHead head;
    head.title = info.name + " " + kProgramVersion + ": " + info.summary;
    head.data = data.dataPath();
    head.run = runId;
    head.result = resultLine(result);
    const RunNotes notes = runNotes(data, result);
    head.notes = {notes.limits, notes.reading, notes.run};
    return head;
}

}  // namespace

std::string runPage(const Dataset& data, const ProgramInfo& info, const RunResult& result,
                    const std::string& runId) {
    std::vector<pictures::PageSection> sections;
    const std::string heading = evaluationHeading(result);
    sections.push_back({"evaluation", heading,
                        pictures::confusionPicture(
                            result.evaluation, data.classValues(),
                            std::to_string(result.evaluation.total()) + " records evaluated")});
    if (result.kind == EvaluationKind::CrossValidation)
        sections.push_back(
            {"folds", "Accuracy of each fold", pictures::foldsPicture(result.foldAccuracies)});
    sections.push_back({"model", result.model->name(), modelPicture(data, result)});
    if (result.tuning)
        sections.push_back({"tuning", "Self-tuning", pictures::tuningPicture(*result.tuning)});
    return pictures::htmlPage(pageHead(data, info, result, runId), data.classValues(), sections);
}

}  // namespace mining
