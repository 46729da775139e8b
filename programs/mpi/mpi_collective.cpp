#include "mpi_collective.h"

#include <mpi.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <stdexcept>

namespace mining {

namespace {

// MPI counts in int: longer messages go in pieces of this many bytes.
constexpr std::size_t kPieceBytes = std::size_t{1} << 30;

int countOf(std::size_t n) {
    if (n > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("more than 2^31 values between processes at once");
    return static_cast<int>(n);
}

// Sends `bytes` to `to` (or receives them from `from` into `bytes`, sized already), in pieces.
void sendPieces(const std::string& bytes, int to) {
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes)
        MPI_Send(bytes.data() + at, static_cast<int>(std::min(kPieceBytes, bytes.size() - at)),
                 MPI_BYTE, to, 0, MPI_COMM_WORLD);
}

void receivePieces(std::string& bytes, int from) {
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes)
        MPI_Recv(bytes.data() + at, static_cast<int>(std::min(kPieceBytes, bytes.size() - at)),
                 MPI_BYTE, from, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
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

void MpiCollective::least(std::span<double> values) {
    if (values.empty()) return;
    MPI_Allreduce(MPI_IN_PLACE, values.data(), countOf(values.size()), MPI_DOUBLE, MPI_MIN,
                  MPI_COMM_WORLD);
}

std::vector<std::string> MpiCollective::gather(const std::string& bytes) {
    // Each process's bytes are received into their own part, one process after the other, so
    // that rank 0 holds each byte once and no message is bounded by MPI's int counts.
    unsigned long long own = bytes.size();
    std::vector<unsigned long long> sizes(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
    MPI_Gather(&own, 1, MPI_UNSIGNED_LONG_LONG, sizes.data(), 1, MPI_UNSIGNED_LONG_LONG, 0,
               MPI_COMM_WORLD);
    if (rank_ != 0) {
        sendPieces(bytes, 0);
        return {};
    }
    std::vector<std::string> parts(sizes.size());
    parts[0] = bytes;
    for (std::size_t p = 1; p < parts.size(); ++p) {
        parts[p].resize(static_cast<std::size_t>(sizes[p]));
        receivePieces(parts[p], static_cast<int>(p));
    }
    return parts;
}

void MpiCollective::broadcast(std::string& bytes) {
    unsigned long long size = bytes.size();
    MPI_Bcast(&size, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD);
    bytes.resize(static_cast<std::size_t>(size));
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes)
        MPI_Bcast(bytes.data() + at, static_cast<int>(std::min(kPieceBytes, bytes.size() - at)),
                  MPI_BYTE, 0, MPI_COMM_WORLD);
}

}  // namespace mining
