#include "data/read_notes.h"

#include <algorithm>

#include "util/report_text.h"

namespace mining {

namespace {

// The columns a note lists by name for one value or style; the others it counts.
constexpr std::size_t kListedColumns = 4;

std::string columnName(const Dataset& data, std::size_t column) {
    return shortForReport(column < data.attributeCount() ? data.attribute(column).name
                                                         : data.className());
}

// Returns `items` joined as "a, b and c".
std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

// Returns `value` as a note shows it: as it stands, or in quotes when it holds a blank or
// punctuation that would read as the note's own.
std::string shownValue(const std::string& value) {
    if (value.find_first_of(" \t,;()") == std::string::npos) return shortForReport(value);
    return "\"" + shortForReport(value) + "\"";
}

// Returns how often, or where, one column held a value read as missing: "(12)", "(line 102)",
// "(lines 5 and 9)".
std::string whereHeld(const MissingCount& count) {
    if (count.lines.empty() || count.lines.size() != count.count)
        return "(" + std::to_string(count.count) + ")";
    std::vector<std::string> lines;
    for (const std::uint64_t line : count.lines) lines.push_back(std::to_string(line));
    return std::string(lines.size() == 1 ? "(line " : "(lines ") + joined(lines) + ")";
}

// Returns the columns `counts` names, listed as "income (12), city (3) and 2 more columns (7)".
std::string columnsHolding(const Dataset& data, const std::vector<const MissingCount*>& counts) {
    std::vector<std::string> items;
    std::uint64_t more = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (i < kListedColumns || counts.size() == kListedColumns + 1)
            items.push_back(columnName(data, counts[i]->column) + " " + whereHeld(*counts[i]));
        else
            more += counts[i]->count;
    }
    if (more > 0)
        items.push_back(std::to_string(counts.size() - kListedColumns) + " more columns (" +
                        std::to_string(more) + ")");
    return joined(items);
}

}  // namespace

std::string missingValuesNote(const Dataset& data) {
    const std::vector<MissingCount>& counts = data.missingCounts();
    std::vector<std::string> values;  // in order of first appearance
    for (const MissingCount& c : counts)
        if (std::find(values.begin(), values.end(), c.value) == values.end())
            values.push_back(c.value);
    std::string note;
    for (const std::string& value : values) {
        std::vector<const MissingCount*> holding;
        for (const MissingCount& c : counts)
            if (c.value == value) holding.push_back(&c);
        note += (note.empty() ? "read as missing: " : "; ") + shownValue(value) + " in " +
                columnsHolding(data, holding);
    }
    return note;
}

namespace {

// Returns the example of `c` for the note: "(3,20 -> 3.2)", and for dates read in a guessed
// order how to ask for the other.
std::string example(const ColumnConversion& c) {
    std::string text = describeExample(c.style, c.example, c.number, c.order);
    if (c.orderGuessed)
        text +=
            std::string("; --dates ") +
            (c.order == DateOrder::MonthFirst ? "dmy reads day first" : "mdy reads month first");
    return "(" + text + ")";
}

// Returns one style's group of the conversions note: "numbers with a decimal comma: price and
// tax (3,20 -> 3.2)", the first column giving the example; dates each with its own, as each
// may be written its own way.
std::string conversionGroup(const Dataset& data,
                            const std::vector<const ColumnConversion*>& group) {
    const bool dates = group.front()->style == NumberStyle::Date;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < group.size() && i < kListedColumns; ++i)
        names.push_back(columnName(data, group[i]->attribute) +
                        (dates ? " " + example(*group[i]) : ""));
    if (group.size() > kListedColumns)
        names.push_back(std::to_string(group.size() - kListedColumns) + " more");
    std::string text = describeStyle(group.front()->style) + ": " + joined(names);
    return dates ? text : text + " " + example(*group.front());
}

}  // namespace

std::string conversionsNote(const Dataset& data) {
    const std::vector<ColumnConversion>& all = data.conversions();
    std::vector<bool> told(all.size(), false);
    std::string note;
    bool afterNumbers = false;  // the group before is of numbers: "; with a percent sign: ..."
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (told[i]) continue;
        std::vector<const ColumnConversion*> group;
        for (std::size_t j = i; j < all.size(); ++j)
            if (!told[j] && all[j].style == all[i].style) {
                group.push_back(&all[j]);
                told[j] = true;
            }
        const bool numbers = all[i].style != NumberStyle::Date;
        std::string text = conversionGroup(data, group);
        if (afterNumbers && numbers) text = text.substr(std::string_view("numbers ").size());
        note += (note.empty() ? "read as " : afterNumbers && numbers ? "; " : "; as ") + text;
        afterNumbers = numbers;
    }
    return note;
}

}  // namespace mining
