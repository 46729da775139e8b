#include "interval/tree.h"

#include <algorithm>
#include <numeric>

#include "data/column_vector.h"
#include "interval/gain_ratio.h"
#include "interval/prune.h"
#include "util/parallel.h"

namespace mining::interval {

namespace {

// A gain ratio at or below this is rounding noise, not information.
constexpr double kMinGainRatio = 1e-12;

// Nodes with at least this many records evaluate their attributes and reorder their columns
// on as many threads as there are cores, handing out one attribute or column at a time.
constexpr std::size_t kParallelRecords = 20000;
// With a work limit, a split into more branches than this, and more than half the node's records,
// makes the node a leaf (IntervalTree).
constexpr std::size_t kManyBranches = 32;

// Over several processes a level's nodes combine their counts together, as many nodes at a time
// as hold about this many counts.
constexpr std::size_t kLevelCells = std::size_t{1} << 22;

// A split with at most this many branches numbers its records' branches in a byte.
constexpr std::size_t kSmallBranches = 256;

// The best split found for a node.
struct Choice {
    std::int32_t attribute = -1;
    double gainRatio = 0;
    bool numeric = false;
    std::vector<double> cuts;
    BinLayout layout;                       // numeric: how its values fell into initial bins
    MantissaLayout mantissaLayout;          // ... the same for mantissas
    std::vector<std::uint32_t> partOfSlot;  // numeric: the part of each of those bins
    std::vector<std::int32_t> values;
    std::vector<Part> parts;
};

// One attribute's evaluation at a node between its steps: a numeric attribute's summary of
// this process's values and of every process's, the layout of its initial intervals and
// their counts; a nominal one's counts by value and class.
struct Evaluation {
    bool active = false;  // numeric, or nominal and not used on the path
    bool numeric = false;
    ValueSummary own;
    ValueSummary whole;
    BinLayout layout;
    MantissaLayout mantissaLayout;
    SlotCounts slots;  // nominal: counts alone, value v at [v * classCount, ...)
};

// The training records by column, ordered so that the records of every node lie together: a
// node is a range of positions, and splitting it reorders its range branch by branch. A node is
// grown reading only its own contiguous values, and no memory is allocated per node.
// A numeric attribute whose data set column holds decimal mantissas keeps them (value =
// mantissa / scale): half the memory of doubles and the same order, which is all the binning
// needs. Only columns the data set keeps as doubles are copied as doubles.
// Codes keep the data set's width: one byte a record for nearly every column.
struct Columns {
    CodeColumn classes;
    std::vector<std::vector<std::int32_t>> mantissas;  // by attribute; empty unless decimal
    std::vector<double> scales;                        // by attribute, of mantissas
    std::vector<std::vector<double>> doubles;          // by attribute; numeric, not decimal
    std::vector<CodeColumn> nominal;                   // by attribute; empty unless nominal
};

// The positions [begin, end) of a node's records in Columns.
struct Range {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end - begin; }
};

// Buffers reused between the attributes and nodes one thread evaluates, and between the
// columns it reorders.
struct Scratch {
    BinScratch bins;
    std::vector<std::uint32_t> counts;  // a nominal attribute's counts, on one process
    // What reordering moves through, which it writes before it reads: left unset when grown.
    ColumnVector<std::int32_t> ints;
    ColumnVector<std::uint8_t> bytes;
    ColumnVector<double> doubles;
};

// Returns the rows `rows` in ascending order (which reads each column front to back; the tree
// does not depend on the order of the records): `rows` itself when sorted already (a split gives
// them so), else a sorted copy made in `sorted`.
std::span<const RowIndex> ascendingRows(std::span<const RowIndex> rows, std::size_t recordCount,
                                        std::vector<RowIndex>& sorted) {
    if (std::is_sorted(rows.begin(), rows.end())) return rows;
    std::vector<std::uint32_t> taken(recordCount, 0);
    for (RowIndex r : rows) ++taken[r];
    sorted.reserve(rows.size());
    for (std::size_t r = 0; r < taken.size(); ++r) {
        for (std::uint32_t k = 0; k < taken[r]; ++k) sorted.push_back(static_cast<RowIndex>(r));
    }
    return sorted;
}

template <typename T, typename Column>
std::vector<T> gather(const Column& column, std::span<const RowIndex> rows) {
    std::vector<T> out;
    out.reserve(rows.size());
    for (RowIndex row : rows) out.push_back(column[row]);
    return out;
}

// Moves the elements of first[0, n) that are kept to first[0, kept), slot by slot, each keeping
// its order: those of slot `front` to first[0, frontCount), in place (they only ever move down),
// the others through `buffer`, the k-th of them to place[k] there, and then after them. An
// element not kept has a spare place past the others, and is lost. Each element is written both
// ways, which needs no branch: the wrong write is overwritten later (place[k] by the k-th
// element, or the spare place at place[n - frontCount]).
template <typename T, typename Slot>
void partitionColumn(T* first, std::size_t n, const Slot* slot, const std::uint32_t* place,
                     std::size_t front, std::size_t frontCount, std::size_t kept,
                     ColumnVector<T>& buffer) {
    const std::size_t behind = kept - frontCount;
    if (buffer.size() < behind + 1) buffer.resize(behind + 1);
    std::size_t w = 0;
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const T value = first[i];
        const bool inFront = slot[i] == front;
        first[w] = value;
        buffer[place[k]] = value;
        w += inFront;
        k += !inFront;
    }
    std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(behind),
              first + frontCount);
}

