// Writing and reading interval trees in model files (model/model_file.h).
#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

#include "interval/tree.h"

namespace mining::interval {

using model_json::Json;
using model_json::require;

namespace {

constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint32_t>::max();
constexpr int kMaxTreeDepth = 1000;

Json saveNode(const TreeNode& node) {
    Json out{{"counts", node.counts}, {"total", node.total},        {"label", node.label},
             {"depth", node.depth},   {"winner", node.winner},      {"strong", node.strong},
             {"pruned", node.pruned}, {"attribute", node.attribute}};
    if (node.isLeaf()) return out;
    out["children"] = node.children;
    out["missing child"] = node.missingChild;
    if (node.numeric) {
        out["cuts"] = node.cuts;
    } else {
        out["child values"] = node.childValues;
        out["child of value"] = node.childOfValue;
    }
    return out;
}

std::vector<std::int32_t> integers(JsonValue object, std::string_view key, std::int64_t low,
                                   std::int64_t high) {
    const JsonValue list = model_json::array(object, key);
    std::vector<std::int32_t> out;
    out.reserve(list.size());
    const auto name = [key] { return "\"" + std::string(key) + "\""; };
    for (const JsonValue value : list) {
        if (!value.isWhole())
            model_json::fail(name() + " holds something other than a whole number");
        const bool fits = value.kind() == JsonValue::Kind::Unsigned
                              ? value.toUint64() <= static_cast<std::uint64_t>(high) &&
                                    static_cast<std::int64_t>(value.toUint64()) >= low
                              : value.toInt64() >= low && value.toInt64() <= high;
        if (!fits) model_json::fail(name() + " holds a number out of range");
        out.push_back(static_cast<std::int32_t>(value.toInt64()));
    }
    return out;
}

// Reads a node's own figures; its branches are checked by loadBranches().
TreeNode loadNode(JsonValue saved, const ModelSchema& schema) {
    const auto k = static_cast<std::int64_t>(schema.classValues.size());
    TreeNode node;
    const std::vector<std::uint64_t> counts =
        model_json::counts(saved, "counts", kMaxCount, schema.classValues.size());
    std::uint64_t sum = 0;
    node.counts.reserve(counts.size());
    for (const std::uint64_t c : counts) {
        sum += c;
        node.counts.push_back(static_cast<std::uint32_t>(c));
    }
    node.total = static_cast<std::uint32_t>(model_json::count(saved, "total", kMaxCount));
    require(sum == node.total, "a tree node's class counts do not add up to its records");
    node.label = static_cast<std::int32_t>(model_json::integer(saved, "label", 0, k - 1));
    node.depth = static_cast<int>(model_json::integer(saved, "depth", 0, kMaxTreeDepth));
    node.winner = static_cast<std::int32_t>(model_json::integer(saved, "winner", 0, k - 1));
    node.strong = model_json::boolean(saved, "strong");
    node.pruned = model_json::boolean(saved, "pruned");
    const auto attributes = static_cast<std::int64_t>(schema.attributes.size());
    node.attribute =
        static_cast<std::int32_t>(model_json::integer(saved, "attribute", -1, attributes - 1));
    return node;
}

// Reads the branches of a node that splits; `index` is its place among `count` nodes.
void loadBranches(JsonValue saved, const ModelSchema& schema, std::size_t index, std::size_t count,
                  TreeNode& node) {
    const Attribute& attribute = schema.attributes[static_cast<std::size_t>(node.attribute)];
    require(attribute.type != AttributeType::Ignored, "a tree node splits on an ignored attribute");
    node.numeric = attribute.type == AttributeType::Numeric;
    for (const std::int32_t child :
         integers(saved, "children", static_cast<std::int64_t>(index) + 1,
                  static_cast<std::int64_t>(count) - 1))
        node.children.push_back(static_cast<std::uint32_t>(child));
    require(!node.children.empty(), "a tree node that splits has no branch");
    const auto branches = static_cast<std::int64_t>(node.children.size());
    node.missingChild =
        static_cast<std::uint32_t>(model_json::integer(saved, "missing child", 0, branches - 1));
    if (node.numeric) {
        node.cuts = model_json::numbers(saved, "cuts", node.children.size() - 1);
        require(std::is_sorted(node.cuts.begin(), node.cuts.end()),
                "a tree node's cuts are out of order");
        return;
    }
    const auto values = static_cast<std::int64_t>(attribute.values.size());
    node.childValues = integers(saved, "child values", 0, values - 1);
    require(node.childValues.size() == node.children.size(),
            "a tree node's branches and values disagree");
    node.childOfValue = integers(saved, "child of value", -1, branches - 1);
    require(node.childOfValue.size() <= attribute.values.size(),
            "a tree node lists more values than its attribute has");
}

}  // namespace

Json IntervalTree::save() const {
    Json nodes = Json::array();
    for (const TreeNode& node : nodes_) nodes.push_back(saveNode(node));
    Json saved = {{"bins", options_.bins},
                  {"binning", options_.binning == Binning::EqualWidth ? "width" : "count"},
                  {"max depth", options_.maxDepth},
                  {"bin records", options_.binRecords},
                  {"min split", options_.minSplit},
                  {"prune", options_.pruneConfidence},
                  {"work limit", options_.workLimit},
                  {"work done", workDone_},
                  {"growth stopped", growthStopped_},
                  {"nodes at stop", nodesAtStop_},
                  {"near-empty leaves", nearEmptyLeaves_},
                  {"nodes", std::move(nodes)}};
    // Said only when it happened or is set, so that a model file is the same as before the clock
    // could stop growth or splits could be limited.
    if (stoppedByClock_) saved["stopped by the clock"] = true;
    if (options_.maxBranches > 0) saved["max branches"] = options_.maxBranches;
    return saved;
}

IntervalTree IntervalTree::load(JsonValue saved, const ModelSchema& schema) {
    IntervalTree tree;
    TreeOptions& o = tree.options_;
    o.bins = static_cast<int>(model_json::integer(saved, "bins", 2, 1000000));
    const std::string binning = model_json::text(saved, "binning");
    require(binning == "width" || binning == "count", "the tree's binning is unknown");
    o.binning = binning == "width" ? Binning::EqualWidth : Binning::EqualCount;
    o.maxDepth = static_cast<int>(model_json::integer(saved, "max depth", 1, kMaxTreeDepth));
    o.binRecords = static_cast<int>(model_json::integer(saved, "bin records", 0, 1000000000));
    o.minSplit = static_cast<int>(model_json::integer(saved, "min split", 0, 1000000000));
    // A file without the field has no limit (as every file written before there could be one).
    if (saved.find("max branches")) {
        o.maxBranches = static_cast<int>(model_json::integer(saved, "max branches", 0, 1000000));
        require(o.maxBranches != 1, "the tree's limit of branches is 1");
    }
    o.pruneConfidence = model_json::number(saved, "prune");
    o.workLimit = model_json::count(saved, "work limit", std::numeric_limits<std::uint64_t>::max());
    tree.workDone_ =
        model_json::count(saved, "work done", std::numeric_limits<std::uint64_t>::max());
    tree.growthStopped_ = model_json::boolean(saved, "growth stopped");
    // Model files written before the clock could stop growth do not say it.
    tree.stoppedByClock_ =
        saved.find("stopped by the clock") && model_json::boolean(saved, "stopped by the clock");
    tree.nodesAtStop_ = model_json::count(saved, "nodes at stop", kMaxCount);
    tree.nearEmptyLeaves_ = model_json::count(saved, "near-empty leaves", kMaxCount);
    const JsonValue nodes = model_json::array(saved, "nodes");
    require(!nodes.empty() && nodes.size() <= kMaxCount, "the tree has no nodes");
    std::vector<std::uint8_t> hasParent(nodes.size(), 0);
    tree.nodes_.reserve(nodes.size());
    for (const JsonValue entry : nodes) {
        const std::size_t i = tree.nodes_.size();
        TreeNode node = loadNode(entry, schema);
        require(i > 0 || node.depth == 0, "the tree's root is not at depth 0");
        require(i == 0 || hasParent[i], "a tree node is no node's branch");
        if (!node.isLeaf()) loadBranches(entry, schema, i, nodes.size(), node);
        for (const std::uint32_t child : node.children) {
            require(!hasParent[child], "a tree node is the branch of two nodes");
            hasParent[child] = 1;
        }
        tree.nodes_.push_back(std::move(node));
    }
    // Depths follow the branches: a child is one deeper than its node.
    for (const TreeNode& node : tree.nodes_)
        for (const std::uint32_t child : node.children)
            require(tree.nodes_[child].depth == node.depth + 1,
                    "a tree node's depth does not follow its branch");
    return tree;
}

}  // namespace mining::interval
