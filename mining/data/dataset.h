#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/code_column.h"
#include "data/column_vector.h"
#include "data/number_styles.h"
#include "data/numeric_column.h"

namespace mining {

// Index of a record (row) in a Dataset. Data sets are limited to 2^32 - 1 kept records.
using RowIndex = std::uint32_t;

enum class AttributeType { Numeric, Nominal, Ignored };

// One attribute (column) of the data file other than the class.
struct Attribute {
    std::string name;
    AttributeType type = AttributeType::Numeric;
    // Nominal only: the values, in the order of the .names file, or else in order of first
    // appearance in the data. A record's code for this attribute indexes this list.
    std::vector<std::string> values;
};

// Returns true if a numeric value read from a column is missing ('?'). Missing numeric values are
// stored as a quiet NaN; no present value is NaN (the reader rejects "nan").
inline bool isMissing(double value) { return std::isnan(value); }

// How much of its .data file a data set holds. Sizes count the bytes after a byte-order mark.
struct SampleInfo {
    bool sampled = false;                // true when only a sample of the file's lines was read
    std::uint64_t fileBytes = 0;         // the size of the file's text
    std::uint64_t readBytes = 0;         // the bytes of the lines read (fileBytes unless sampled)
    std::uint64_t estimatedRecords = 0;  // records read (class present or not) scaled by
                                         // fileBytes / readBytes, rounded; exact unless sampled
    std::size_t files = 1;               // the files read as one (a folder's data files)
};

// Fields of one column that the reader read as missing although they hold neither '?' nor
// nothing, NA or NaN: a mark written another way ("NULL", "#N/A", "-"), a token the run named, or
// a value that is no number among a column of numbers ("Total").
struct MissingCount {
    std::size_t column = 0;  // an attribute's index, or attributeCount() for the class
    std::string value;       // as written
    std::uint64_t count = 0;
    std::vector<std::uint64_t> lines;  // for a value that is no mark: the file lines holding it
};

// A column of numbers written another way, which the reader read as those numbers.
struct ColumnConversion {
    std::size_t attribute = 0;
    NumberStyle style = NumberStyle::Grouped;
    std::string example;                 // one value as written
    double number = 0;                   // ... and the number it reads as
    DateOrder order = DateOrder::Guess;  // dates: the order of day and month taken
    bool orderGuessed = false;           // ... when every value reads in both orders
};

// How many distinct values an attribute holds over all records, counted up to two.
enum class Spread { NoValues, OneValue, Varied };

// A data set read from BASE.data (+ BASE.names), stored by column.
//
// Only records whose class is present are kept; the count of those left out is
// missingClassCount(). Rows are numbered 0..recordCount()-1 in file order. Every column of a
// numeric or nominal attribute has recordCount() entries; ignored attributes keep no column.
class Dataset {
public:
    Dataset() = default;
    Dataset(Dataset&&) = default;
    Dataset& operator=(Dataset&&) = default;

    // The attributes in file order, the class column excluded, ignored ones included.
    const std::vector<Attribute>& attributes() const { return attributes_; }
    std::size_t attributeCount() const { return attributes_.size(); }
    const Attribute& attribute(std::size_t index) const { return attributes_[index]; }

    // The class column's name as the file gives it ("class" where the file names none), and its
    // place among the file's fields: attributes()[i] is field i, or i + 1 from classField() on.
    const std::string& className() const { return className_; }
    std::size_t classField() const { return classField_; }

    // The class values, in .names order or else in order of first appearance.
    const std::vector<std::string>& classValues() const { return classValues_; }
    std::size_t classCount() const { return classValues_.size(); }

    // Records kept (class present) and records left out because their class was missing.
    std::size_t recordCount() const { return classes_.size(); }
    std::size_t missingClassCount() const { return missingClassCount_; }
    // The records kept by every process of a run over several processes, of which this data set
    // holds one process's share (setRecordsInAll); else recordCount(). The report counts these.
    std::size_t recordsInAll() const { return recordsInAll_ ? *recordsInAll_ : recordCount(); }
    void setRecordsInAll(std::size_t records) { recordsInAll_ = records; }
    // Likewise each attribute's spread over every process's records (see spreadOf), when set.
    const std::vector<Spread>& spreadsInAll() const { return spreadsInAll_; }
    void setSpreadsInAll(std::vector<Spread> spreads) { spreadsInAll_ = std::move(spreads); }

    // The values of numeric attribute `index`, one per row; missing values are NaN.
    // Requires attribute(index).type == AttributeType::Numeric.
    const NumericColumn& numeric(std::size_t index) const { return numeric_[index]; }

    // The codes of nominal attribute `index`, one per row; kMissingCode where missing.
    // Requires attribute(index).type == AttributeType::Nominal.
    CodeSpan nominal(std::size_t index) const { return nominal_[index].view(); }

