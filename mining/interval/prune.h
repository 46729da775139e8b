#pragma once

#include <vector>

#include "interval/tree.h"

namespace mining::interval {

// Pruning by estimated errors (pessimistic, after Quinlan): a leaf with n training records of
// which e are misclassified is expected to misclassify U(n, e) unseen records, U being the upper
// limit of the binomial confidence interval at confidence level cf:
//     e = 0:      U = n (1 - cf^(1/n))
//     0 < e < 1:  interpolated between e = 0 and e = 1
//     e + 0.5 >= n: U = e + 0.67 (n - e)
//     otherwise:  U = n (e + 1/2 + z^2/2 + z sqrt((e + 1/2)(1 - (e + 1/2)/n) + z^2/4)) / (n + z^2)
// with z the standard normal quantile of 1 - cf. A subtree's estimate is the sum over its leaves;
// a subtree (visited from the leaves up) becomes a leaf of its majority when the leaf's estimate is
// at most the subtree's estimate plus 0.1.

// Returns U(n, e) for confidence cf. Requires 0 < cf < 1, 0 <= e <= n.
double estimatedErrors(double n, double e, double cf);

// Prunes the nodes of a tree (node 0 the root, children after their parent) as above and
// renumbers the kept nodes in the same order. Requires 0 < cf < 1.
void pruneNodes(std::vector<TreeNode>& nodes, double cf);

}  // namespace mining::interval
