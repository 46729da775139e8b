#pragma once

#include <cstddef>

#include "data/dataset.h"
#include "util/result.h"

namespace mining {

// The most class values a run learns. A classifier's figures grow with the classes (a naive
// Bayes table is values x classes per attribute, a confusion matrix classes x classes), and a
// column of that many values is almost always another column than the class: an identifier, a
// measurement, a date. Real tasks with more classes are rare on a desktop; the cap stops such a
// column in a second, long before memory runs out.
inline constexpr std::size_t kMaxClasses = 1000;

// From this many records on, a class with a different value in every record is refused: it
// names the records rather than sorting them into classes.
inline constexpr std::size_t kIdentifierClassRecords = 20;

// Returns an error, naming the class column and saying how to choose another, when `data`'s
// class has more than kMaxClasses values, or a different value in each of kIdentifierClassRecords
// records or more.
Status checkClassColumn(const Dataset& data);

}  // namespace mining