// Sets the places of partitionColumn: for the k-th element not in slot `front`, of slot j, the
// place next[j] in the buffer, from which its slot's next element follows (step[j] == 1) or not
// (step[j] == 0: the spare place); then the spare place. `place` holds n - frontCount + 1.
template <typename Slot>
void placeSlots(std::size_t n, const Slot* slot, std::vector<std::size_t> next,
                const std::vector<std::size_t>& step, std::size_t front, std::size_t spare,
                std::uint32_t* place) {
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = slot[i];
        place[k] = static_cast<std::uint32_t>(next[j]);
        k += j != front;
        next[j] += step[j];
    }
    place[k] = static_cast<std::uint32_t>(spare);
}

}  // namespace

// Grows the tree node by node: depth first, or level by level under a work limit.
class IntervalTree::Grower {
public:
    // Takes the records `rows` of `data` by column.
    // The records of every process of `all` are the node's: each process takes its own, and
    // every figure the choices read is combined over the processes first.
    Grower(const Dataset& data, std::span<const RowIndex> rows, const TreeOptions& options,
           std::vector<TreeNode>& nodes, Collective& all)
        : data_(data),
          options_(options),
          nodes_(nodes),
          all_(all),
          classCount_(data.classCount()),
          usedNominal_(data.attributeCount(), false),
          scratch_(coreCount()) {
        std::vector<RowIndex> sorted;
        const std::span<const RowIndex> ascending = ascendingRows(rows, data.recordCount(), sorted);
        const std::size_t attributes = data.attributeCount();
        columns_.mantissas.resize(attributes);
        columns_.scales.assign(attributes, 1.0);
        columns_.doubles.resize(attributes);
        columns_.nominal.resize(attributes);
        // Each column is taken on its own, on whichever core is free; the last task takes
        // the classes.
        runTasks(
            attributes + 1,
            [&](std::size_t a) {
                if (a == attributes) {
                    columns_.classes = data.classes().gather(ascending);
                } else {
                    takeColumn(a, ascending);
                }
            },
            ascending.size() >= kParallelRecords);
    }

    // Takes the values of attribute `a` in rows `ascending` into columns_.
    void takeColumn(std::size_t a, std::span<const RowIndex> ascending) {
        if (data_.attribute(a).type == AttributeType::Numeric) {
            const NumericColumn& column = data_.numeric(a);
            if (const std::optional<DecimalView> decimals = column.decimals()) {
                columns_.mantissas[a] = gather<std::int32_t>(decimals->mantissas(), ascending);
                columns_.scales[a] = decimals->scale();
            } else {
                columns_.doubles[a] = gather<double>(column, ascending);
            }
        } else if (data_.attribute(a).type == AttributeType::Nominal) {
            columns_.nominal[a] = data_.nominal(a).gather(ascending);
        }
    }

    // Returns the range of every record.
    Range all() const { return Range{0, columns_.classes.size()}; }

    // Fills in node `index` (its counts, total, label and depth already set) from its records,
    // then grows its children depth first.
    void grow(std::size_t index, Range range) {
        Choice best = chooseSplit(index, range);
        if (best.attribute < 0) return;
        const auto a = static_cast<std::size_t>(best.attribute);
        const bool nominal = !best.numeric;
        const std::vector<Pending> children = split(index, range, std::move(best));
        if (nominal) usedNominal_[a] = true;
        for (const Pending& child : children) grow(child.index, child.range);
        if (nominal) usedNominal_[a] = false;
    }

    // Grows the tree from the root level by level, each level in node order, until no node
    // grows or the work limit is reached.
    void growLevels() {
        std::vector<Pending> level{Pending{0, all(), {}}};
        while (!level.empty() && !stopped_) {
            std::vector<Pending> next;
            for (const Pending& p : level) {
                markPath(p, true);
                growOne(p, next);
                markPath(p, false);
                if (stopped_) break;
            }
            level = std::move(next);
        }
    }

    // Grows the tree from the root level by level over several processes, each level in node
    // order: the nodes of a level (as many at a time as keeps their counts within
    // kLevelCells) combine their summaries in one message and their counts in another. With a
    // work limit the tree is growLevels()'s; without, its nodes are then numbered as grow()
    // numbers them.
    void growLevelsTogether() {
        std::vector<Pending> level{Pending{0, all(), {}}};
        while (!level.empty() && !stopped_) {
            std::vector<Pending> next;
            std::size_t k = 0;
            while (k < level.size() && !stopped_) {
                // The next batch: the nodes evaluated, each with its attributes' evaluations.
                std::vector<std::size_t> batch;
                std::vector<std::vector<Evaluation>> evaluations;
                std::size_t cells = 0;
                for (; k < level.size() && cells < kLevelCells; ++k) {
                    const Pending& p = level[k];
                    markPath(p, true);
                    const bool evaluated = evaluates(p.index);
                    if (evaluated) {
                        batch.push_back(k);
                        evaluations.emplace_back(data_.attributeCount());
                        for (std::size_t a = 0; a < data_.attributeCount(); ++a)
                            start(p.range, a, evaluations.back()[a]);
                        cells += nodeCells(evaluations.back());
                    }
                    markPath(p, false);
                    if (stopped_) break;
                }
                combineSummaries(evaluations);
                for (std::size_t b = 0; b < batch.size(); ++b) {
                    const Range range = level[batch[b]].range;
                    runTasksOnThreads(
                        data_.attributeCount(),
                        [&](std::size_t a, std::size_t t) {
                            count(range, a, scratch_[t], evaluations[b][a]);
                        },
                        range.size() >= kParallelRecords);
                }
                combineCounts(evaluations);
                for (std::size_t b = 0; b < batch.size(); ++b) {
                    const Pending& p = level[batch[b]];
                    const TreeNode& node = nodes_[p.index];
                    std::vector<Choice> choices(data_.attributeCount());
                    for (std::size_t a = 0; a < choices.size(); ++a)
                        choices[a] = evaluate(a, node.depth + 1, node.total, evaluations[b][a]);
                    Choice best = accepted(bestOf(choices), node.total);
                    if (best.attribute < 0) continue;
                    markPath(p, true);
                    std::vector<std::int32_t> used = p.usedNominal;
                    if (!best.numeric) used.push_back(best.attribute);
                    for (Pending& child : split(p.index, p.range, std::move(best))) {
                        child.usedNominal = used;
                        next.push_back(std::move(child));
                    }
                    markPath(p, false);
                }
            }
            if (stopped_) nodesAtStop_ = nodes_.size();
            level = std::move(next);
        }
        if (options_.workLimit == 0) numberDepthFirst();
    }

