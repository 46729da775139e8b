#include "interval/rules.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace mining::interval {

namespace {

// Conditions with no effect: an interval over every number, or a set of every value.
bool excludesNothing(const Condition& c, const std::vector<Attribute>& attributes) {
    if (c.numeric) return std::isinf(c.lo) && c.lo < 0 && std::isinf(c.hi) && c.hi > 0;
    return c.values.size() >= attributes[static_cast<std::size_t>(c.attribute)].values.size();
}

// Adds `c` to the path, intersected with a condition already there on the same attribute.
Conjunction withCondition(Conjunction path, const Condition& c) {
    auto it = std::find_if(path.begin(), path.end(),
                           [&](const Condition& p) { return p.attribute >= c.attribute; });
    if (it != path.end() && it->attribute == c.attribute) {
        if (c.numeric) {
            it->lo = std::max(it->lo, c.lo);
            it->hi = std::min(it->hi, c.hi);
        } else {
            std::vector<std::int32_t> both;
            std::set_intersection(it->values.begin(), it->values.end(), c.values.begin(),
                                  c.values.end(), std::back_inserter(both));
            it->values = std::move(both);
        }
    } else {
        path.insert(it, c);
    }
    return path;
}

// Returns true, and sets `merged`, when a and b differ in exactly one condition and that pair
// joins into one: adjacent intervals or two value sets of one attribute.
bool tryMerge(const Conjunction& a, const Conjunction& b, Conjunction& merged) {
    if (a.size() != b.size()) return false;
    std::size_t differing = a.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].attribute != b[i].attribute) return false;
        if (a[i] == b[i]) continue;
        if (differing != a.size()) return false;
        differing = i;
    }
    if (differing == a.size()) {  // identical
        merged = a;
        return true;
    }
    const Condition& x = a[differing];
    const Condition& y = b[differing];
    Condition joined = x;
    if (x.numeric) {
        if (x.hi == y.lo) {
            joined.hi = y.hi;
        } else if (y.hi == x.lo) {
            joined.lo = y.lo;
        } else {
            return false;
        }
    } else {
        joined.values.clear();
        std::set_union(x.values.begin(), x.values.end(), y.values.begin(), y.values.end(),
                       std::back_inserter(joined.values));
    }
    merged = a;
    merged[differing] = std::move(joined);
    return true;
}

void simplify(std::vector<Conjunction>& conjunctions, std::vector<RuleFigures>& figures,
              const std::vector<Attribute>& attributes) {
    // Each pass compares every pair; a bound on the comparisons keeps a large tree's report quick
    // (the rules stay exact, only less compact).
    std::size_t budget = 20'000'000;
    bool changed = true;
    while (changed) {
        changed = false;
        for (std::size_t i = 0; i < conjunctions.size(); ++i) {
            for (std::size_t j = i + 1; j < conjunctions.size();) {
                if (budget-- == 0) return;
                Conjunction merged;
                if (tryMerge(conjunctions[i], conjunctions[j], merged)) {
                    std::erase_if(
                        merged, [&](const Condition& c) { return excludesNothing(c, attributes); });
                    conjunctions[i] = std::move(merged);
                    conjunctions.erase(conjunctions.begin() + static_cast<std::ptrdiff_t>(j));
                    figures[i].support += figures[j].support;
                    figures[i].correct += figures[j].correct;
                    figures.erase(figures.begin() + static_cast<std::ptrdiff_t>(j));
                    changed = true;
                } else {
                    ++j;
                }
            }
        }
    }
}

void collect(const IntervalTree& tree, const std::vector<Attribute>& attributes,
             std::uint32_t index, const Conjunction& path, std::vector<RuleSet>& out) {
    const TreeNode& node = tree.nodes()[index];
    if (node.isLeaf()) {
        RuleSet& rules = out[static_cast<std::size_t>(node.label)];
        rules.conjunctions.push_back(path);
        rules.figures.push_back({node.total, node.counts[static_cast<std::size_t>(node.label)]});
        return;
    }
    Condition c;
    c.attribute = node.attribute;
    c.numeric = node.numeric;
    for (std::size_t j = 0; j < node.children.size(); ++j) {
        if (node.numeric) {
            c.lo = j == 0 ? -INFINITY : node.cuts[j - 1];
            c.hi = j == node.cuts.size() ? INFINITY : node.cuts[j];
        } else {
            c.values = {node.childValues[j]};
        }
        collect(tree, attributes, node.children[j], withCondition(path, c), out);
    }
    if (!node.numeric) {
        Condition unseen = c;
        unseen.values.clear();
        const std::size_t valueCount =
            attributes[static_cast<std::size_t>(node.attribute)].values.size();
        for (std::size_t v = 0; v < valueCount; ++v) {
            if (v >= node.childOfValue.size() || node.childOfValue[v] < 0) {
                unseen.values.push_back(static_cast<std::int32_t>(v));
            }
        }
        if (!unseen.values.empty()) {
            RuleSet& rules = out[static_cast<std::size_t>(node.label)];
            rules.conjunctions.push_back(withCondition(path, unseen));
            rules.figures.push_back({});  // values no training record held here
        }
    }
}

}  // namespace

std::vector<RuleSet> extractRules(const IntervalTree& tree,
                                  const std::vector<Attribute>& attributes, std::size_t classCount,
                                  std::size_t maxToMerge) {
    std::vector<RuleSet> out(classCount);
    for (std::size_t m = 0; m < classCount; ++m) out[m].classCode = static_cast<std::int32_t>(m);
    if (tree.nodes().empty()) return out;
    collect(tree, attributes, 0, {}, out);
    for (RuleSet& rules : out) {
        if (rules.conjunctions.size() <= maxToMerge)
            simplify(rules.conjunctions, rules.figures, attributes);
        std::vector<std::size_t> order(rules.conjunctions.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&rules](std::size_t a, std::size_t b) {
            return rules.figures[a].support > rules.figures[b].support;
        });
        RuleSet sorted{rules.classCode, {}, {}};
        for (const std::size_t i : order) {
            sorted.conjunctions.push_back(std::move(rules.conjunctions[i]));
            sorted.figures.push_back(rules.figures[i]);
        }
        rules = std::move(sorted);
    }
    return out;
}

}  // namespace mining::interval
