#include "mpi_collective.h"

#include <mpi.h>

#include <climits>
#include <cstddef>
#include <stdexcept>

namespace mining {

namespace {

// MPI counts in int: a message of more bytes is refused, not cut.
int countOf(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("a message between processes beyond 2 GB");
    return static_cast<int>(bytes);
}

}  // namespace

MpiCollective::MpiCollective(int& argc, char**& argv) {
    MPI_Init(&argc, &argv);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiCollective::~MpiCollective() { MPI_Finalize(); }

void MpiCollective::sum(std::span<std::uint64_t> values) {
    if (values.empty()) return;
    MPI_Allreduce(MPI_IN_PLACE, values.data(), countOf(values.size()), MPI_UINT64_T, MPI_SUM,
                  MPI_COMM_WORLD);
}

std::vector<std::string> MpiCollective::gather(const std::string& bytes) {
    const int own = countOf(bytes.size());
    std::vector<int> sizes(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
    MPI_Gather(&own, 1, MPI_INT, sizes.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::vector<int> offsets(sizes.size());
    std::string all;
    if (rank_ == 0) {
        std::size_t total = 0;
        for (std::size_t p = 0; p < sizes.size(); ++p) {
            offsets[p] = countOf(total);
            total += static_cast<std::size_t>(sizes[p]);
        }
        all.resize(static_cast<std::size_t>(countOf(total)));
    }
    MPI_Gatherv(bytes.data(), own, MPI_BYTE, all.data(), sizes.data(), offsets.data(), MPI_BYTE, 0,
                MPI_COMM_WORLD);
    std::vector<std::string> parts;
    for (std::size_t p = 0; p < sizes.size(); ++p)
        parts.push_back(
            all.substr(static_cast<std::size_t>(offsets[p]), static_cast<std::size_t>(sizes[p])));
    return parts;
}

void MpiCollective::broadcast(std::string& bytes) {
    unsigned long long size = bytes.size();
    MPI_Bcast(&size, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD);
    bytes.resize(static_cast<std::size_t>(size));
    MPI_Bcast(bytes.data(), countOf(bytes.size()), MPI_BYTE, 0, MPI_COMM_WORLD);
}

}  // namespace mining
