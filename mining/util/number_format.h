#pragma once

#include <string>

namespace mining {

// Returns `value` formatted with `decimals` fraction digits ("%.*f"), "-0.00" written "0.00".
std::string formatFixed(double value, int decimals);

// Returns `value` in at most `significant` significant digits ("%.*g").
std::string formatGeneral(double value, int significant = 6);

// Returns `value` as the shortest decimal that reads back as the same double, without an
// exponent for ordinary magnitudes ("39.495", "75000", "-0.25", "1e+20"), "-0" written "0".
// Cut points are written this way so that a reader can tell on which side of a cut any value
// falls; "%g" would round 5.0000001 and 5 to the same text.
std::string formatCutPoint(double value);

}  // namespace mining
