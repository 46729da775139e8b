// Run by mpirun with any number of processes: naive Bayes trained from every process's share of
// the records (trainOnShares) must be the model one process trains on all of them, saved figure
// for figure, in every treatment of the numbers and with the treatments chosen per attribute.
// The shares are cut at random, one of them empty, and train on some of their rows only. Exits 1
// when any model differs.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bayes/naive_bayes.h"
#include "bayes/selective_bayes.h"
#include "data/reader.h"
#include "mpi_collective.h"

namespace {

// 160,000 records, so that more training records than the normal mode bounds its resolution
// from: decimals of one digit, doubles, a column constant within each class (its bound is too
// coarse), a nominal column with missing values, and three classes.
std::string recordsText() {
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> unit(0, 1);
    std::ostringstream text;
    text.precision(17);
    for (int r = 0; r < 160000; ++r) {
        const int c = static_cast<int>(random() % 3);
        text << static_cast<double>(random() % 900) / 10 + c << ',' << unit(random) + c << ','
             << (r < 150000 ? 1000 + c : 1000 + c + 0.5) << ','
             << (unit(random) < 0.05            ? "?"
                 : c == 2 && unit(random) < 0.7 ? "x"
                                                : "y")
             << ",c" << c << '\n';
    }
    return text.str();
}

}  // namespace

int main(int argc, char** argv) {
    mining::MpiCollective all(argc, argv);
    const mining::Result<mining::Dataset> whole =
        mining::parseData(recordsText(), mining::DataFormat::Records, std::nullopt,
                          mining::ReadOptions(), "generated", "", 1);
    if (!whole) {
        std::fprintf(stderr, "%s\n", whole.error().c_str());
        return 1;
    }
    const std::size_t n = whole->recordCount();
    // Every process's share [cuts[k], cuts[k + 1]), the same cuts everywhere.
    std::mt19937 random(static_cast<unsigned>(all.size()));
    std::vector<std::size_t> cuts{0, n, n / 2, n / 2};
    for (int k = 3; k < all.size(); ++k) cuts.push_back(random() % n);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(cuts.begin() + 1,
               cuts.begin() + static_cast<std::ptrdiff_t>(cuts.size()) - all.size());
    const std::size_t from = cuts[static_cast<std::size_t>(all.rank())];
    const std::size_t to = cuts[static_cast<std::size_t>(all.rank()) + 1];
    std::vector<mining::RowIndex> ownRows, trainedAll, trainedOwn;
    for (std::size_t r = from; r < to; ++r) ownRows.push_back(static_cast<mining::RowIndex>(r));
    const mining::Dataset share = whole->rowsOf(ownRows);
    for (std::size_t r = 0; r < n; ++r)
        if (r % 3 != 1) trainedAll.push_back(static_cast<mining::RowIndex>(r));
    for (std::size_t r = from; r < to; ++r)
        if (r % 3 != 1) trainedOwn.push_back(static_cast<mining::RowIndex>(r - from));

    using mining::AttributeUse;
    using mining::NumericMode;
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<mining::Model>()>>>
        models{
            {"normal", [] { return std::make_unique<mining::NaiveBayes>(NumericMode::Normal); }},
            {"discretize",
             [] { return std::make_unique<mining::NaiveBayes>(NumericMode::Discretize); }},
            {"kernel", [] { return std::make_unique<mining::NaiveBayes>(NumericMode::Kernel); }},
            {"uses",
             [] {
                 return std::make_unique<mining::NaiveBayes>(
                     NumericMode::Normal,
                     std::vector<AttributeUse>{AttributeUse::Kernel, AttributeUse::Discretize,
                                               AttributeUse::Normal, AttributeUse::LeftOut});
             }},
            {"per-attribute", [] { return std::make_unique<mining::SelectiveBayes>(3); }},
        };
    int failures = 0;
    for (const auto& [name, make] : models) {
        const std::unique_ptr<mining::Model> shared = make();
        const mining::Status trained = shared->trainOnShares(share, trainedOwn, all);
        if (all.rank() != 0) continue;
        const std::unique_ptr<mining::Model> alone = make();
        const mining::Status reference = alone->train(*whole, trainedAll);
        nlohmann::json a, b;
        if (!trained || !reference || !shared->save(a) || !alone->save(b) || a != b) {
            std::fprintf(stderr, "%d processes, %s: the model differs from one process's\n",
                         all.size(), name);
            ++failures;
        }
    }
    if (all.rank() == 0 && failures == 0)
        std::printf("%d processes: every model from the shares is one process's\n", all.size());
    return failures == 0 ? 0 : 1;
}
