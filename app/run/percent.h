#pragma once

#include <QString>
#include <optional>

namespace classifiers {

// Reads the percentage field: a plain decimal number with "." as the decimal point whatever the
// locale (digits with at most one ".", at least one digit, an optional sign and exponent, spaces
// around it ignored). Returns nothing for any other text: empty, a lone ".", "1.2.3", letters,
// or a number too large for a double.
std::optional<double> parsePercent(const QString& text);

// Returns whether `percent` lies in [0, 100]; 0 and 100 themselves are in range.
bool percentInRange(double percent);

// Writes `percent` as the classifier receives it: plain decimal, shortest form with at most 15
// significant digits, "." as the point, no exponent, no trailing zeros and no point for a whole
// number (66.67 -> "66.67", 70 -> "70", 0.5 -> "0.5", 100.0 -> "100").
QString percentText(double percent);

}  // namespace classifiers
