// Reads a data file as the processes of a cluster run do, each keeping its own share of the
// records (nothing sent to rank 0), and prints each share's place: what the reading costs in
// time and memory per process before any training.
//
// Usage: mpirun -np N mpi_read_share DATA
#include <cstdio>

#include "data/reader.h"
#include "mpi_collective.h"

int main(int argc, char** argv) {
    mining::MpiCollective all(argc, argv);
    if (argc != 2) {
        if (all.rank() == 0) std::fprintf(stderr, "usage: mpi_read_share DATA\n");
        return 2;
    }
    const mining::Result<mining::DataShare> share =
        mining::readDataShare(mining::findDataSource(argv[1]), mining::ReadOptions{}, all);
    if (!share) {
        if (all.rank() == 0) std::fprintf(stderr, "%s\n", share.error().c_str());
        return 1;
    }
    std::printf("process %d: records %llu to %llu of %llu\n", all.rank(),
                static_cast<unsigned long long>(share->first),
                static_cast<unsigned long long>(share->first + share->data.recordCount()),
                static_cast<unsigned long long>(share->total));
    return 0;
}
