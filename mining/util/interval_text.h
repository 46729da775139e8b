#pragma once

#include <string>
#include <string_view>

namespace mining {

// Which end of a numeric interval holds a value equal to it. The interval classifier sends a
// value equal to a cut to the branch above it (lo <= x < hi); naive Bayes's bins put it in the
// bin below (lo < x <= hi).
enum class ClosedEnd { Lower, Upper };

// Returns the condition "value of `name` lies in the interval from `lo` to `hi`" as the report
// writes it, with the relation at each end exact:
//   ClosedEnd::Lower: "name < hi", "lo <= name < hi", "name >= lo"
//   ClosedEnd::Upper: "name <= hi", "lo < name <= hi", "name > lo"
// An infinite end (-inf for lo, +inf for hi) is left out; with both left out the text is
// "any name". Cut points are written by shortestDecimal().
std::string intervalCondition(std::string_view name, double lo, double hi, ClosedEnd closed);

}  // namespace mining
