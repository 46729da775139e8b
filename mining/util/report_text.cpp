#include "util/report_text.h"

#include <algorithm>
#include <sstream>

#include "util/display_width.h"

namespace mining {

namespace {

// Returns `word` cut into chunks of at most `columns` columns (at least one character each).
std::vector<std::string> chopWord(std::string_view word, std::size_t columns) {
    std::vector<std::string> chunks;
    while (!word.empty()) {
        std::size_t length = prefixFitting(word, columns);
        if (length == 0) characterWidth(word, 0, length);
        chunks.emplace_back(word.substr(0, length));
        word.remove_prefix(length);
    }
    return chunks;
}

// Returns whether `word` is a comparison sign ("<", "<=", "=", ...), which reads best at the
// start of a line, before the word it compares with.
bool isComparison(std::string_view word) {
    return !word.empty() && word.size() <= 2 && word.find_first_not_of("<>=!") == word.npos;
}

// Appends `piece` to `units`, or when it is wider than `columns` its words (a comparison sign
// joined to the word after it, each chopped to `columns`).
void addUnits(const std::string& piece, std::size_t columns, std::vector<std::string>& units) {
    if (displayWidth(piece) <= columns) {
        units.push_back(piece);
        return;
    }
    std::istringstream words(piece);
    std::string sign;
    for (std::string word; words >> word;) {
        if (isComparison(word)) {
            sign += sign.empty() ? word : " " + word;
            continue;
        }
        if (!sign.empty()) word = sign + " " + word;
        sign.clear();
        for (std::string& chunk : chopWord(word, columns)) units.push_back(std::move(chunk));
    }
    if (!sign.empty()) units.push_back(sign);
}

}  // namespace

std::string shortForReport(std::string_view text, std::size_t length) {
    if (text.size() <= length) return std::string(text);
    std::size_t end = length - 4;
    // Back up over UTF-8 continuation bytes to the start of the character they belong to.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "...";
}

std::string shortToWidth(std::string_view text, std::size_t columns) {
    if (displayWidth(text) <= columns) return std::string(text);
    if (columns < 3) return std::string(text.substr(0, prefixFitting(text, columns)));
    return std::string(text.substr(0, prefixFitting(text, columns - 3))) + "...";
}

std::string wrapWords(const std::string& text, std::size_t width) {
    std::string out;
    std::string line;
    std::size_t lineWidth = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t wordWidth = displayWidth(word);
        if (!line.empty() && lineWidth + 1 + wordWidth > width) {
            out += line + '\n';
            line.clear();
            lineWidth = 0;
        }
        if (!line.empty()) {
            line += ' ';
            ++lineWidth;
        }
        line += word;
        lineWidth += wordWidth;
    }
    if (!line.empty()) out += line + '\n';
    return out;
}

void writeWrappedList(std::ostream& out, const std::string& label,
                      const std::vector<std::string>& items, std::size_t width) {
    std::vector<std::string> pieces;
    pieces.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        pieces.push_back(shortForReport(items[i]) + (i + 1 < items.size() ? "," : ""));
    }
    const std::string continuation(displayWidth(label), ' ');
    writeLines(out, wrapPieces(pieces, label, continuation, width));
}

std::vector<std::string> wrapPieces(const std::vector<std::string>& pieces, std::string_view lead,
                                    std::string_view continuation, std::size_t width) {
    const std::size_t leadWidth = std::max(displayWidth(lead), displayWidth(continuation));
    const std::size_t room = width > leadWidth ? width - leadWidth : 1;
    std::vector<std::string> units;
    for (const std::string& piece : pieces) addUnits(piece, room, units);
    std::vector<std::string> lines;
    std::string line(lead);
    std::size_t lineWidth = displayWidth(lead);
    bool fresh = true;  // nothing after the lead yet
    for (const std::string& unit : units) {
        const std::size_t unitWidth = displayWidth(unit);
        if (!fresh && lineWidth + 1 + unitWidth > width) {
            lines.push_back(std::move(line));
            line = std::string(continuation);
            lineWidth = displayWidth(continuation);
            fresh = true;
        }
        if (!fresh) {
            line += ' ';
            ++lineWidth;
        }
        line += unit;
        lineWidth += unitWidth;
        fresh = false;
    }
    lines.push_back(std::move(line));
    return lines;
}

void writeLines(std::ostream& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out << line << '\n';
}

}  // namespace mining
