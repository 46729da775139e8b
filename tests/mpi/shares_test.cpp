// Run by mpirun with any number of processes: every process reads its own share of a file and
// of a folder of shards (readDataShare) and checks it against the whole data set one process
// reads: its rows are the whole's rows first..first+count-1, the shares follow each other in
// process order and cover every record, and each numeric column is stored as the whole's is (the
// same scale of decimals, or doubles), the same values bit for bit; the split of its rows is the
// whole split's of those records. Exits 1 on any process's failure, with its lines.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/reader.h"
#include "data/split.h"
#include "mpi_collective.h"

namespace fs = std::filesystem;

namespace {

int failures = 0;

void check(bool ok, int rank, const std::string& what) {
    if (ok) return;
    ++failures;
    std::fprintf(stderr, "process %d: %s\n", rank, what.c_str());
}

// 3,000 records whose numbers are written so that no share alone knows how the whole stores
// them: a column of whole numbers but for 3 fraction digits in the last record (decimals of 3
// digits in every share), one with 1e300 in the middle (doubles in all), one whose first value
// does not fit 32 bits at the scale of 0.5 in the last record (doubles in all), one of 2 digits
// throughout; then a nominal column whose last value is new, and the class.
std::string recordsText(std::size_t first, std::size_t count) {
    std::string text;
    for (std::size_t i = first; i < first + count; ++i) {
        const bool last = i == 2999;
        text += last ? "7.125," : std::to_string(i % 97) + ",";
        text += i == 1500 ? "1e300," : std::to_string(i % 13) + ".5,";
        text += i == 0 ? "2000000000," : last ? "0.5," : std::to_string(i % 5) + ",";
        text += std::to_string(i % 7) + "." + std::to_string(10 + i % 89) + ",";
        text += last ? "new," : (i % 3 ? "red," : "blue,");
        text += i % 4 ? "yes\n" : "no\n";
    }
    return text;
}

void shareIsTheWholesRows(const std::string& path, mining::Collective& collective) {
    const int rank = collective.rank();
    const mining::DataSource source = mining::findDataSource(path);
    const mining::ReadOptions options;
    const mining::Result<mining::Dataset> whole = mining::readData(source, options);
    mining::Result<mining::DataShare> share = mining::readDataShare(source, options, collective);
    check(whole.ok() && share.ok(), rank, path + ": not read");
    if (!whole.ok() || !share.ok()) return;
    const mining::Dataset& all = *whole;
    const mining::Dataset& own = share->data;
    const std::size_t count = own.recordCount();
    check(share->total == all.recordCount(), rank, path + ": total");
    check(share->first + count <= all.recordCount(), rank, path + ": rows past the end");
    // Each share starts where the one before ends, and all of them together hold every record.
    std::vector<std::uint64_t> counts{count, count > 0 ? 1u : 0u};
    collective.sum(counts);
    check(counts[0] == all.recordCount(), rank, path + ": records of all shares");
    if (collective.size() > 1 && all.recordCount() >= static_cast<std::size_t>(collective.size()))
        check(counts[1] > 1, rank, path + ": the rows went to one process");
    if (share->first + count > all.recordCount()) return;
    check(own.readNotes() == all.readNotes() && own.dataPath() == all.dataPath() &&
              own.classValues() == all.classValues(),
          rank, path + ": schema or notes");
    for (std::size_t a = 0; a < all.attributeCount(); ++a) {
        const std::string name = path + ": column " + std::to_string(a);
        check(own.attribute(a).type == all.attribute(a).type, rank, name + " type");
        if (all.attribute(a).type == mining::AttributeType::Numeric) {
            const mining::NumericColumn& mine = own.numeric(a);
            const mining::NumericColumn& theirs = all.numeric(a);
            check(mine.decimals().has_value() == theirs.decimals().has_value() &&
                      (!mine.decimals() || mine.fractionDigits() == theirs.fractionDigits()),
                  rank, name + " stored otherwise than the whole's");
            bool same = true;
            for (std::size_t r = 0; r < count; ++r)
                same = same && std::bit_cast<std::uint64_t>(mine[r]) ==
                                   std::bit_cast<std::uint64_t>(theirs[share->first + r]);
            check(same, rank, name + " values");
        } else if (all.attribute(a).type == mining::AttributeType::Nominal) {
            bool same = true;
            for (std::size_t r = 0; r < count; ++r)
                same = same && own.nominal(a)[r] == all.nominal(a)[share->first + r];
            check(same, rank, name + " codes");
        }
    }
    bool classes = true;
    for (std::size_t r = 0; r < count; ++r)
        classes = classes && own.classes()[r] == all.classes()[share->first + r];
    check(classes, rank, path + ": classes");
    // The rows' split is the whole split's of their records.
    const mining::Split split =
        mining::splitShare(share->first, count, share->total, 66.67, false, 1);
    const mining::Split wholeSplit = mining::splitRecords(all.recordCount(), 66.67, false, 1);
    bool trains = true;
    for (const mining::RowIndex r : split.train)
        trains = trains && std::binary_search(wholeSplit.train.begin(), wholeSplit.train.end(),
                                              share->first + r);
    for (const mining::RowIndex r : split.test)
        trains = trains && !std::binary_search(wholeSplit.train.begin(), wholeSplit.train.end(),
                                               share->first + r);
    check(trains && split.train.size() + split.test.size() == count, rank, path + ": split");
}

}  // namespace

int main(int argc, char** argv) {
    mining::MpiCollective all(argc, argv);
    std::string work;
    if (all.rank() == 0) {
        work = (fs::temp_directory_path() /
                ("shares_" + std::to_string(all.size()) + "_" + std::to_string(getpid())))
                   .string();
        fs::remove_all(work);
        fs::create_directories(work / fs::path("shards"));
        std::ofstream(fs::path(work) / "numbers.data") << recordsText(0, 3000);
        std::ofstream(fs::path(work) / "shards/a.data") << recordsText(0, 1000);
        std::ofstream(fs::path(work) / "shards/b.data") << recordsText(1000, 1);
        std::ofstream(fs::path(work) / "shards/c.data") << recordsText(1001, 1999);
    }
    all.broadcast(work);  // rank 0 has written the files before it sends where they are
    shareIsTheWholesRows(work + "/numbers.data", all);
    shareIsTheWholesRows(work + "/shards", all);
    std::vector<std::uint64_t> failed{static_cast<std::uint64_t>(failures)};
    all.sum(failed);
    if (all.rank() == 0) {
        fs::remove_all(work);
        if (failed[0] == 0)
            std::printf("%d processes: every share is the whole's rows, stored alike\n",
                        all.size());
    }
    return failed[0] == 0 ? 0 : 1;
}
