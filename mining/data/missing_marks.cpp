#include "data/missing_marks.h"

#include <algorithm>
#include <array>

#include "data/number_parser.h"
#include "data/text_fields.h"

namespace mining {

namespace {

// The built-in marks' texts, by id.
constexpr std::array<std::string_view, kFirstTokenMark> kMarkTexts{
    "?",       "",        "NA",       "NaN",      "nan",  "-NaN", "-nan", "N/A",
    "n/a",     "#N/A",    "#NA",      "#N/A N/A", "<NA>", "NULL", "null", "1.#IND",
    "-1.#IND", "1.#QNAN", "-1.#QNAN", "-",        "--",   "."};

}  // namespace

std::string_view builtInMarkText(MarkId mark) {
    return mark < kMarkTexts.size() ? kMarkTexts[mark] : std::string_view();
}

MissingTokens::MissingTokens(const std::vector<std::string>& tokens) {
    for (const std::string& given : tokens) {
        const std::string_view token = trimBlanks(given);
        if (token.empty() || tokens_.size() == kMaxTokens) continue;
        const auto mark = static_cast<MarkId>(kFirstTokenMark + tokens_.size());
        tokens_.emplace_back(token);
        if (const std::optional<double> number = numberValue(token))
            numbers_.emplace_back(*number + 0.0, mark);  // "-0" is 0, as the reader has it
    }
}

std::string MissingTokens::text(MarkId mark) const {
    if (mark < kFirstTokenMark) return std::string(builtInMarkText(mark));
    const std::size_t t = mark - kFirstTokenMark;
    return t < tokens_.size() ? tokens_[t] : std::string();
}

void MarkTally::add(std::uint32_t column, MarkId mark, std::uint64_t n) {
    if (column >= first_.size()) first_.resize(column + 1, 0);
    std::uint32_t* link = &first_[column];
    while (*link != 0) {
        Entry& entry = counts_[*link - 1];
        if (entry.count.mark == mark) {
            entry.count.count += n;
            return;
        }
        link = &entry.next;
    }
    counts_.push_back(Entry{MarkCount{column, mark, n}, 0});
    // push_back may have moved the entries: find the link again through the column.
    link = &first_[column];
    while (*link != 0) link = &counts_[*link - 1].next;
    *link = static_cast<std::uint32_t>(counts_.size());
}

void MarkTally::addAll(const MarkTally& other) {
    for (const Entry& entry : other.counts_)
        add(entry.count.column, entry.count.mark, entry.count.count);
}

std::vector<MarkCount> MarkTally::counts() const {
    std::vector<MarkCount> out;
    out.reserve(counts_.size());
    for (const Entry& entry : counts_) out.push_back(entry.count);
    std::sort(out.begin(), out.end(), [](const MarkCount& a, const MarkCount& b) {
        return a.column != b.column ? a.column < b.column : a.mark < b.mark;
    });
    return out;
}

}  // namespace mining
