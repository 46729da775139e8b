// A tree's saved figures read back: its settings, the limit of branches among them.
#include <gtest/gtest.h>

#include "interval/tree.h"
#include "interval_test_data.h"
#include "model/json_document.h"
#include "model/model_file.h"

namespace mining::interval {
namespace {

ModelSchema schemaOf(const Dataset& data) {
    ModelSchema schema;
    schema.attributes = data.attributes();
    schema.classValues = data.classValues();
    return schema;
}

IntervalTree loadFrom(const nlohmann::json& saved, const ModelSchema& schema) {
    return IntervalTree::load(JsonDocument::of(saved).root(), schema);
}

TEST(IntervalTreeFile, TheLimitOfBranchesReadsBackAndOlderFilesHaveNone) {
    const Result<Dataset> data = readDataset(std::string(EXAMPLES_DIR) + "/diabetes");
    ASSERT_TRUE(data) << data.error();
    TreeOptions options;
    options.maxBranches = 3;
    const IntervalTree tree = IntervalTree::grow(
        *data, testing::rowRange(0, static_cast<RowIndex>(data->recordCount())), options);
    const ModelSchema schema = schemaOf(*data);
    nlohmann::json saved = tree.save();
    const IntervalTree back = loadFrom(saved, schema);
    EXPECT_EQ(back.options().maxBranches, 3);
    EXPECT_EQ(back.save(), saved);
    // A file written before splits could be limited has no such field: no limit.
    saved.erase("max branches");
    const IntervalTree older = loadFrom(saved, schema);
    EXPECT_EQ(older.options().maxBranches, 0);
    EXPECT_EQ(older.nodes().size(), tree.nodes().size());
    for (const int bad : {1, -2}) {
        saved["max branches"] = bad;
        EXPECT_THROW(loadFrom(saved, schema), ModelFileError) << bad;
    }
}

}  // namespace
}  // namespace mining::interval
