#include "bayes/naive_bayes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <sstream>

#include "bayes_test_data.h"
#include "data/reader.h"

namespace mining {
namespace {

constexpr const char* kWeatherNames =
    "yes, no.\n"
    "outlook: sunny, overcast, rainy.\n"
    "temperature: hot, mild, cool.\n"
    "humidity: high, normal.\n"
    "windy: TRUE, FALSE.\n";
constexpr const char* kWeather =
    "sunny,hot,high,FALSE,no\nsunny,hot,high,TRUE,no\novercast,hot,high,FALSE,yes\n"
    "rainy,mild,high,FALSE,yes\nrainy,cool,normal,FALSE,yes\nrainy,cool,normal,TRUE,no\n"
    "overcast,cool,normal,TRUE,yes\nsunny,mild,high,FALSE,no\nsunny,cool,normal,FALSE,yes\n"
    "rainy,mild,normal,FALSE,yes\nsunny,mild,normal,TRUE,yes\novercast,mild,high,TRUE,yes\n"
    "overcast,hot,normal,FALSE,yes\nrainy,mild,high,TRUE,no\n"
    // The record to predict (row 14), and one with everything missing but the class (row 15).
    "sunny,cool,high,TRUE,no\n?,?,?,?,no\n";

TEST(NaiveBayes, NominalFiguresMatchTheHandCount) {
    const Dataset d = parse(kWeather, kWeatherNames);
    std::vector<RowIndex> train(14);
    std::iota(train.begin(), train.end(), RowIndex{0});
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, train).ok());
    // 9 yes, 5 no of 14; Laplace over 2 classes.
    EXPECT_DOUBLE_EQ(model.prior(0), 10.0 / 16.0);
    EXPECT_DOUBLE_EQ(model.prior(1), 6.0 / 16.0);
    // outlook | yes: sunny 2, overcast 4, rainy 3 of 9; | no: 3, 0, 2 of 5.
    EXPECT_NEAR(model.probability(0, 0, 0), 3.0 / 12.0, 1e-12);
    EXPECT_NEAR(model.probability(0, 0, 1), 5.0 / 12.0, 1e-12);
    EXPECT_NEAR(model.probability(0, 1, 1), 1.0 / 8.0, 1e-12);
    // windy | no: TRUE 3, FALSE 2 of 5.
    EXPECT_NEAR(model.probability(3, 1, 0), 4.0 / 7.0, 1e-12);
    // sunny, cool, high, TRUE:
    //   yes: 10/16 * 3/12 * 4/12 * 4/11 * 4/11 = 0.00689
    //   no:   6/16 * 4/8  * 2/8  * 5/7  * 4/7  = 0.01913
    EXPECT_EQ(model.predict(d, 14), 1);
    // Nothing known: the prior decides.
    EXPECT_EQ(model.predict(d, 15), 0);
}

