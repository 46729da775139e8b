// Naive Bayes trained from the shares of a run over several processes (see trainOnShares).
#include <cstring>
#include <numeric>

#include "bayes/naive_bayes.h"

namespace mining {

namespace {

// Appends the bytes of `values` to `bytes`.
template <class T>
void appendValues(std::string& bytes, std::span<const T> values) {
    const std::size_t at = bytes.size();
    bytes.resize(at + values.size() * sizeof(T));
    if (!values.empty()) std::memcpy(bytes.data() + at, values.data(), values.size() * sizeof(T));
}

// Returns the values every process sent as bytes of T, joined in process order.
template <class T>
ColumnVector<T> joinedValues(const std::vector<std::string>& parts) {
    std::size_t count = 0;
    for (const std::string& part : parts) count += part.size() / sizeof(T);
    ColumnVector<T> values(count);
    std::size_t at = 0;
    for (const std::string& part : parts) {
        if (!part.empty()) std::memcpy(values.data() + at, part.data(), part.size());
        at += part.size() / sizeof(T);
    }
    return values;
}

// Returns at the first process the values of numeric column `column` in every process's rows
// `rows`, in process order, stored as the column is (the shares store numbers alike); elsewhere
// an empty column.
NumericColumn gatheredColumn(const NumericColumn& column, std::span<const RowIndex> rows,
                             Collective& collective) {
    const NumericColumn own = column.gather(rows);
    std::string bytes;
    const std::optional<DecimalView> decimals = own.decimals();
    if (decimals) {
        appendValues(bytes, decimals->mantissas());
    } else {
        const std::vector<double> values = own.toVector();
        appendValues(bytes, std::span<const double>(values));
    }
    const std::vector<std::string> parts = collective.gather(bytes);
    if (collective.rank() != 0) return NumericColumn();
    if (decimals)
        return NumericColumn::fromMantissas(joinedValues<std::int32_t>(parts),
                                            column.fractionDigits());
    return NumericColumn::fromDoubles(joinedValues<double>(parts));
}

}  // namespace

void NaiveBayes::tableOnShares(const Dataset& share, std::size_t a, std::span<const RowIndex> rows,
                               Collective& collective) {
    AttributeModel& model = attributes_[a];
    model.kind = Kind::Table;
    model.valueCount = share.attribute(a).values.size();
    const std::size_t cells = classCount_ * model.valueCount;
    // The counts n_cv, then the present values of each class.
    std::vector<std::uint64_t> counts(cells + classCount_, 0);
    const CodeSpan column = share.nominal(a);
    const CodeSpan classes = share.classes();
    for (const RowIndex r : rows) {
        const std::int32_t code = column[r];
        if (code < 0) continue;
        const auto c = static_cast<std::size_t>(classes[r]);
        ++counts[c * model.valueCount + static_cast<std::size_t>(code)];
        ++counts[cells + c];
    }
    collective.sum(counts);
    model.counts.assign(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(cells));
    finishTable(
        std::vector<std::size_t>(counts.begin() + static_cast<std::ptrdiff_t>(cells), counts.end()),
        model);
    if (model.valueCount == 0) {
        model.kind = Kind::Unused;
        model.note = "no values";
    }
}

Status NaiveBayes::trainOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                 Collective& collective) {
    classCount_ = share.classCount();
    const CodeSpan classes = share.classes();
    std::vector<std::uint64_t> counts(classCount_, 0);
    for (const RowIndex r : rows) ++counts[static_cast<std::size_t>(classes[r])];
    collective.sum(counts);
    if (std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}) == 0)
        return Status::failure("there are no training records");
    if (!uses_.empty() && uses_.size() != share.attributeCount())
        return Status::failure("the attribute choices do not fit the data's attributes");
    setPriors(std::vector<std::size_t>(counts.begin(), counts.end()));
    attributes_.assign(share.attributeCount(), AttributeModel{});

    // The first process fits each numeric attribute on a data set of the training records'
    // classes and, one at a time, that attribute's values, as train() fits them.
    std::string own;
    const CodeColumn ownClasses = classes.gather(rows);
    const std::vector<std::int32_t> codes = ownClasses.view().toVector();
    appendValues(own, std::span<const std::int32_t>(codes));
    const bool first = collective.rank() == 0;
    const std::size_t attributes = share.attributeCount();
    Dataset gathered = Dataset::fromColumns(
        share.attributes(), share.classValues(), std::vector<NumericColumn>(attributes),
        std::vector<CodeColumn>(attributes),
        CodeColumn(joinedValues<std::int32_t>(collective.gather(own))));
    std::vector<RowIndex> all(first ? gathered.recordCount() : 0);
    std::iota(all.begin(), all.end(), RowIndex{0});
    const CodeSpan trainClasses = gathered.classes();
    for (std::size_t a = 0; a < share.attributeCount(); ++a) {
        const Attribute& attribute = share.attribute(a);
        const bool used = uses_.empty() || uses_[a] != AttributeUse::LeftOut;
        if (attribute.type == AttributeType::Nominal && used) {
            tableOnShares(share, a, rows, collective);
            continue;
        }
        if (attribute.type == AttributeType::Numeric && used) {
            NumericColumn column = gatheredColumn(share.numeric(a), rows, collective);
            if (!first) continue;
            gathered.makeNumeric(a, std::move(column));
            trainAttribute(gathered, a, all, trainClasses);
            gathered.makeNumeric(a, NumericColumn());
            continue;
        }
        if (first) trainAttribute(gathered, a, all, trainClasses);
    }
    anyKernel_ = std::any_of(attributes_.begin(), attributes_.end(),
                             [](const AttributeModel& m) { return m.kind == Kind::Kernel; });
    return Status();
}

}  // namespace mining
