#pragma once

#include "util/collective.h"

namespace mining {

// The processes an MPI launcher (mpirun, srun) started, over MPI_COMM_WORLD. Constructing it
// initialises MPI and destroying it finalises MPI, so there is one per program, made first.
// A failed MPI call ends every process (MPI's default error handler).
class MpiCollective final : public Collective {
public:
    MpiCollective(int& argc, char**& argv);
    ~MpiCollective() override;
    MpiCollective(const MpiCollective&) = delete;
    MpiCollective& operator=(const MpiCollective&) = delete;

    int rank() const override { return rank_; }
    int size() const override { return size_; }
    void sum(std::span<std::uint64_t> values) override;
    void least(std::span<double> values) override;
    std::vector<std::string> gather(const std::string& bytes) override;
    void broadcast(std::string& bytes) override;

private:
    int rank_ = 0;
    int size_ = 1;
};

}  // namespace mining