TEST(NaiveBayes, MissingValuesStayOutOfTheCounts) {
    const Dataset d = parse("a,x\n?,x\na,x\nb,y\n", "x, y.\nv: a, b.\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    // v | x: a 2 of 2 present (the '?' is not counted) -> (2+1)/(2+2).
    EXPECT_DOUBLE_EQ(model.probability(0, 0, 0), 3.0 / 4.0);
    EXPECT_DOUBLE_EQ(model.prior(0), 4.0 / 6.0);  // the record with '?' still counts for x
}

TEST(NaiveBayes, NormalFiguresAndTheStandardDeviationFloor) {
    // a: 1, 2, 3 (mean 2, variance 1, 2 degrees of freedom); b: 10, 10 (variance 0, 1 degree).
    // Pooled within-class variance (2 * 1 + 1 * 0) / 3 = 2/3; drawn towards it with weight 2:
    //   a: (2 * 1 + 2 * 2/3) / 4 = 5/6      b: (1 * 0 + 2 * 2/3) / 3 = 4/9 (sd 2/3)
    // Floor: 0.2 * sd of all five values (variance 78.8 / 4) = 0.888, above b's 2/3.
    const Dataset d = parse("1,a\n2,a\n3,a\n10,b\n10,b\n?,a\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_DOUBLE_EQ(model.mean(0, 0), 2.0);
    EXPECT_NEAR(model.stdDev(0, 0), std::sqrt(5.0 / 6.0), 1e-12);
    EXPECT_DOUBLE_EQ(model.mean(0, 1), 10.0);
    EXPECT_NEAR(model.stdDev(0, 1), 0.2 * std::sqrt(78.8 / 4), 1e-12);
    EXPECT_DOUBLE_EQ(model.prior(0), 5.0 / 8.0);
    const Dataset probe = parse("6,a\n9.5,a\n3,a\n1,b\n10,b\n10,b\n");
    std::vector<std::int32_t> predicted;
    model.predictRows(probe, allRows(probe), predicted);
    EXPECT_EQ(predicted, (std::vector<std::int32_t>{0, 1, 0, 0, 1, 1}));
}

TEST(NaiveBayes, AClassWithOneValueTakesThePooledSpread) {
    // a: 0, 4 (variance 8, the only class with two values, so the pooled variance is 8);
    // b: only 2. The overall standard deviation (of 0, 2, 4) would be 2.
    const Dataset d = parse("0,a\n4,a\n2,b\n?,b\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_DOUBLE_EQ(model.mean(0, 1), 2.0);
    EXPECT_NEAR(model.stdDev(0, 1), std::sqrt(8.0), 1e-12);
    EXPECT_NEAR(model.stdDev(0, 0), std::sqrt(8.0), 1e-12);
}

TEST(NaiveBayes, ANarrowClassGetsTheProbabilityOfTheValuesInterval) {
    // a: 2, 2, 2 (variance 0, 2 degrees of freedom); b: 1, 3 (variance 2, 1 degree).
    // Pooled 2/3; a: (0 + 2 * 2/3) / 4 = 1/3; b: (2 + 2 * 2/3) / 3 = 10/9. Distinct values 1, 2,
    // 3: resolution 1; both spreads are below 4 resolutions, so the interval is integrated.
    const Dataset d = parse("2,a\n2,a\n2,a\n1,b\n3,b\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_DOUBLE_EQ(model.resolution(0), 1.0);
    EXPECT_NEAR(model.stdDev(0, 0), std::sqrt(1.0 / 3.0), 1e-12);
    // P(1.5 < X <= 2.5) with X ~ N(2, sd) is erf(0.5 / (sd sqrt 2)).
    EXPECT_NEAR(model.logLikelihood(0, 0, 2.0), std::log(std::erf(0.5 / std::sqrt(2.0 / 3.0))),
                1e-12);
    EXPECT_NEAR(model.logLikelihood(0, 1, 2.0), std::log(std::erf(0.5 / std::sqrt(20.0 / 9.0))),
                1e-12);
    // Off centre: P(2.5 < X <= 3.5) for b, whose mean is 2.
    const double sdB = std::sqrt(10.0 / 9.0);
    EXPECT_NEAR(model.logLikelihood(0, 1, 3.0),
                std::log(0.5 * (std::erf(1.5 / (sdB * std::sqrt(2.0))) -
                                std::erf(0.5 / (sdB * std::sqrt(2.0))))),
                1e-12);
}

TEST(NaiveBayes, AWideClassUsesResolutionTimesDensity) {
    // Values 0..100 in steps of 1 for both classes: resolution 1, sd about 29 >> 4.
    std::string data;
    for (int i = 0; i <= 100; ++i) data += std::to_string(i) + (i % 2 ? ",a\n" : ",b\n");
    const Dataset d = parse(data);
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_DOUBLE_EQ(model.resolution(0), 1.0);
    const double sd = model.stdDev(0, 0);
    const double z = (70.0 - model.mean(0, 0)) / sd;
    EXPECT_NEAR(model.logLikelihood(0, 0, 70.0),
                std::log(1.0 / (sd * std::sqrt(2 * std::numbers::pi))) - z * z / 2, 1e-12);
}

TEST(NaiveBayes, ATieGoesToTheClassListedFirst) {
    const Dataset d = parse("1,u,a\n3,v,a\n1,u,b\n3,v,b\n", "b, a.\nx: continuous.\ny: u, v.\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    for (RowIndex r = 0; r < 4; ++r) EXPECT_EQ(model.predict(d, r), 0);
}

// Constant columns are listed together in a line or two, not one line or table each.
TEST(NaiveBayes, ConstantAttributesAreLeftOutAndListedTogether) {
    const Dataset d = parse("5,7,0,1,k,a\n5,7,0,2,k,a\n5,7,0,8,k,b\n5,7,0,9,k,b\n5,7,0,9,?,b\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    for (std::size_t a = 0; a < 3; ++a) EXPECT_FALSE(model.uses(a)) << a;
    EXPECT_TRUE(model.uses(3));
    std::ostringstream out;
    model.describe(d, out);
    EXPECT_NE(out.str().find("  the same value in every training record (3):\n    a1, a2, a3\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("single value in the training records, no table (1):\n  a5\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("P(value | class)"), std::string::npos);
}

// The table shows each class's own mean and sample standard deviation beside the standard
// deviation the model uses; a class with one value has no sample deviation, and a class with
// none takes the overall mean, marked.
TEST(NaiveBayes, TheNormalTableShowsSampleFiguresBesideTheModels) {
    const Dataset d = parse("1,a\n1.2,a\n1.4,a\n5,b\n?,c\n", "a, b, c.\nx: continuous.\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    std::ostringstream out;
    model.describe(d, out);
    const std::string text = out.str();
    EXPECT_NE(text.find("  x  mean          1.2         5     2.15*"), std::string::npos) << text;
    EXPECT_NE(text.find("     sd            0.2         -         -"), std::string::npos) << text;
    EXPECT_NEAR(model.sampleStdDev(0, 0), 0.2, 1e-12);
    EXPECT_GT(model.stdDev(0, 0), 0.2);  // drawn towards the pooled spread, and floored
    EXPECT_TRUE(std::isnan(model.sampleStdDev(0, 1)));
    EXPECT_NE(text.find("* no values in the class"), std::string::npos);
}

TEST(NaiveBayes, ValuesWhoseSquaresOverflowOrVanishAreLeftOutAndTheReportSaysWhy) {
    // Their variance is inf - inf or 0: no normal distribution, and not "the same value".
    for (const char* data : {"1.7e308,a\n1.6e308,a\n-1.7e308,b\n-1.5e308,b\n",
                             "1e-320,a\n2e-320,a\n5e-320,b\n6e-320,b\n"}) {
        const Dataset d = parse(data);
        NaiveBayes model;
        ASSERT_TRUE(model.train(d, allRows(d)).ok());
        EXPECT_FALSE(model.uses(0));
        std::ostringstream out;
        model.describe(d, out);
        EXPECT_NE(out.str().find("  values too large or too small in size to model as a normal "
                                 "distribution (1):\n    a1\n"),
                  std::string::npos)
            << out.str();
        EXPECT_EQ(out.str().find("nan"), std::string::npos);
    }
    // Large values whose spread squares well are modelled: it is the spread that counts.
    const Dataset large = parse(
        "1e160,a\n1.0000000002e160,a\n1.000000001e160,b\n"
        "1.0000000012e160,b\n");
    NaiveBayes model;
    ASSERT_TRUE(model.train(large, allRows(large)).ok());
    EXPECT_TRUE(model.uses(0));
    EXPECT_DOUBLE_EQ(model.mean(0, 1), 1.0000000011e160);
    EXPECT_NEAR(model.sampleStdDev(0, 0), std::sqrt(2.0) * 1e150, 1e145);
}

TEST(NaiveBayes, DiscretizedModelCountsBins) {
    std::string data;
    for (int i = 1; i <= 20; ++i) data += std::to_string(i) + (i <= 10 ? ",lo\n" : ",hi\n");
    const Dataset d = parse(data);
    NaiveBayes model(NumericMode::Discretize);
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    ASSERT_EQ(model.cutPoints(0), (std::vector<double>{10.5}));
    // bin 0 | lo: 10 of 10 over 2 bins -> 11/12.
    EXPECT_DOUBLE_EQ(model.probability(0, 0, 0), 11.0 / 12.0);
    EXPECT_EQ(model.predict(d, 3), 0);
    EXPECT_EQ(model.predict(d, 15), 1);
    std::ostringstream out;
    model.describe(d, out);
    // binOf() puts a value equal to a cut in the lower bin; the labels say so.
    EXPECT_NE(out.str().find("  Bin             lo      hi\n"
                             "  a1 <= 10.5  0.9167  0.0833\n"
                             "  a1 > 10.5   0.0833  0.9167\n"),
              std::string::npos)
        << out.str();
}

TEST(NaiveBayes, DescriptionShowsPriorsAndPerClassFigures) {
    const Dataset d = parse(kWeather, kWeatherNames);
    NaiveBayes model;
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    std::ostringstream out;
    model.describe(d, out);
    const std::string text = out.str();
    EXPECT_NE(text.find("  Class  Training records   Prior\n"
                        "  yes                   9  0.5556\n"
                        "  no                    7  0.4444\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("outlook: P(value | class)\n"), std::string::npos);
    EXPECT_NE(text.find("  overcast  0.4167  0.1111\n"), std::string::npos) << text;
}

// a: 0, 2, 4, 6 and two missing; b: 10 nine times and 11. Distinct values 0, 2, 4, 6, 10, 11:
// resolution 11 / 5 = 2.2. Bandwidths: a max(2.2 / 6, 6 / sqrt(4)) = 3 (range rule), b
// max(2.2 / 6, 1 / sqrt(10)) = 2.2 / 6 (the floor, a sixth of the resolution). Both below 4 r:
// narrow, so a kernel gives the probability of the value's interval.
constexpr const char* kKernelData =
    "0,a\n2,a\n?,a\n4,a\n6,a\n?,a\n10,b\n10,b\n10,b\n10,b\n10,b\n10,b\n10,b\n10,b\n"
    "10,b\n11,b\n";

TEST(NaiveBayes, KernelBandwidthIsTheRangeRuleAboveASixthOfTheResolution) {
    const Dataset d = parse(kKernelData);
    NaiveBayes model(NumericMode::Kernel);
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_DOUBLE_EQ(model.resolution(0), 2.2);
    EXPECT_EQ(model.kernels(0, 0).kernelCount(), 4u);  // the missing values are left out
    EXPECT_DOUBLE_EQ(model.kernels(0, 0).bandwidth(), 3.0);
    const double h = 2.2 / 6;
    EXPECT_DOUBLE_EQ(model.kernels(0, 1).bandwidth(), h);
    // P(10 | b) = (9 k(0) + k(-1 / h)) / 10, k(t) = Phi(t + rho) - Phi(t - rho), rho = 2.2 / 2h.
    const double rho = 2.2 / (2 * h);
    const auto k = [rho](double t) {
        return 0.5 * (std::erf((t + rho) / std::sqrt(2.0)) - std::erf((t - rho) / std::sqrt(2.0)));
    };
    EXPECT_NEAR(model.logLikelihood(0, 1, 10.0), std::log((9 * k(0) + k(-1 / h)) / 10), 1e-12);
    std::ostringstream out;
    model.describe(d, out);
    EXPECT_NE(out.str().find("Naive Bayes (numeric attributes: kernel density per class)\n"),
              std::string::npos);
    EXPECT_NE(out.str().find("Numeric attributes: kernels and bandwidth per class\n"
                             "  Attribute      a         b\n"
                             "  a1  kernels    4        10\n"
                             "      bandwidth  3  0.366667\n"),
              std::string::npos)
        << out.str();
    // A missing value to predict adds no term: the prior decides.
    EXPECT_EQ(model.predict(parse("?,a\n"), 0), 1);
}

// a: two tight clusters, around 2 and around 8; b: spread evenly from 0 to 10. One normal
// distribution per class puts both at a mean near 5 with a similar spread, so it cannot tell
// them apart; the kernels see a's two clusters and b's values between them.
TEST(NaiveBayes, KernelsFitABimodalClassThatOneNormalDoesNot) {
    std::string data;
    for (int i = 0; i <= 40; ++i) {
        data += std::to_string(1.5 + i / 40.0) + ",a\n";
        data += std::to_string(7.5 + i / 40.0) + ",a\n";
    }
    for (int i = 0; i < 60; ++i) data += std::to_string(i / 5.9) + ",b\n";
    const Dataset d = parse(data);
    const Dataset probe = parse("2,a\n5,b\n8,a\n");
    const std::vector<std::int32_t> truth{0, 1, 0};
    std::vector<std::int32_t> kernel, normal;
    NaiveBayes kernelModel(NumericMode::Kernel), normalModel(NumericMode::Normal);
    ASSERT_TRUE(kernelModel.train(d, allRows(d)).ok());
    ASSERT_TRUE(normalModel.train(d, allRows(d)).ok());
    kernelModel.predictRows(probe, allRows(probe), kernel);
    normalModel.predictRows(probe, allRows(probe), normal);
    EXPECT_EQ(kernel, truth);
    EXPECT_NE(normal, truth);
}

// The mixtures are summed in order of value, each distinct value at once: the records' order
// (and so how processes share them) changes no bit of any probability, nor does the way the
// values are stored (decimals counted over their range, or doubles sorted).
TEST(NaiveBayes, KernelProbabilitiesDoNotDependOnTheRecordsOrderNorOnTheStorage) {
    for (const bool shortDecimals : {true, false}) {
        std::string data;
        for (int i = 0; i < 3000; ++i) {
            const int k = (i * 7919) % 613;
            data += (shortDecimals ? std::to_string(k / 10) + "." + std::to_string(k % 10)
                                   : std::to_string(k / 7.0)) +
                    "," + (i % 3 ? "a" : "b") + "\n";
        }
        Dataset d = parse(data);
        std::vector<RowIndex> rows = allRows(d);
        NaiveBayes forward(NumericMode::Kernel), shuffled(NumericMode::Kernel),
            doubles(NumericMode::Kernel);
        ASSERT_TRUE(forward.train(d, rows).ok());
        for (std::size_t i = 0; i < rows.size(); ++i)
            std::swap(rows[i], rows[(i * 104729) % rows.size()]);
        ASSERT_TRUE(shuffled.train(d, rows).ok());
        ASSERT_TRUE(d.numeric(0).decimals());
        ASSERT_TRUE(d.storeNumbers(0, -1));
        ASSERT_FALSE(d.numeric(0).decimals());
        ASSERT_TRUE(doubles.train(d, rows).ok());
        for (double x = -10; x < 100; x += 0.37)
            for (std::size_t c = 0; c < 2; ++c) {
                ASSERT_EQ(forward.logLikelihood(0, c, x), shuffled.logLikelihood(0, c, x)) << x;
                ASSERT_EQ(forward.logLikelihood(0, c, x), doubles.logLikelihood(0, c, x)) << x;
            }
    }
}

// A class with no value of an attribute takes the kernels of all values: neither a free pass
// (no term while the others' terms are below zero) nor a penalty.
TEST(NaiveBayes, AClassWithNoValuesTakesTheKernelsOfAllValues) {
    const Dataset d =
        parse("1,a\n2,a\n3,a\n7,b\n8,b\n9,b\n?,c\n?,c\n", "a, b, c.\nx: continuous.\n");
    NaiveBayes model(NumericMode::Kernel);
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    EXPECT_EQ(model.kernels(0, 2).kernelCount(), 6u);
    EXPECT_DOUBLE_EQ(model.kernels(0, 2).bandwidth(), 8 / std::sqrt(6.0));
    // Half of all values lie near 2, all of a's do.
    EXPECT_GT(model.logLikelihood(0, 0, 2.0), model.logLikelihood(0, 2, 2.0));
    EXPECT_EQ(model.predict(d, 1), 0);
    EXPECT_EQ(model.predict(d, 4), 1);
    std::ostringstream out;
    model.describe(d, out);
    EXPECT_NE(out.str().find("  x  kernels         3       3       6*\n"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("  * no values in the class: the kernels of all training values\n"),
              std::string::npos);
}

// Far beyond every training value, each class's sum of kernels underflows to zero; the class
// whose values lie nearer must still win.
TEST(NaiveBayes, FarFromEveryValueTheNearerClassWins) {
    const Dataset d = parse("0,a\n1,a\n2,a\n5,b\n6,b\n7,b\n");
    NaiveBayes model(NumericMode::Kernel);
    ASSERT_TRUE(model.train(d, allRows(d)).ok());
    const Dataset probe = parse("-500,a\n500,b\n");
    std::vector<std::int32_t> predicted;
    model.predictRows(probe, allRows(probe), predicted);
    EXPECT_EQ(predicted, (std::vector<std::int32_t>{0, 1}));
}

}  // namespace
}  // namespace mining