    std::uint64_t workDone() const { return workDone_; }
    bool stopped() const { return stopped_; }
    bool stoppedByClock() const { return byClock_; }
    std::size_t nodesAtStop() const { return nodesAtStop_; }
    std::size_t nearEmptyLeaves() const { return nearEmpty_; }

private:
    // A node still to grow: its records and the nominal attributes used on its path.
    struct Pending {
        std::uint32_t index = 0;
        Range range;
        std::vector<std::int32_t> usedNominal;
    };

    // Sets usedNominal_ of the nominal attributes on node `p`'s path to `used`.
    void markPath(const Pending& p, bool used) {
        for (std::int32_t a : p.usedNominal) usedNominal_[static_cast<std::size_t>(a)] = used;
    }

    // Numbers the nodes as grow() appends them, depth first: a node's children take the next
    // numbers when the node is reached, each child's subtree in turn after them.
    void numberDepthFirst() {
        std::vector<std::uint32_t> order;  // old numbers in the new order
        order.reserve(nodes_.size());
        order.push_back(0);
        std::vector<std::uint32_t> stack{0};
        std::vector<std::uint32_t> renamed(nodes_.size(), 0);
        while (!stack.empty()) {
            const std::uint32_t old = stack.back();
            stack.pop_back();
            const std::vector<std::uint32_t>& children = nodes_[old].children;
            for (std::uint32_t c : children) {
                renamed[c] = static_cast<std::uint32_t>(order.size());
                order.push_back(c);
            }
            for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back(*c);
        }
        std::vector<TreeNode> numbered;
        numbered.reserve(nodes_.size());
        for (std::uint32_t old : order) {
            numbered.push_back(std::move(nodes_[old]));
            for (std::uint32_t& c : numbered.back().children) c = renamed[c];
        }
        nodes_ = std::move(numbered);
    }

    // Returns the number of counts the evaluations of one node combine.
    std::size_t nodeCells(const std::vector<Evaluation>& evaluations) const {
        std::size_t cells = 0;
        for (std::size_t a = 0; a < evaluations.size(); ++a) {
            if (!evaluations[a].active) continue;
            cells += (evaluations[a].numeric ? static_cast<std::size_t>(options_.bins)
                                             : data_.attribute(a).values.size()) *
                     classCount_;
        }
        return cells;
    }

    // Splits node `p` (usedNominal_ set for its path) if it grows, appending its growing
    // children to `next`.
    void growOne(const Pending& p, std::vector<Pending>& next) {
        Choice best = chooseSplit(p.index, p.range);
        if (best.attribute < 0) return;
        std::vector<std::int32_t> used = p.usedNominal;
        if (!best.numeric) used.push_back(best.attribute);
        for (Pending& child : split(p.index, p.range, std::move(best))) {
            child.usedNominal = used;
            next.push_back(std::move(child));
        }
    }

    // Returns whether node `index` is evaluated for a split (see IntervalTree for the rules),
    // counting the work of evaluating it; false also when growth stops there (stopped_).
    bool evaluates(std::size_t index) {
        const TreeNode& node = nodes_[index];
        const bool pure = std::count_if(node.counts.begin(), node.counts.end(),
                                        [](std::uint32_t c) { return c > 0; }) <= 1;
        if (pure || node.depth >= options_.maxDepth ||
            node.total < static_cast<std::uint32_t>(std::max(options_.minSplit, 2))) {
            return false;
        }
        const std::uint64_t work = nodeWork(node.total);
        const std::uint64_t limit = options_.workLimit;
        if (limit > 0 && (workDone_ > limit || work > limit - workDone_)) {
            stopped_ = true;
            return false;
        }
        if (limit > 0 && options_.deadline && options_.deadline->passed()) {
            stopped_ = true;
            byClock_ = true;
            return false;
        }
        workDone_ += work;
        return true;
    }

    // Returns `best`, the best split of a node of `total` records, if it splits the node, else
    // a choice with attribute -1.
    Choice accepted(Choice best, std::uint32_t total) {
        if (best.attribute < 0 || !(best.gainRatio > kMinGainRatio)) return {};
        if (options_.workLimit > 0 && best.parts.size() > kManyBranches &&
            best.parts.size() * 2 > total) {
            ++nearEmpty_;
            return {};
        }
        return best;
    }

