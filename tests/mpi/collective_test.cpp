// Run by mpirun with any number of processes: every process draws the same values, keeps those
// a seeded draw gives it, and combines; each checks the combined figures against one process's
// figures over all the values, bit for bit. Exits 1 on any process's failure, with its lines.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "mpi_collective.h"

namespace {

using mining::ExactMoments;

int failures = 0;

void check(bool ok, int rank, const std::string& what) {
    if (ok) return;
    ++failures;
    std::fprintf(stderr, "process %d: %s\n", rank, what.c_str());
}

bool sameBits(const ExactMoments& a, const ExactMoments& b) {
    return a.count() == b.count() &&
           std::bit_cast<std::uint64_t>(a.mean()) == std::bit_cast<std::uint64_t>(b.mean()) &&
           std::bit_cast<std::uint64_t>(a.variance()) == std::bit_cast<std::uint64_t>(b.variance());
}

// Moments 0-2: decimals of 2 digits by class; 3-5: doubles of many sizes by class. Class 1 has
// values on the last process only, class 2 has none.
void momentsAreTheOneProcessFigures(mining::Collective& collective) {
    const int rank = collective.rank();
    const int size = collective.size();
    std::vector<ExactMoments> own{ExactMoments(2), ExactMoments(2), ExactMoments(2),
                                  ExactMoments(),  ExactMoments(),  ExactMoments()};
    std::vector<ExactMoments> all = own;
    std::mt19937_64 random(11);
    std::uniform_int_distribution<std::int32_t> mantissa(-900000000, 900000000);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-60, 60);
    for (int i = 0; i < 30000; ++i) {
        const std::int32_t m = mantissa(random);
        const double x = std::ldexp(unit(random), exponent(random));
        const bool last = i % 10 == 0;  // class 1
        const auto owner = static_cast<int>(random() % static_cast<std::uint64_t>(size));
        const std::size_t c = last ? 1 : 0;
        if ((last ? size - 1 : owner) == rank) {
            own[c].addMantissa(m);
            own[3 + c].add(x);
        }
        all[c].addMantissa(m);
        all[3 + c].add(x);
    }
    mining::combineMoments(collective, own);
    for (std::size_t k = 0; k < own.size(); ++k)
        check(sameBits(own[k], all[k]), rank, "moments " + std::to_string(k) + " differ");
}

void countsAndBytesGoWhereTheySay(mining::Collective& collective) {
    const int rank = collective.rank();
    const int size = collective.size();
    std::vector<std::uint64_t> counts{static_cast<std::uint64_t>(rank) + 1, 1, 0};
    collective.sum(counts);
    const auto n = static_cast<std::uint64_t>(size);
    check(counts == std::vector<std::uint64_t>{n * (n + 1) / 2, n, 0}, rank, "sums");
    // The least of each place, infinities included; the last process holds the least.
    std::vector<double> least{-static_cast<double>(rank), static_cast<double>(rank) + 0.5,
                              rank == size - 1 ? -INFINITY : INFINITY};
    collective.least(least);
    check(least == std::vector<double>{-static_cast<double>(size - 1), 0.5, -INFINITY}, rank,
          "least");

    const std::vector<std::string> parts =
        collective.gather(std::string(static_cast<std::size_t>(rank), 'x') + std::to_string(rank));
    if (rank == 0) {
        bool inOrder = parts.size() == static_cast<std::size_t>(size);
        for (int p = 0; inOrder && p < size; ++p)
            inOrder = parts[static_cast<std::size_t>(p)] ==
                      std::string(static_cast<std::size_t>(p), 'x') + std::to_string(p);
        check(inOrder, rank, "gathered bytes");
    } else {
        check(parts.empty(), rank, "gathered bytes away from rank 0");
    }

    std::string bytes = rank == 0 ? std::string(3000000, 'b') + "end" : "other";
    collective.broadcast(bytes);
    check(bytes.size() == 3000003 && bytes.substr(2999999) == "bend", rank, "broadcast");
}

// The first failing process by rank is named at every process; no failure, no message.
void theFirstFailureReachesEveryProcess(mining::Collective& collective) {
    const int rank = collective.rank();
    const int size = collective.size();
    check(mining::firstError(collective, "").empty(), rank, "an error where none was");
    const int failing = size / 2;
    const std::string mine =
        rank >= failing ? "cannot read part " + std::to_string(rank) : std::string();
    const std::string expected = size == 1 ? "cannot read part 0"
                                           : "process " + std::to_string(failing) +
                                                 ": cannot read part " + std::to_string(failing);
    const std::string got = mining::firstError(collective, mine);
    check(got == expected, rank, "first error \"" + got + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    mining::MpiCollective collective(argc, argv);
    momentsAreTheOneProcessFigures(collective);
    countsAndBytesGoWhereTheySay(collective);
    theFirstFailureReachesEveryProcess(collective);
    std::vector<std::uint64_t> failed{static_cast<std::uint64_t>(failures)};
    collective.sum(failed);
    if (collective.rank() == 0 && failed[0] == 0)
        std::printf("%d processes: combined figures are the one-process figures\n",
                    collective.size());
    return failed[0] == 0 ? 0 : 1;
}
