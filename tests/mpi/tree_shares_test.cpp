// Run by mpirun with any number of processes: the interval tree grown from every process's share
// of the records (trainOnShares) must be the tree one process grows on all of them, saved figure
// for figure, under every setting that shapes its intervals and its growth. The shares are cut at
// random, one of them empty, and train on some of their rows only. Exits 1 when any tree differs.
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "interval/interval_model.h"
#include "mpi_collective.h"
#include "random_shares.h"

namespace {

// 60,000 records: decimals of one digit, doubles of many, a column that is mostly missing, a
// nominal column of five values with missing ones, and three classes that the numbers and the
// nominal value predict with noise.
std::string recordsText() {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    std::ostringstream text;
    text.precision(17);
    for (int r = 0; r < 60000; ++r) {
        const double a = static_cast<double>(random() % 1000) / 10;
        const double b = unit(random) * 4 - 2;
        const auto v = static_cast<int>(random() % 5);
        int c = (a > 60) + (b > 0.5 && v != 3);
        if (unit(random) < 0.15) c = static_cast<int>(random() % 3);
        text << a << ',' << b << ',';
        if (unit(random) < 0.9)
            text << '?';
        else
            text << unit(random) + c;
        text << ',';
        if (unit(random) < 0.05)
            text << '?';
        else
            text << "v" << v;
        text << ",c" << c << '\n';
    }
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    mining::MpiCollective all(argc, argv);
    const std::optional<mining_test::RandomShares> cut =
        mining_test::randomShares(recordsText(), all);
    if (!cut) return 1;
    const auto& [whole, share, trainedAll, trainedOwn] = *cut;

    using mining::interval::TreeOptions;
    const std::vector<std::pair<const char*, std::function<void(TreeOptions&)>>> settings{
        {"default", [](TreeOptions&) {}},
        {"bins 7, no bin records, no pruning",
         [](TreeOptions& o) {
             o.bins = 7;
             o.binRecords = 0;
             o.pruneConfidence = 0;
         }},
        {"at most 3 branches", [](TreeOptions& o) { o.maxBranches = 3; }},
        {"depth 3, 200 bins of 40 records",
         [](TreeOptions& o) {
             o.maxDepth = 3;
             o.bins = 200;
             o.binRecords = 40;
         }},
        // Level by level, stopped part way.
        {"work limit", [](TreeOptions& o) { o.workLimit = 400000; }},
    };
    int failures = 0;
    for (const auto& [name, set] : settings) {
        TreeOptions options;
        set(options);
        mining::interval::IntervalModel shared(options);
        const mining::Status trained = shared.trainOnShares(share, trainedOwn, all);
        if (all.rank() != 0) continue;
        mining::interval::IntervalModel alone(options);
        const mining::Status reference = alone.train(whole, trainedAll);
        nlohmann::json a, b;
        // Each setting grows a tree of some size; the work limit stops it.
        const bool grown = alone.tree().nodes().size() >= 10 &&
                           alone.tree().growthStopped() == (options.workLimit > 0);
        if (!trained || !reference || !shared.save(a) || !alone.save(b) || a != b || !grown) {
            std::fprintf(stderr, "%d processes, %s: the tree differs from one process's\n",
                         all.size(), name);
            ++failures;
        }
    }
    // Equal-count intervals need every value: such trees are not grown from the shares.
    TreeOptions counted;
    counted.binning = mining::interval::Binning::EqualCount;
    if (mining::interval::IntervalModel(counted).trainsOnShares()) {
        std::fprintf(stderr, "equal-count trees would be grown from the shares\n");
        ++failures;
    }
    if (all.rank() == 0 && failures == 0)
        std::printf("%d processes: every tree from the shares is one process's\n", all.size());
    return failures == 0 ? 0 : 1;
}
