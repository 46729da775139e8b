#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "evaluation/evaluation.h"

namespace mining::pictures {

// The most rows and columns the confusion matrix shows: up to this many classes each has its
// own; beyond, the kMatrixClasses - 1 classes with the most records have theirs, and one row
// and one column hold all the others together.
inline constexpr std::size_t kMatrixClasses = 40;

// The classes a picture of an evaluation shows one by one, and where every class goes.
struct ShownClasses {
    std::vector<std::size_t> classes;  // the classes shown, in class order
    std::size_t others = 0;            // the classes that share the last row ("other classes")
    std::vector<std::size_t> slot;     // per class: its row, an index into `classes`, or
                                       // classes.size() for the shared row
};

// Returns the classes of `evaluation` that a picture of at most `limit` rows shows: all of them
// when they fit, else the limit - 1 with the most records evaluated (a tie to the earlier
// class) and the rest in one shared row. Requires limit >= 2.
ShownClasses shownClasses(const Evaluation& evaluation, std::size_t limit);

// Returns the counts of the matrix of `shown`'s rows and columns, [row * n + column] with n the
// number of rows (the shared row last, when there is one): row is the actual class's slot,
// column the predicted one's.
std::vector<std::size_t> groupedMatrix(const Evaluation& evaluation, const ShownClasses& shown);

// Returns the HTML of the evaluation's pictures: the confusion matrix as a heat map (counts in
// the cells where they fit (none in an empty cell), every count and share on hover; a cell's colour
// is its share of its row: blue on the diagonal, where the records are right, vermilion off it),
// classes named on both sides, and each class's precision, recall and F1 as bars beside their
// values (no bar where a figure is undefined: the precision of a class never predicted, the recall
// of one with no record). `what` names the records evaluated ("50 test records").
std::string confusionPicture(const Evaluation& evaluation,
                             const std::vector<std::string>& classNames, const std::string& what);

}  // namespace mining::pictures