    // The class code of every row: never missing, unless the reader was asked to keep records
    // whose class is missing (ReadOptions::keepMissingClass).
    CodeSpan classes() const { return classes_.view(); }

    // Where the data came from: the .data path, and the .names path or "" when none was used.
    const std::string& dataPath() const { return dataPath_; }
    const std::string& namesPath() const { return namesPath_; }

    // How much of the file the records are: the whole of it unless sample().sampled.
    const SampleInfo& sample() const { return sample_; }
    // Set by the reader once the records are read.
    void setSample(const SampleInfo& info) { sample_ = info; }

    // How the file was read ("delimited text, ';' between fields, a header line"), or "".
    const std::string& readAs() const { return readAs_; }
    // What the reader converted or left out, one sentence each, for the report's first lines.
    const std::vector<std::string>& readNotes() const { return readNotes_; }
    std::vector<std::string>& readNotes() { return readNotes_; }
    // What the reader read as missing beyond '?', empty fields, NA and NaN, by column.
    const std::vector<MissingCount>& missingCounts() const { return missingCounts_; }
    // The columns the reader read as numbers written another way, in column order.
    const std::vector<ColumnConversion>& conversions() const { return conversions_; }

    // Sets where the data came from (see dataPath()).
    void setSource(std::string dataPath, std::string namesPath) {
        dataPath_ = std::move(dataPath);
        namesPath_ = std::move(namesPath);
    }

    // Sets the class column's name (a model's schema names it where a file has none).
    void setClassName(std::string name) { className_ = std::move(name); }

    // When the reader was asked for them (ReadOptions::recordLines): the file line where each
    // row's record starts, one per row; else empty.
    const std::vector<std::uint64_t>& recordLines() const { return recordLines_; }
    std::vector<std::uint64_t>& recordLines() { return recordLines_; }

    // Returns a data set of these columns: `numeric` and `nominal` hold one column per
    // attribute (only the entry matching its type filled, each of classes.size() rows), and
    // `classes` the class codes (kMissingCode where unknown).
    static Dataset fromColumns(std::vector<Attribute> attributes,
                               std::vector<std::string> classValues,
                               std::vector<NumericColumn> numeric, std::vector<CodeColumn> nominal,
                               CodeColumn classes);

    // Changes made by the reader's checks once the records are read.
    void setReadAs(std::string text) { readAs_ = std::move(text); }
    void addReadNote(std::string note) { readNotes_.push_back(std::move(note)); }
    void addMissingCount(MissingCount count) { missingCounts_.push_back(std::move(count)); }
    void addConversion(ColumnConversion conversion) {
        conversions_.push_back(std::move(conversion));
    }
    // Puts the class values in the order of their names (runs of digits as numbers, c2 before
    // c10; else by bytes) and recodes every row, so
    // that whatever depends on the order of the classes (how folds are dealt, which class wins
    // a tie) is the same in every format, whichever order a file declares or first shows them in.
    void sortClassValues();
    // Makes nominal attribute `index` numeric with `column` (recordCount() values).
    void makeNumeric(std::size_t index, NumericColumn column);
    // Stores numeric attribute `index`'s values as decimals of `fractionDigits` fraction digits,
    // or as doubles when fractionDigits < 0 (see NumericColumn): the same values either way.
    // Returns false and changes nothing when a value does not fit that scale.
    bool storeNumbers(std::size_t index, int fractionDigits) {
        if (fractionDigits >= 0) return numeric_[index].rescale(fractionDigits);
        numeric_[index].storeAsDoubles();
        return true;
    }
    // Leaves attribute `index` out: its type becomes Ignored and its column is freed.
    void ignoreAttribute(std::size_t index);

    // Returns a data set of the rows `rows` (each < recordCount()), in that order: the same
    // schema, notes and figures, every column stored as it is here (decimals of the same scale
    // stay so), and their record lines when kept.
    Dataset rowsOf(std::span<const RowIndex> rows) const;

private:
    friend class DatasetBuilder;
    friend struct ShareRead;

    std::vector<Attribute> attributes_;
    std::vector<std::string> classValues_;
    std::string className_ = "class";
    std::size_t classField_ = 0;
    // Indexed by attribute; only the entry matching an attribute's type is filled.
    std::vector<NumericColumn> numeric_;
    std::vector<CodeColumn> nominal_;
    CodeColumn classes_;
    std::size_t missingClassCount_ = 0;
    std::string dataPath_;
    std::string namesPath_;
    SampleInfo sample_;
    std::string readAs_;
    std::vector<std::string> readNotes_;
    std::vector<MissingCount> missingCounts_;
    std::vector<ColumnConversion> conversions_;
    std::vector<std::uint64_t> recordLines_;
    std::optional<std::size_t> recordsInAll_;
    std::vector<Spread> spreadsInAll_;
};

}  // namespace mining
