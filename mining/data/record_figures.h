#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/dataset.h"

namespace mining {

// How a numeric column numbers the records, if it does: Counts for whole numbers from 0 or 1,
// one up each record in file order (records left out for a missing class leave their gaps);
// Numbers for a different whole number in every record, none below 0 nor above twice the
// records of the file (estimated where a sample was read).
enum class Numbering { None, Counts, Numbers };

// What the checks of the columns read (column_checks.h, dropEmptyColumns) count over the
// records. This class counts the rows of the data set it is given, which holds every record
// read. A data set that holds one process's share of them counts over every process's records
// instead (see readData with a collective), and then every process makes the same calls in the
// same order.
class RecordFigures {
public:
    virtual ~RecordFigures() = default;

    // The records read with a class, and with or without one.
    virtual std::uint64_t records(const Dataset& data) { return data.recordCount(); }
    virtual std::uint64_t recordsRead(const Dataset& data) {
        return data.recordCount() + data.missingClassCount();
    }
    // How many rows of nominal attribute `a` hold each of its values, and in `present` how many
    // hold one.
    virtual std::vector<std::uint64_t> valueCounts(const Dataset& data, std::size_t a,
                                                   std::uint64_t& present);
    // Returns true when numeric attribute `a` holds no value in any record.
    virtual bool noNumber(const Dataset& data, std::size_t a);
    // Returns how numeric attribute `a` numbers the records (see Numbering).
    virtual Numbering numbering(const Dataset& data, std::size_t a);
    // Returns the lines of `records`, the records' text as read (1-based), where a record's
    // field `field`, split at `delimiter`, is one of `values`, in order, at most `limit` (see
    // linesHolding in column_checks.h).
    virtual std::vector<std::uint64_t> linesHolding(std::string_view records, char delimiter,
                                                    std::size_t field,
                                                    const std::vector<std::string>& values,
                                                    std::size_t limit);
};

// What numbering() finds in rows of a numeric column alone, towards the verdict on all of them:
// whether every value is a whole number within [0, limit], no two alike, in rising order, and
// the first and last.
struct NumberingPart {
    bool fits = true;
    bool distinct = true;
    bool rising = true;
    double first = 0;
    double last = 0;
    std::uint64_t rows = 0;
};

// Returns what rows of `column` show of how it numbers the records, whole numbers up to `limit`
// (see NumberingPart). One pass, stopped at the first value that rules it out.
NumberingPart numberingPart(const NumericColumn& column, double limit);

// Returns the verdict of the parts of a column read in order, each of rows of its own, on `read`
// records in all (with a class or not); `distinctOverall` says whether no two values of all the
// parts are alike (asked only when every part's are distinct and they do not rise in order).
template <class DistinctOverall>
Numbering numberingOf(const std::vector<NumberingPart>& parts, std::uint64_t read,
                      DistinctOverall distinctOverall) {
    std::uint64_t rows = 0;
    bool rising = true;
    const NumberingPart* first = nullptr;
    const NumberingPart* previous = nullptr;
    for (const NumberingPart& part : parts) {
        if (!part.fits || !part.distinct) return Numbering::None;
        if (part.rows == 0) continue;
        rows += part.rows;
        rising = rising && part.rising && (previous == nullptr || part.first > previous->last);
        if (first == nullptr) first = &part;
        previous = &part;
    }
    if (rows == 0) return Numbering::None;
    if (!rising && !distinctOverall()) return Numbering::None;
    const bool counts = rising && (first->first == 0 || first->first == 1) &&
                        previous->last - first->first + 1 == static_cast<double>(read);
    return counts ? Numbering::Counts : Numbering::Numbers;
}

}  // namespace mining