    // Returns the split of node `index`, or a choice with attribute -1 when it is a leaf (see
    // IntervalTree for the rules), counting the work of evaluating it.
    Choice chooseSplit(std::size_t index, Range range) {
        if (!evaluates(index)) {
            if (stopped_) nodesAtStop_ = nodes_.size();
            return {};
        }
        const TreeNode& node = nodes_[index];
        return accepted(choose(range, node.depth + 1, node.total), node.total);
    }

    // Returns the work of evaluating a node of `records` records (see IntervalTree).
    std::uint64_t nodeWork(std::size_t records) const {
        std::uint64_t work = 0;
        for (std::size_t a = 0; a < data_.attributeCount(); ++a) {
            const Attribute& attribute = data_.attribute(a);
            if (attribute.type == AttributeType::Numeric) {
                work += records + static_cast<std::uint64_t>(options_.bins) * classCount_;
            } else if (attribute.type == AttributeType::Nominal && !usedNominal_[a]) {
                work += records + attribute.values.size() * classCount_;
            }
        }
        return work;
    }

    // Returns the values of numeric attribute `a` at the node, read in place.
    NumericValues numericValues(Range range, std::size_t a) const {
        NumericValues values;
        if (!columns_.mantissas[a].empty()) {
            values.mantissas = {columns_.mantissas[a].data() + range.begin, range.size()};
            values.scale = columns_.scales[a];
        } else {
            values.doubles = {columns_.doubles[a].data() + range.begin, range.size()};
        }
        return values;
    }

    // Starts the evaluation of attribute `a` at the node: the summary of its own values.
    void start(Range range, std::size_t a, Evaluation& e) const {
        const AttributeType type = data_.attribute(a).type;
        e.numeric = type == AttributeType::Numeric;
        e.active = e.numeric || (type == AttributeType::Nominal && !usedNominal_[a]);
        if (e.numeric) e.whole = e.own = summarize(numericValues(range, a));
    }

    // Counts the node's own records of attribute `a` (e.whole the summary of all of them): by
    // initial interval and class, or by value and class.
    void count(Range range, std::size_t a, Scratch& scratch, Evaluation& e) const {
        if (!e.active) return;
        const CodeSpan classes = columns_.classes.view(range.begin, range.size());
        if (e.numeric) {
            int binCount = options_.bins;
            if (options_.binRecords > 0) {
                const auto fit = e.whole.present / static_cast<std::size_t>(options_.binRecords);
                binCount = static_cast<int>(
                    std::clamp<std::size_t>(fit, 2, static_cast<std::size_t>(binCount)));
            }
            const NumericValues values = numericValues(range, a);
            e.layout = nodeLayout(values, e.whole, binCount, options_.binning, scratch.bins);
            e.slots = slotCounts(values, e.own, e.layout, classes, classCount_, e.mantissaLayout);
            return;
        }
        const CodeSpan codes = columns_.nominal[a].view(range.begin, range.size());
        const std::size_t valueCount = data_.attribute(a).values.size();
        std::vector<std::uint32_t>& counts = e.slots.counts;
        counts.assign(valueCount * classCount_, 0);
        for (std::size_t i = 0; i < range.size(); ++i) {
            const std::int32_t code = codes[i];
            if (code < 0 || static_cast<std::size_t>(code) >= valueCount) continue;
            ++counts[static_cast<std::size_t>(code) * classCount_ +
                     static_cast<std::size_t>(classes[i])];
        }
    }

    // Returns the partition of the node (of `total` records) on attribute `a` with its gain
    // ratio from every process's counts `e`, or a choice with attribute -1 when `a` cannot
    // split it.
    Choice evaluate(std::size_t a, int len, std::uint32_t total, Evaluation& e) const {
        Choice c;
        if (!e.active) return c;
        if (e.numeric) {
            NodeBins bins =
                nodeBinsOf(std::move(e.layout), std::move(e.mantissaLayout), e.slots, classCount_);
            NumericPartition p =
                options_.maxBranches >= 2
                    ? mergeBinsLimited(bins.bins, static_cast<std::size_t>(options_.maxBranches),
                                       len, options_.maxDepth)
                    : mergeBins(bins.bins, len, options_.maxDepth);
            c.numeric = true;
            c.partOfSlot = partOfSlot(bins, p);
            c.layout = std::move(bins.layout);
            c.mantissaLayout = std::move(bins.mantissaLayout);
            c.cuts = std::move(p.cuts);
            c.parts = std::move(p.parts);
        } else {
            NominalPartition p =
                nominalPartition(e.slots.counts, classCount_, len, options_.maxDepth);
            c.values = std::move(p.values);
            c.parts = std::move(p.parts);
        }
        if (c.parts.size() < 2) return Choice{};
        c.attribute = static_cast<std::int32_t>(a);
        c.gainRatio = gainRatio(flatCounts(c.parts, classCount_), classCount_, total);
        return c;
    }

    // Sets the summaries `whole` of every node's evaluations (evaluations[node][attribute]) to
    // those of every process's values, in one message.
    void combineSummaries(std::vector<std::vector<Evaluation>>& evaluations) {
        std::vector<std::uint64_t> present;
        std::vector<double> ends;  // the smallest values, then the largest negated
        for (const std::vector<Evaluation>& node : evaluations) {
            for (const Evaluation& e : node) {
                if (!e.numeric) continue;
                present.push_back(e.own.present);
                ends.push_back(e.own.first);
            }
        }
        for (const std::vector<Evaluation>& node : evaluations) {
            for (const Evaluation& e : node) {
                if (e.numeric) ends.push_back(-e.own.last);
            }
        }
        all_.sum(present);
        all_.least(ends);
        std::size_t k = 0;
        for (std::vector<Evaluation>& node : evaluations) {
            for (Evaluation& e : node) {
                if (!e.numeric) continue;
                e.whole.present = present[k];
                e.whole.first = ends[k];
                e.whole.last = -ends[present.size() + k];
                ++k;
            }
        }
    }

