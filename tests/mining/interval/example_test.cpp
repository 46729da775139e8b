// The three-attribute example of the interval classifier's authors: 10000 records of age,
// zipcode and elevel, class A when age < 40 and elevel in {0, 1}, or 40 <= age < 60 and elevel in
// {0 .. 3}, or age >= 60 and elevel = 0. The tree must say the same: checked on a grid of ages and
// levels (not by the tree's shape), both by classifying and by the rules of the report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "interval/rules.h"
#include "interval/tree.h"
#include "interval_test_data.h"

namespace mining::interval {
namespace {

bool generatingRule(double age, int elevel) {
    if (age < 40) return elevel <= 1;
    if (age < 60) return elevel <= 3;
    return elevel == 0;
}

// Returns true when the record (attribute values by column) meets the conjunction.
bool holds(const Conjunction& conj, double age, int zipcode, int elevel) {
    for (const Condition& c : conj) {
        if (c.numeric) {
            if (!(age >= c.lo && age < c.hi)) return false;
        } else {
            const int v = c.attribute == 1 ? zipcode : elevel;
            if (std::find(c.values.begin(), c.values.end(), v) == c.values.end()) return false;
        }
    }
    return true;
}

struct GridPoint {
    double age;
    int zipcode;
    int elevel;
};

class IntervalExample : public ::testing::TestWithParam<Binning> {
protected:
    void SetUp() override {
        std::mt19937_64 rng(2024);
        auto unit = [&] { return static_cast<double>(rng() >> 11) * 0x1.0p-53; };
        std::string text;
        char line[64];
        auto add = [&](double age, int zipcode, int elevel) {
            std::snprintf(line, sizeof line, "%.2f,%d,%d,%s\n", age, zipcode, elevel,
                          generatingRule(std::round(age * 100) / 100, elevel) ? "A" : "B");
            text += line;
        };
        for (int i = 0; i < kTraining; ++i) {
            const double age = 20 + 60 * unit();
            const int zipcode = static_cast<int>(rng() % 9);
            const int elevel = static_cast<int>(rng() % 5);
            add(age, zipcode, elevel);
        }
        // Ages 20.05 .. 79.95 in steps of 0.1, leaving out those within 0.5 of 40 and 60.
        for (int step = 0; step < 600; ++step) {
            const double age = 20.05 + 0.1 * step;
            if (std::fabs(age - 40) < 0.5 || std::fabs(age - 60) < 0.5) continue;
            for (int elevel = 0; elevel < 5; ++elevel) {
                const int zipcode = (step + elevel) % 9;
                grid_.push_back({std::round(age * 100) / 100, zipcode, elevel});
                add(age, zipcode, elevel);
            }
        }
        data_ =
            testing::parseOrFail(text,
                                 "A, B.\nage: continuous.\nzipcode: 0, 1, 2, 3, 4, 5, 6, 7, 8.\n"
                                 "elevel: 0, 1, 2, 3, 4.\n");
    }

    static constexpr int kTraining = 10000;
    Dataset data_;
    std::vector<GridPoint> grid_;
};

TEST_P(IntervalExample, TreeAndRulesMeanTheGeneratingRule) {
    ASSERT_EQ(data_.recordCount(), kTraining + grid_.size());
    TreeOptions options;
    options.binning = GetParam();
    const IntervalTree tree = IntervalTree::grow(data_, testing::rowRange(0, kTraining), options);
    const auto rules = extractRules(tree, data_.attributes(), data_.classCount());
    int wrong = 0;
    int wrongByRules = 0;
    for (std::size_t i = 0; i < grid_.size(); ++i) {
        const GridPoint& g = grid_[i];
        const bool expectA = generatingRule(g.age, g.elevel);
        const std::int32_t predicted = tree.classify(data_, static_cast<RowIndex>(kTraining + i));
        if ((predicted == 0) != expectA) {
            ++wrong;
            ADD_FAILURE() << "tree: age " << g.age << ", elevel " << g.elevel;
        }
        // Exactly one class's rule set holds, and it is the tree's class.
        int holding = 0;
        for (const RuleSet& r : rules) {
            for (const Conjunction& c : r.conjunctions) {
                if (holds(c, g.age, g.zipcode, g.elevel)) {
                    ++holding;
                    if (r.classCode != predicted) ++wrongByRules;
                }
            }
        }
        EXPECT_EQ(holding, 1) << "age " << g.age << ", elevel " << g.elevel;
        if (wrong + wrongByRules > 20) break;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(wrongByRules, 0);
    // The rules are short: the generating rule needs three conjunctions for A.
    EXPECT_LE(rules[0].conjunctions.size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Binnings, IntervalExample,
                         ::testing::Values(Binning::EqualWidth, Binning::EqualCount));

}  // namespace
}  // namespace mining::interval
