#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "util/exact_moments.h"

namespace mining {

// The processes of one run and what they combine. Each process works on its own records; only
// statistics are combined: integer counts summed, exact moments merged, and what the first
// process (rank 0) decides sent to all. Every process makes the same calls in the same order.
// The single-machine programs run on SingleProcess, for which every combination is the
// process's own figures; the cluster programs run on one of MPI.
class Collective {
public:
    virtual ~Collective() = default;

    virtual int rank() const = 0;
    virtual int size() const = 0;
    // Sets every process's `values` to their sums over all processes. Requires the same length
    // everywhere.
    virtual void sum(std::span<std::uint64_t> values) = 0;
    // Sets every process's `values` to their least over all processes (the largest is the least
    // of the values negated, which is exact). Requires the same length everywhere and no NaN.
    virtual void least(std::span<double> values) = 0;
    // Returns at rank 0 every process's `bytes`, in rank order; elsewhere an empty list.
    virtual std::vector<std::string> gather(const std::string& bytes) = 0;
    // Sets every process's `bytes` to rank 0's.
    virtual void broadcast(std::string& bytes) = 0;
};

// A run of one process.
class SingleProcess final : public Collective {
public:
    int rank() const override { return 0; }
    int size() const override { return 1; }
    void sum(std::span<std::uint64_t>) override {}
    void least(std::span<double>) override {}
    std::vector<std::string> gather(const std::string& bytes) override { return {bytes}; }
    void broadcast(std::string&) override {}
};

// Sets every process's `moments` to the moments of every process's values merged. Exact, so the
// result is the same bits for any number of processes and any spread of the values over them.
// Requires the same length, kinds and scales everywhere.
void combineMoments(Collective& collective, std::span<ExactMoments> moments);

// Returns at every process every process's `value`, in rank order.
std::vector<std::uint64_t> everyProcess(Collective& collective, std::uint64_t value);

// Returns at every process the first error of any process, by rank ("" when every `error` is
// empty): "process K: " and that process's message when there is more than one process, so that
// rank 0 can end the whole run with one line naming the process that failed.
std::string firstError(Collective& collective, const std::string& error);

}  // namespace mining
