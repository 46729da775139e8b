#pragma once

#include <string>

namespace mining {

// Returns `value` formatted with `decimals` fraction digits ("%.*f"), "-0.00" written "0.00".
std::string formatFixed(double value, int decimals);

// Returns `value` in at most `significant` significant digits ("%.*g").
std::string formatGeneral(double value, int significant = 6);

// Returns `value` as the shortest decimal that reads back as the same double, without an
// exponent for ordinary magnitudes (from 1e-4 to below 1e15: "39.495", "75000", "-0.25",
// "0.0001"; else "1e+20", "1e-05"). -0 is written "0": it equals 0 in every comparison a
// report, a SQL script or a predictions table makes, and "-0" reads as a different number.
// The one way every number that must read back exactly is written (cut points in the report
// and the SQL, probabilities in a predictions table): "%g" would round 5.0000001 and 5 to the
// same text.
std::string shortestDecimal(double value);

}  // namespace mining
