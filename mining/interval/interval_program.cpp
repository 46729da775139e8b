#include "interval/interval_program.h"

#include <charconv>
#include <cstdlib>

#include "interval/interval_model.h"
#include "util/text_table.h"

namespace mining {

namespace {

// Returns the integer in `text` when it is one, in [lo, hi].
std::optional<int> parseInt(const std::string& text, int lo, int hi) {
    int v = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return std::nullopt;
    return v;
}

}  // namespace

ProgramInfo intervalProgramInfo() {
    const interval::TreeOptions d;
    ProgramInfo info;
    info.name = "tarnel";
    info.summary = "interval classifier";
    info.reportSuffix = "_interval";
    info.options = {
        {"--bins", "N",
         "initial intervals per numeric attribute (default " + std::to_string(d.bins) + ")"},
        {"--binning", "KIND",
         std::string("width or count: equal widths or counts (default ") +
             (d.binning == interval::Binning::EqualWidth ? "width" : "count") + ")"},
        {"--bin-records", "N",
         "~N records per interval at small nodes (default " + std::to_string(d.binRecords) +
             "; 0: off)"},
        {"--max-depth", "L",
         "most conditions on a path, 1..100 (default " + std::to_string(d.maxDepth) + ")"},
        {"--min-split", "N",
         "nodes with fewer training records are leaves (default " + std::to_string(d.minSplit) +
             ")"},
        {"--prune", "CF",
         "prune at confidence 0 < CF < 1 (default " + formatGeneral(d.pruneConfidence) +
             "; 0: off)"},
    };
    info.helpNotes =
        "Grows a tree with many branches per node: one per value of a nominal\n"
        "attribute, one per interval of a numeric one. A branch whose majority holds\n"
        "at least the share t(len) = 1 - ((len - 1) / L)^2 of its records (len:\n"
        "conditions on its path) is strong and becomes a leaf; a weak one is split\n"
        "further. Splits are chosen by gain ratio; the grown tree is pruned by\n"
        "estimated errors. The report shows the tree and one rule set per class.\n";
    return info;
}

Result<interval::TreeOptions> intervalOptions(const ModelOptions& options) {
    using R = Result<interval::TreeOptions>;
    interval::TreeOptions o;
    for (const auto& [name, value] : options) {
        if (name == "--bins") {
            auto v = parseInt(value, 2, 1000);
            if (!v)
                return R::failure("--bins needs a whole number from 2 to 1000, not '" + value +
                                  "'");
            o.bins = *v;
        } else if (name == "--max-depth") {
            auto v = parseInt(value, 1, 100);
            if (!v) {
                return R::failure("--max-depth needs a whole number from 1 to 100, not '" + value +
                                  "'");
            }
            o.maxDepth = *v;
        } else if (name == "--bin-records") {
            auto v = parseInt(value, 0, 1000000000);
            if (!v) return R::failure("--bin-records needs a whole number, not '" + value + "'");
            o.binRecords = *v;
        } else if (name == "--min-split") {
            auto v = parseInt(value, 2, 1000000000);
            if (!v)
                return R::failure("--min-split needs a whole number of at least 2, not '" + value +
                                  "'");
            o.minSplit = *v;
        } else if (name == "--prune") {
            char* end = nullptr;
            const double cf = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(cf >= 0 && cf < 1)) {
                return R::failure("--prune needs a number from 0 (no pruning) to below 1, not '" +
                                  value + "'");
            }
            o.pruneConfidence = cf;
        } else if (name == "--binning") {
            if (value == "width") {
                o.binning = interval::Binning::EqualWidth;
            } else if (value == "count") {
                o.binning = interval::Binning::EqualCount;
            } else {
                return R::failure("--binning needs 'width' or 'count', not '" + value + "'");
            }
        } else {
            return R::failure("unknown option " + name);
        }
    }
    return o;
}

Result<std::unique_ptr<Model>> makeIntervalModel(const ModelOptions& options) {
    auto o = intervalOptions(options);
    if (!o) return Result<std::unique_ptr<Model>>::failure(o.error());
    return std::unique_ptr<Model>(std::make_unique<interval::IntervalModel>(*o));
}

}  // namespace mining
