// A data set of some of another's rows, as a run over several processes sends them to one.
#include "data/dataset.h"

#include <gtest/gtest.h>

#include "data/reader.h"

namespace mining {
namespace {

TEST(DatasetRows, KeepTheirValuesStorageAndLinesInTheOrderAsked) {
    ReadOptions options;
    options.recordLines = true;
    const Result<Dataset> read =
        parseData("1.25,0.1,red,a\n2.5,1e300,?,b\n?,3,blue,a\n4,0.333333333333,red,b\n",
                  DataFormat::Records, std::nullopt, options, "t", "", 1);
    ASSERT_TRUE(read) << read.error();
    const std::vector<RowIndex> rows{3, 0, 2};
    const Dataset part = read->rowsOf(rows);
    ASSERT_EQ(part.recordCount(), 3u);
    EXPECT_EQ(part.classValues(), read->classValues());
    ASSERT_TRUE(part.numeric(0).decimals());
    EXPECT_EQ(part.numeric(0).fractionDigits(), read->numeric(0).fractionDigits());
    EXPECT_FALSE(part.numeric(1).decimals());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowIndex r = rows[i];
        for (const std::size_t a : {0u, 1u}) {
            const double x = part.numeric(a)[i], y = read->numeric(a)[r];
            EXPECT_TRUE(x == y || (isMissing(x) && isMissing(y))) << a << " " << i;
        }
        EXPECT_EQ(part.nominal(2)[i], read->nominal(2)[r]);
        EXPECT_EQ(part.classes()[i], read->classes()[r]);
        EXPECT_EQ(part.recordLines()[i], read->recordLines()[r]);
    }
}

}  // namespace
}  // namespace mining
