#include "pictures/confusion_picture.h"

#include <gtest/gtest.h>

#include <numeric>

namespace mining::pictures {
namespace {

// An evaluation of `k` classes where class c has c + 1 records, each predicted right except
// that every class's last record goes to class 0.
Evaluation staircase(std::size_t k) {
    Evaluation e(k);
    for (std::size_t c = 0; c < k; ++c)
        for (std::size_t i = 0; i <= c; ++i)
            e.add(static_cast<std::int32_t>(c), i == c ? 0 : static_cast<std::int32_t>(c));
    return e;
}

TEST(ShownClasses, ManyClassesKeepTheLargestAndShareOneRow) {
    const Evaluation e = staircase(45);
    const ShownClasses shown = shownClasses(e, kMatrixClasses);
    ASSERT_EQ(shown.classes.size(), kMatrixClasses - 1);
    EXPECT_EQ(shown.others, 45 - (kMatrixClasses - 1));
    EXPECT_EQ(shown.classes.front(), 45 - (kMatrixClasses - 1));  // the smallest ones share
    EXPECT_TRUE(std::is_sorted(shown.classes.begin(), shown.classes.end()));
    for (std::size_t c = 0; c < 6; ++c) EXPECT_EQ(shown.slot[c], kMatrixClasses - 1) << c;
    const ShownClasses all = shownClasses(staircase(5), kMatrixClasses);
    EXPECT_EQ(all.classes, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(all.others, 0u);
}

TEST(GroupedMatrix, KeepsEveryRecordInItsCell) {
    const Evaluation e = staircase(45);
    const ShownClasses shown = shownClasses(e, kMatrixClasses);
    const std::vector<std::size_t> cells = groupedMatrix(e, shown);
    const std::size_t n = kMatrixClasses;
    ASSERT_EQ(cells.size(), n * n);
    EXPECT_EQ(std::accumulate(cells.begin(), cells.end(), std::size_t{0}), e.total());
    // Classes 0..5 share the last row and column: their right records and those sent to 0.
    EXPECT_EQ(cells[(n - 1) * n + (n - 1)], 15u + 6u);
    // Class 44 (the last shown): 44 right, its last to class 0 in the shared column.
    EXPECT_EQ(cells[(n - 2) * n + (n - 2)], 44u);
    EXPECT_EQ(cells[(n - 2) * n + (n - 1)], 1u);
}

TEST(ConfusionPicture, NamesEveryClassAndLeavesUndefinedFiguresBlank) {
    Evaluation e(3);
    e.add(0, 0);
    e.add(0, 1);
    e.add(1, 1);  // class 2: no record, never predicted
    const std::string html = confusionPicture(e, {"a<1>", "b&2", "c\"3"}, "3 test records");
    for (const char* name : {"a&lt;1&gt;", "b&amp;2", "c&quot;3"})
        EXPECT_NE(html.find(name), std::string::npos) << name;
    EXPECT_NE(html.find("actual a&lt;1&gt;, predicted b&amp;2: 1 record (50.0 %"),
              std::string::npos);
    // Class c"3: a dash for its precision, recall and F1.
    const std::size_t row = html.find("<td class=\"name\" title=\"c&quot;3\">");
    ASSERT_NE(row, std::string::npos);
    const std::string rest = html.substr(row, html.find("</tr>", row) - row);
    std::size_t dashes = 0;
    for (std::size_t at = rest.find("&#8211;"); at != std::string::npos;
         at = rest.find("&#8211;", at + 1))
        ++dashes;
    EXPECT_EQ(dashes, 3u);
}

}  // namespace
}  // namespace mining::pictures
