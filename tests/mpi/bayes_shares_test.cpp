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
#include "mpi_collective.h"
#include "random_shares.h"

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
    const std::optional<mining_test::RandomShares> cut =
        mining_test::randomShares(recordsText(), all);
    if (!cut) return 1;
    const auto& [whole, share, trainedAll, trainedOwn] = *cut;

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
        const mining::Status reference = alone->train(whole, trainedAll);
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
