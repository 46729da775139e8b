#include "evaluation/evaluation.h"

#include <gtest/gtest.h>

#include <sstream>

#include "util/display_width.h"

namespace mining {
namespace {

// actual \ predicted:  a  b
//                  a   3  1
//                  b   2  4
Evaluation worked() {
    Evaluation e(2);
    const std::vector<std::int32_t> actual{0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
    const std::vector<std::int32_t> predicted{0, 0, 0, 1, 0, 0, 1, 1, 1, 1};
    e.addAll(actual, predicted);
    return e;
}

TEST(Evaluation, FiguresMatchTheWorkedExample) {
    const Evaluation e = worked();
    EXPECT_EQ(e.total(), 10u);
    EXPECT_EQ(e.correct(), 7u);
    EXPECT_EQ(e.count(1, 0), 2u);
    EXPECT_DOUBLE_EQ(e.accuracy(), 0.7);
    // pe = 0.4 * 0.5 + 0.6 * 0.5 = 0.5, kappa = (0.7 - 0.5) / 0.5
    EXPECT_DOUBLE_EQ(e.kappa(), 0.4);
    EXPECT_DOUBLE_EQ(e.precision(0), 0.6);
    EXPECT_DOUBLE_EQ(e.recall(0), 0.75);
    EXPECT_NEAR(e.f1(0), 2 * 0.6 * 0.75 / 1.35, 1e-12);
    EXPECT_DOUBLE_EQ(e.precision(1), 0.8);
    EXPECT_NEAR(e.recall(1), 4.0 / 6.0, 1e-12);
    EXPECT_EQ(e.support(1), 6u);
}

TEST(Evaluation, EmptyRatiosAreZeroAndPerfectAgreementIsKappaOne) {
    Evaluation e(3);
    e.add(0, 0);
    e.add(0, 0);
    EXPECT_EQ(e.precision(2), 0.0);
    EXPECT_EQ(e.recall(1), 0.0);
    EXPECT_EQ(e.f1(1), 0.0);
    EXPECT_EQ(e.kappa(), 1.0);  // pe = 1, all correct
    e.add(0, 1);
    EXPECT_NEAR(e.kappa(), 0.0, 1e-12);
    EXPECT_EQ(Evaluation(2).accuracy(), 0.0);
}

TEST(Evaluation, UndefinedFiguresShowAsADash) {
    Evaluation one(2);  // one class, always predicted: chance agreement is certain
    for (int i = 0; i < 5; ++i) one.add(0, 0);
    std::ostringstream out;
    writeEvaluation(one, {"only", "never"}, false, out);
    EXPECT_NE(out.str().find("Kappa: -\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("  never          -       -       -        0\n"), std::string::npos)
        << out.str();
    Evaluation mixed(2);  // class b held but never predicted: its precision is undefined
    mixed.add(0, 0);
    mixed.add(1, 0);
    std::ostringstream two;
    writeEvaluation(mixed, {"a", "b"}, false, two);
    EXPECT_NE(two.str().find("Kappa: 0.0000\n"), std::string::npos) << two.str();
    EXPECT_NE(two.str().find("  b              -  0.0000       -        1\n"), std::string::npos)
        << two.str();
}

TEST(Evaluation, ReportSectionHasTheAccuracyLineAndNamedMatrix) {
    std::ostringstream out;
    writeEvaluation(worked(), {"good", "bad"}, false, out);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("Accuracy: 70.00 % (7 of 10 test records correct)\nKappa: 0.4000\n", 0),
              0u)
        << text;
    EXPECT_NE(text.find("  good      0.6000  0.7500  0.6667        4\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  actual \\ predicted  good  bad\n"
                        "  good                   3    1\n"
                        "  bad                    2    4\n"),
              std::string::npos)
        << text;
    std::ostringstream training;
    writeEvaluation(worked(), {"good", "bad"}, true, training);
    EXPECT_NE(training.str().find("(7 of 10 training records correct)"), std::string::npos);
}

TEST(Evaluation, ManyLongOrWideClassNamesKeepEveryLineWithin80Columns) {
    // 30 classes, some named at the longest a report shows, some in wide characters.
    std::vector<std::string> names;
    for (int c = 0; c < 30; ++c) {
        names.push_back(c % 2 ? std::string(60, 'a' + c % 26)
                              : "\xE6\x9D\xB1\xE4\xBA\xAC" + std::to_string(c));
    }
    Evaluation e(names.size());
    for (std::int32_t c = 0; c < 30; ++c) e.add(c, (c * 7) % 30);
    std::ostringstream out;
    writeEvaluation(e, names, false, out);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(displayWidth(line), 80u) << line;
    }
    // The columns are numbered, and the key names each class.
    EXPECT_NE(out.str().find("  (1) \xE6\x9D\xB1\xE4\xBA\xAC"
                             "0 "),
              std::string::npos)
        << out.str();
}

TEST(Evaluation, NamesNumberedByWidthNotBytes) {
    // Seven wide characters take 14 columns (21 bytes): the columns are numbered.
    std::string wide;
    for (int i = 0; i < 7; ++i) wide += "\xE6\x9D\xB1";
    std::ostringstream out;
    writeEvaluation(worked(), {wide, "b"}, false, out);
    EXPECT_NE(out.str().find("  actual \\ predicted"), std::string::npos);
    EXPECT_NE(out.str().find("(1)  (2)\n"), std::string::npos) << out.str();
    // Six take 12 columns though 18 bytes: they head their column.
    const std::string six = wide.substr(3);
    std::ostringstream named;
    writeEvaluation(worked(), {six, "b"}, false, named);
    EXPECT_NE(named.str().find(six + "  b\n"), std::string::npos) << named.str();
}

}  // namespace
}  // namespace mining

namespace mining {
namespace {

// Beyond 256 classes the matrix keeps only the cells that count: every figure must be what the
// whole matrix gives.
TEST(Evaluation, ManyClassesGiveTheFiguresOfTheWholeMatrix) {
    const std::size_t k = 600;
    Evaluation sparse(k);
    std::vector<std::vector<std::size_t>> whole(k, std::vector<std::size_t>(k, 0));
    std::uint64_t x = 7;
    for (int i = 0; i < 20000; ++i) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        const auto a = static_cast<std::int32_t>((x >> 33) % k);
        const auto p = (x >> 20) % 4 == 0 ? static_cast<std::int32_t>((x >> 40) % k) : a;
        sparse.add(a, p);
        ++whole[static_cast<std::size_t>(a)][static_cast<std::size_t>(p)];
    }
    std::size_t correct = 0;
    std::vector<std::size_t> support(k, 0), predicted(k, 0);
    for (std::size_t a = 0; a < k; ++a)
        for (std::size_t p = 0; p < k; ++p) {
            ASSERT_EQ(sparse.count(a, p), whole[a][p]);
            support[a] += whole[a][p];
            predicted[p] += whole[a][p];
            if (a == p) correct += whole[a][p];
        }
    EXPECT_EQ(sparse.correct(), correct);
    for (std::size_t c = 0; c < k; ++c) {
        EXPECT_EQ(sparse.support(c), support[c]);
        EXPECT_EQ(sparse.predictedCount(c), predicted[c]);
    }
    // The confusions are the cells off the diagonal, largest first, summing to the wrong ones.
    const std::vector<Evaluation::Confusion> cells = sparse.confusions();
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_NE(cells[i].actual, cells[i].predicted);
        EXPECT_EQ(cells[i].count, whole[cells[i].actual][cells[i].predicted]);
        if (i > 0) {
            EXPECT_GE(cells[i - 1].count, cells[i].count);
        }
        wrong += cells[i].count;
    }
    EXPECT_EQ(wrong, sparse.total() - correct);
    // Pooling two evaluations adds them cell by cell.
    Evaluation pooled(k);
    pooled.addEvaluation(sparse);
    pooled.addEvaluation(sparse);
    EXPECT_EQ(pooled.total(), 2 * sparse.total());
    EXPECT_EQ(pooled.count(cells[0].actual, cells[0].predicted), 2 * cells[0].count);
    EXPECT_EQ(pooled.kappa(), sparse.kappa());
}

}  // namespace
}  // namespace mining