    // Sets every evaluation's counts and ranges to those of every process's records, in one
    // message.
    void combineCounts(std::vector<std::vector<Evaluation>>& evaluations) {
        std::vector<std::uint64_t> counts;
        std::vector<double> ends;  // each interval's smallest value, then its largest negated
        for (const std::vector<Evaluation>& node : evaluations) {
            for (const Evaluation& e : node) {
                counts.insert(counts.end(), e.slots.counts.begin(), e.slots.counts.end());
                ends.insert(ends.end(), e.slots.lo.begin(), e.slots.lo.end());
            }
        }
        for (const std::vector<Evaluation>& node : evaluations) {
            for (const Evaluation& e : node) {
                for (double hi : e.slots.hi) ends.push_back(-hi);
            }
        }
        all_.sum(counts);
        all_.least(ends);
        std::size_t at = 0;
        std::size_t lo = 0;
        std::size_t hi = ends.size() / 2;
        for (std::vector<Evaluation>& node : evaluations) {
            for (Evaluation& e : node) {
                for (std::uint32_t& c : e.slots.counts)
                    c = static_cast<std::uint32_t>(counts[at++]);
                for (double& v : e.slots.lo) v = ends[lo++];
                for (double& v : e.slots.hi) v = -ends[hi++];
            }
        }
    }

    // Returns the choice of the best gain ratio, a tie to the earlier attribute.
    static Choice bestOf(std::vector<Choice>& choices) {
        Choice best;
        for (Choice& c : choices) {
            if (c.attribute < 0) continue;
            if (best.attribute < 0 || c.gainRatio > best.gainRatio) best = std::move(c);
        }
        return best;
    }

    // Returns the best split of the node's records `range` (`total` records) for branches at
    // depth len, on one process: each attribute evaluated in one go.
    Choice choose(Range range, int len, std::uint32_t total) {
        const std::size_t attributes = data_.attributeCount();
        std::vector<Evaluation> evaluations(attributes);
        std::vector<Choice> choices(attributes);
        // On a large node the attributes go to whichever thread is free, each thread with its
        // own scratch; the result does not depend on which thread evaluates what.
        runTasksOnThreads(
            attributes,
            [&](std::size_t a, std::size_t t) {
                Evaluation& e = evaluations[a];
                start(range, a, e);
                // A nominal attribute's table of many values and classes is the thread's own,
                // kept from node to node rather than made for each.
                const bool nominal = data_.attribute(a).type == AttributeType::Nominal;
                if (nominal) e.slots.counts.swap(scratch_[t].counts);
                count(range, a, scratch_[t], e);
                choices[a] = evaluate(a, len, total, e);
                if (nominal) scratch_[t].counts.swap(e.slots.counts);
            },
            range.size() >= kParallelRecords && attributes > 1);
        return bestOf(choices);
    }

    // Returns the branch with the most training records, which takes missing values.
    static std::uint32_t missingBranch(const Choice& choice) {
        std::uint32_t missingChild = 0;
        for (std::uint32_t j = 1; j < choice.parts.size(); ++j) {
            if (choice.parts[j].total > choice.parts[missingChild].total) missingChild = j;
        }
        return missingChild;
    }

    // Sets the branch of each record in `piece` for a numeric split into slot[0, piece.size()):
    // the part of the initial bin its value fell into when the split was chosen, which is the
    // interval of the cuts that holds it.
    template <typename Slot>
    void numericSlots(Range piece, Slot* slot, const Choice& choice,
                      std::uint32_t missingChild) const {
        const NumericValues values =
            numericValues(piece, static_cast<std::size_t>(choice.attribute));
        const std::uint32_t* part = choice.partOfSlot.data();
        if (!values.mantissas.empty()) {
            const MantissaLayout& bins = choice.mantissaLayout;
            for (std::size_t i = 0; i < piece.size(); ++i) {
                const std::int32_t m = values.mantissas[i];
                slot[i] = static_cast<Slot>(
                    m == NumericValues::kMissingMantissa ? missingChild : part[bins.binOf(m)]);
            }
        } else {
            for (std::size_t i = 0; i < piece.size(); ++i) {
                const double v = values.doubles[i];
                slot[i] =
                    static_cast<Slot>(isMissing(v) ? missingChild : part[choice.layout.binOf(v)]);
            }
        }
    }

    // Returns the branch of each value code of a nominal split (-1 for a value with no branch).
    std::vector<std::int32_t> valueBranches(const Choice& choice) const {
        const auto a = static_cast<std::size_t>(choice.attribute);
        std::vector<std::int32_t> childOfValue(data_.attribute(a).values.size(), -1);
        for (std::size_t j = 0; j < choice.values.size(); ++j) {
            childOfValue[static_cast<std::size_t>(choice.values[j])] = static_cast<std::int32_t>(j);
        }
        return childOfValue;
    }

