#include "interval/prune.h"

#include <cmath>

namespace mining::interval {

namespace {

// Returns z with P(Z > z) = p for a standard normal Z, by bisection on erfc.
double upperQuantile(double p) {
    double lo = -10;
    double hi = 10;
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2;
        if (0.5 * std::erfc(mid / std::sqrt(2.0)) > p) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return (lo + hi) / 2;
}

double extraErrors(double n, double e, double cf, double z) {
    if (n <= 0) return 0;
    if (e < 1e-6) return n * (1 - std::pow(cf, 1 / n));
    if (e < 0.9999) {
        const double atZero = n * (1 - std::pow(cf, 1 / n));
        return atZero + e * (extraErrors(n, 1, cf, z) - atZero);
    }
    if (e + 0.5 >= n) return 0.67 * (n - e);
    const double c = z * z;
    const double f = e + 0.5;
    const double p = (f + c / 2 + z * std::sqrt(f * (1 - f / n) + c / 4)) / (n + c);
    return n * p - e;
}

struct Pruner {
    std::vector<TreeNode>& nodes;
    double cf;
    double z;

    double leafEstimate(const TreeNode& n) const {
        const double errors = n.total - n.counts[static_cast<std::size_t>(n.label)];
        return errors + extraErrors(n.total, errors, cf, z);
    }

    // Returns the estimated errors of the subtree at `index` after pruning below it.
    double prune(std::uint32_t index) {
        if (nodes[index].isLeaf()) return leafEstimate(nodes[index]);
        double subtree = 0;
        for (std::uint32_t c : nodes[index].children) subtree += prune(c);
        const double asLeaf = leafEstimate(nodes[index]);
        if (asLeaf <= subtree + 0.1) {
            TreeNode& n = nodes[index];
            n.attribute = -1;
            n.pruned = true;
            n.children.clear();
            n.cuts.clear();
            n.childValues.clear();
            n.childOfValue.clear();
            return asLeaf;
        }
        return subtree;
    }

    // Appends the node at `index` and its kept descendants to `out`, renumbered; returns its
    // new index.
    std::uint32_t copy(std::uint32_t index, std::vector<TreeNode>& out) {
        const auto at = static_cast<std::uint32_t>(out.size());
        out.push_back(std::move(nodes[index]));
        std::vector<std::uint32_t> children = out[at].children;
        for (std::uint32_t& c : children) c = copy(c, out);
        out[at].children = std::move(children);
        return at;
    }
};

}  // namespace

double estimatedErrors(double n, double e, double cf) {
    return e + extraErrors(n, e, cf, upperQuantile(cf));
}

void pruneNodes(std::vector<TreeNode>& nodes, double cf) {
    if (nodes.empty()) return;
    Pruner p{nodes, cf, upperQuantile(cf)};
    p.prune(0);
    std::vector<TreeNode> kept;
    p.copy(0, kept);
    nodes = std::move(kept);
}

}  // namespace mining::interval
