#pragma once

// Expects two data sets to hold the same attributes, values, classes and records, value for
// value (missing where the other is missing), for tests that read the same text two ways.
#include <gtest/gtest.h>

#include "data/dataset.h"

namespace mining {

inline void expectSame(const Dataset& a, const Dataset& b) {
    ASSERT_EQ(a.attributeCount(), b.attributeCount());
    ASSERT_EQ(a.recordCount(), b.recordCount());
    EXPECT_EQ(a.missingClassCount(), b.missingClassCount());
    EXPECT_EQ(a.classValues(), b.classValues());
    for (std::size_t i = 0; i < a.attributeCount(); ++i) {
        ASSERT_EQ(a.attribute(i).type, b.attribute(i).type) << i;
        EXPECT_EQ(a.attribute(i).values, b.attribute(i).values) << i;
        for (std::size_t r = 0; r < a.recordCount(); ++r) {
            if (a.attribute(i).type == AttributeType::Numeric) {
                const double x = a.numeric(i)[r];
                const double y = b.numeric(i)[r];
                ASSERT_TRUE(x == y || (isMissing(x) && isMissing(y))) << i << "," << r;
            } else if (a.attribute(i).type == AttributeType::Nominal) {
                ASSERT_EQ(a.nominal(i)[r], b.nominal(i)[r]) << i << "," << r;
            }
        }
    }
    for (std::size_t r = 0; r < a.recordCount(); ++r) ASSERT_EQ(a.classes()[r], b.classes()[r]);
}

}  // namespace mining