    // Sets the branch of each record in `piece` for a nominal split into slot[0, piece.size()).
    template <typename Slot>
    void nominalSlots(Range piece, Slot* slot, const Choice& choice,
                      const std::vector<std::int32_t>& childOfValue,
                      std::uint32_t missingChild) const {
        const CodeSpan codes = columns_.nominal[static_cast<std::size_t>(choice.attribute)].view(
            piece.begin, piece.size());
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const std::int32_t code = codes[i];
            const bool known = code >= 0 && static_cast<std::size_t>(code) < childOfValue.size();
            const std::int32_t j = known ? childOfValue[static_cast<std::size_t>(code)] : -1;
            slot[i] = static_cast<Slot>(j >= 0 ? static_cast<std::uint32_t>(j) : missingChild);
        }
    }

    // Sets the branch of each record in `range` into smallSlot_ or slot_ (see there) and
    // returns the class counts of every branch (branch j at [j * classCount, ...)).
    std::vector<std::uint32_t> assignBranches(Range range, const Choice& choice,
                                              const std::vector<std::int32_t>& childOfValue,
                                              std::uint32_t missingChild) {
        if (choice.parts.size() <= kSmallBranches) {
            return assignBranchesTo(smallSlot_, range, choice, childOfValue, missingChild);
        }
        return assignBranchesTo(slot_, range, choice, childOfValue, missingChild);
    }

    // assignBranches() into `slots`. A large node is done in chunks on every core, each chunk
    // counting for itself.
    template <typename Slot>
    std::vector<std::uint32_t> assignBranchesTo(std::vector<Slot>& slots, Range range,
                                                const Choice& choice,
                                                const std::vector<std::int32_t>& childOfValue,
                                                std::uint32_t missingChild) {
        constexpr std::size_t kChunk = 1 << 16;
        slots.resize(range.size());
        const std::size_t chunks = (range.size() + kChunk - 1) / kChunk;
        const std::size_t width = choice.parts.size() * classCount_;
        std::vector<std::uint32_t> counts(chunks * width, 0);
        runTasks(
            chunks,
            [&](std::size_t c) {
                const Range piece{range.begin + c * kChunk,
                                  std::min(range.end, range.begin + (c + 1) * kChunk)};
                Slot* slot = slots.data() + (piece.begin - range.begin);
                if (choice.numeric) {
                    numericSlots(piece, slot, choice, missingChild);
                } else {
                    nominalSlots(piece, slot, choice, childOfValue, missingChild);
                }
                std::uint32_t* own = counts.data() + c * width;
                const CodeSpan classes = columns_.classes.view(piece.begin, piece.size());
                for (std::size_t i = 0; i < piece.size(); ++i) {
                    ++own[std::size_t{slot[i]} * classCount_ +
                          static_cast<std::size_t>(classes[i])];
                }
            },
            range.size() >= kParallelRecords);
        for (std::size_t c = 1; c < chunks; ++c) {
            for (std::size_t k = 0; k < width; ++k) counts[k] += counts[c * width + k];
        }
        counts.resize(width);
        return counts;
    }

    // Appends the children of node `index` to the tree with the class counts `counts` of
    // assignBranches() over every process; sets whether each child grows further and, for
    // those that do, the range of its own records (their class counts `own`).
    void addChildren(std::size_t index, Range range, const Choice& choice,
                     const std::vector<std::uint32_t>& counts,
                     const std::vector<std::uint32_t>& own, std::vector<Range>& childRanges,
                     std::vector<bool>& growing) {
        const std::size_t branches = choice.parts.size();
        const std::int32_t parentLabel = nodes_[index].label;
        const int depth = nodes_[index].depth + 1;
        std::vector<TreeNode> newNodes(branches);
        for (std::size_t j = 0; j < branches; ++j) {
            const auto first = counts.begin() + static_cast<std::ptrdiff_t>(j * classCount_);
            newNodes[j].counts.assign(first, first + static_cast<std::ptrdiff_t>(classCount_));
        }
        const auto minSplit = static_cast<std::uint32_t>(std::max(options_.minSplit, 2));
        std::size_t largest = branches;  // the largest growing branch
        std::vector<std::uint32_t> totals(branches);
        for (std::size_t j = 0; j < branches; ++j) {
            TreeNode& child = newNodes[j];
            for (std::uint32_t c : child.counts) child.total += c;
            child.label = child.total ? majority(child.counts) : parentLabel;
            child.depth = depth;
            child.winner = choice.parts[j].winner;
            child.strong = choice.parts[j].strong;
            const bool pure = child.counts[static_cast<std::size_t>(child.label)] == child.total;
            growing[j] =
                !child.strong && !pure && depth < options_.maxDepth && child.total >= minSplit;
            const auto first = own.begin() + static_cast<std::ptrdiff_t>(j * classCount_);
            totals[j] = std::accumulate(first, first + static_cast<std::ptrdiff_t>(classCount_),
                                        std::uint32_t{0});
            if (growing[j] && (largest == branches || totals[j] > totals[largest])) largest = j;
            nodes_[index].children.push_back(static_cast<std::uint32_t>(nodes_.size()));
            nodes_.push_back(std::move(child));
        }
        // Only the records of growing branches are kept together, from range.begin on: the
        // largest first, so that reordering moves it in place, then the others in order.
        std::size_t at = range.begin;
        for (std::size_t k = 0; k <= branches; ++k) {
            const std::size_t j = k == 0 ? largest : k - 1;
            if (j == branches || !growing[j] || (k > 0 && j == largest)) continue;
            childRanges[j] = Range{at, at + totals[j]};
            at += totals[j];
        }
    }

    // Returns the class counts of every branch of node `index` split by `choice` over every
    // process, as assignBranches() counts them: each part's counts, and the node's records
    // whose value is missing (those no part counts) in branch missingChild.
    std::vector<std::uint32_t> branchCounts(std::size_t index, const Choice& choice,
                                            std::uint32_t missingChild) const {
        std::vector<std::uint32_t> counts = flatCounts(choice.parts, classCount_);
        const std::vector<std::uint32_t>& node = nodes_[index].counts;
        for (std::size_t c = 0; c < classCount_; ++c) {
            std::uint32_t known = 0;
            for (std::size_t j = 0; j < choice.parts.size(); ++j)
                known += counts[j * classCount_ + c];
            counts[std::size_t{missingChild} * classCount_ + c] += node[c] - known;
        }
        return counts;
    }

    // Splits node `index` by `choice` and returns its children that grow further, with their
    // records.
    std::vector<Pending> split(std::size_t index, Range range, Choice choice) {
        const std::size_t branches = choice.parts.size();
        const std::uint32_t missingChild = missingBranch(choice);
        std::vector<std::int32_t> childOfValue;
        if (!choice.numeric) childOfValue = valueBranches(choice);
        const std::vector<std::uint32_t> own =
            assignBranches(range, choice, childOfValue, missingChild);
        const std::vector<std::uint32_t> counts =
            all_.size() > 1 ? branchCounts(index, choice, missingChild) : own;
        std::vector<bool> growing(branches);
        std::vector<Range> childRanges(branches);
        addChildren(index, range, choice, counts, own, childRanges, growing);
        if (std::any_of(growing.begin(), growing.end(), [](bool g) { return g; })) {
            reorder(range, static_cast<std::size_t>(choice.attribute), childRanges);
        }
        TreeNode& node = nodes_[index];
        node.attribute = choice.attribute;
        node.numeric = choice.numeric;
        node.cuts = std::move(choice.cuts);
        node.childValues = std::move(choice.values);
        node.childOfValue = std::move(childOfValue);
        node.missingChild = missingChild;
        std::vector<Pending> children;
        for (std::size_t j = 0; j < branches; ++j) {
            if (growing[j]) children.push_back(Pending{node.children[j], childRanges[j], {}});
        }
        return children;
    }

    // The columns the children of a node read, by the width of their values.
    struct ColumnsBelow {
        std::vector<std::int32_t*> ints;
        std::vector<std::uint8_t*> bytes;
        std::vector<double*> doubles;
    };

    // Returns the columns the children of a node split on `attribute` read: the classes, the
    // numeric columns and the nominal ones. A nominal attribute used on the path, this one
    // included, is never read below it, so its column need not follow the records.
    ColumnsBelow columnsBelow(std::size_t attribute) {
        ColumnsBelow below;
        auto addCodes = [&below](CodeColumn& codes) {
            if (codes.narrow()) {
                below.bytes.push_back(codes.bytes().data());
            } else {
                below.ints.push_back(codes.wide().data());
            }
        };
        addCodes(columns_.classes);
        for (std::size_t a = 0; a < data_.attributeCount(); ++a) {
            if (!columns_.doubles[a].empty()) below.doubles.push_back(columns_.doubles[a].data());
            if (!columns_.mantissas[a].empty()) below.ints.push_back(columns_.mantissas[a].data());
            if (!columns_.nominal[a].empty() && !usedNominal_[a] && a != attribute) {
                addCodes(columns_.nominal[a]);
            }
        }
        return below;
    }

    // Reorders the node's records in `range` so that the records of each growing branch j
    // (slot_[i] == j) fill childRanges[j], each in their previous order; the columns' values of
    // other records there are left behind. On a large node the columns go to
    // whichever thread is free, each with its own buffer.
    void reorder(Range range, std::size_t attribute, const std::vector<Range>& childRanges) {
        const std::size_t n = range.size();
        std::size_t kept = 0;
        for (const Range& r : childRanges) kept += r.size();
        // The branch laid out first stays in front (partitionColumn).
        std::size_t front = 0;
        std::size_t frontCount = 0;
        for (std::size_t j = 0; j < childRanges.size(); ++j) {
            if (childRanges[j].size() > 0 && childRanges[j].begin == range.begin) {
                front = j;
                frontCount = childRanges[j].size();
            }
        }
        std::vector<std::size_t> next;
        std::vector<std::size_t> step;
        for (std::size_t j = 0; j < childRanges.size(); ++j) {
            const Range& r = childRanges[j];
            const bool behind = j != front && r.size() > 0;
            next.push_back(behind ? r.begin - range.begin - frontCount : kept - frontCount);
            step.push_back(behind ? 1 : 0);
        }
        const ColumnsBelow columns = columnsBelow(attribute);
        const bool small = childRanges.size() <= kSmallBranches;
        // Each record's place is found once for all the columns, so that moving a column waits
        // on nothing but its own reads.
        place_.resize(n - frontCount + 1);
        if (small) {
            placeSlots(n, smallSlot_.data(), next, step, front, kept - frontCount, place_.data());
        } else {
            placeSlots(n, slot_.data(), next, step, front, kept - frontCount, place_.data());
        }
        auto move = [&](auto* column, auto& buffer) {
            if (small) {
                partitionColumn(column + range.begin, n, smallSlot_.data(), place_.data(), front,
                                frontCount, kept, buffer);
            } else {
                partitionColumn(column + range.begin, n, slot_.data(), place_.data(), front,
                                frontCount, kept, buffer);
            }
        };
        const std::size_t ints = columns.ints.size();
        const std::size_t bytes = columns.bytes.size();
        runTasksOnThreads(
            ints + bytes + columns.doubles.size(),
            [&](std::size_t i, std::size_t t) {
                if (i < ints) {
                    move(columns.ints[i], scratch_[t].ints);
                } else if (i < ints + bytes) {
                    move(columns.bytes[i - ints], scratch_[t].bytes);
                } else {
                    move(columns.doubles[i - ints - bytes], scratch_[t].doubles);
                }
            },
            n >= kParallelRecords);
    }

    const Dataset& data_;
    const TreeOptions& options_;
    std::vector<TreeNode>& nodes_;
    Collective& all_;
    const std::size_t classCount_;
    std::vector<bool> usedNominal_;
    Columns columns_;
    // The branch of each record of the node being split: a byte each when there are at most
    // kSmallBranches branches (nearly always), which makes the columns' reordering read less.
    std::vector<std::uint8_t> smallSlot_;
    std::vector<std::uint32_t> slot_;
    ColumnVector<std::uint32_t> place_;  // see partitionColumn
    std::vector<Scratch> scratch_;       // by thread
    std::uint64_t workDone_ = 0;
    bool stopped_ = false;
    bool byClock_ = false;
    std::size_t nodesAtStop_ = 0;
    std::size_t nearEmpty_ = 0;
};

IntervalTree IntervalTree::grow(const Dataset& data, std::span<const RowIndex> rows,
                                const TreeOptions& options) {
    SingleProcess one;
    return growOnShares(data, rows, options, one);
}

IntervalTree IntervalTree::growOnShares(const Dataset& share, std::span<const RowIndex> rows,
                                        const TreeOptions& options, Collective& all) {
    IntervalTree tree;
    tree.options_ = options;
    // The processes' clocks differ, so over several growth would stop at different nodes.
    if (all.size() > 1) tree.options_.deadline = nullptr;
    TreeNode root;
    std::vector<std::uint64_t> counts(share.classCount(), 0);
    const auto classes = share.classes();
    for (RowIndex r : rows) ++counts[static_cast<std::size_t>(classes[r])];
    all.sum(counts);
    root.counts.assign(counts.begin(), counts.end());
    root.total = std::accumulate(root.counts.begin(), root.counts.end(), std::uint32_t{0});
    root.label = majority(root.counts);
    root.winner = root.label;
    tree.nodes_.push_back(std::move(root));
    Grower grower(share, rows, tree.options_, tree.nodes_, all);
    if (all.size() > 1) {
        grower.growLevelsTogether();
    } else if (tree.options_.workLimit > 0) {
        grower.growLevels();
    } else {
        grower.grow(0, grower.all());
    }
    tree.workDone_ = grower.workDone();
    tree.growthStopped_ = grower.stopped();
    tree.stoppedByClock_ = grower.stoppedByClock();
    tree.options_.deadline = nullptr;
    tree.nodesAtStop_ = grower.nodesAtStop();
    tree.nearEmptyLeaves_ = grower.nearEmptyLeaves();
    if (options.pruneConfidence > 0) pruneNodes(tree.nodes_, options.pruneConfidence);
    return tree;
}

std::int32_t IntervalTree::classify(const Dataset& data, RowIndex row) const {
    return nodes_[nodeOf(data, row)].label;
}

std::uint32_t IntervalTree::nodeOf(const Dataset& data, RowIndex row) const {
    std::uint32_t index = 0;
    const TreeNode* node = &nodes_[0];
    while (!node->isLeaf()) {
        const auto a = static_cast<std::size_t>(node->attribute);
        std::size_t j = node->missingChild;
        if (node->numeric) {
            const double v = data.numeric(a)[row];
            if (!isMissing(v)) {
                j = static_cast<std::size_t>(
                    std::upper_bound(node->cuts.begin(), node->cuts.end(), v) - node->cuts.begin());
            }
        } else {
            const std::int32_t code = data.nominal(a)[row];
            if (code != kMissingCode) {
                const bool seen = code >= 0 &&
                                  static_cast<std::size_t>(code) < node->childOfValue.size() &&
                                  node->childOfValue[static_cast<std::size_t>(code)] >= 0;
                if (!seen) return index;
                j = static_cast<std::size_t>(node->childOfValue[static_cast<std::size_t>(code)]);
            }
        }
        index = node->children[j];
        node = &nodes_[index];
    }
    return index;
}

std::int32_t IntervalTree::branchOf(const Dataset& data, std::uint32_t node, RowIndex row) const {
    const TreeNode& n = nodes_[node];
    const auto a = static_cast<std::size_t>(n.attribute);
    if (n.numeric) {
        const double v = data.numeric(a)[row];
        if (isMissing(v)) return static_cast<std::int32_t>(n.missingChild);
        return static_cast<std::int32_t>(std::upper_bound(n.cuts.begin(), n.cuts.end(), v) -
                                         n.cuts.begin());
    }
    const std::int32_t code = data.nominal(a)[row];
    if (code == kMissingCode) return static_cast<std::int32_t>(n.missingChild);
    if (code < 0 || static_cast<std::size_t>(code) >= n.childOfValue.size()) return -1;
    return n.childOfValue[static_cast<std::size_t>(code)];
}

std::size_t IntervalTree::leafCount() const {
    return static_cast<std::size_t>(
        std::count_if(nodes_.begin(), nodes_.end(), [](const TreeNode& n) { return n.isLeaf(); }));
}

int IntervalTree::depth() const {
    int d = 0;
    for (const TreeNode& n : nodes_) {
        if (n.isLeaf()) d = std::max(d, n.depth);
    }
    return d;
}

}  // namespace mining::interval
