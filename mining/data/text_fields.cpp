#include "data/text_fields.h"

#include <algorithm>
#include <cstring>

#include "data/missing_marks.h"

namespace mining {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads the quoted field whose opening quote is at `p` into `field` (a field with doubled
// quotes copied into `storage`), leaving `p` at its closing quote. Fails when it is not closed.
bool readQuoted(const char*& p, const char* end, std::string& storage, std::string_view& field,
                std::string& error) {
    const char quote = *p++;
    const char* start = p;
    bool doubled = false;
    while (true) {
        while (p < end && *p != quote) ++p;
        if (p == end) {
            error = "a quoted value is not closed";
            return false;
        }
        // "" inside double quotes stands for one ".
        if (quote == '"' && p + 1 < end && p[1] == '"') {
            doubled = true;
            p += 2;
            continue;
        }
        break;
    }
    field = std::string_view(start, static_cast<std::size_t>(p - start));
    if (doubled) {
        const std::size_t at = storage.size();
        for (std::size_t i = 0; i < field.size(); ++i) {
            storage += field[i];
            if (field[i] == '"') ++i;
        }
        field = std::string_view(storage).substr(at);
    }
    return true;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

std::string_view skipByteOrderMark(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

bool splitFields(std::string_view line, std::vector<std::string_view>& fields,
                 std::vector<bool>& quoted, std::string& storage, std::string& error,
                 std::size_t maxFields) {
    return splitDelimited(line, ',', fields, quoted, storage, error, maxFields);
}

bool splitDelimited(std::string_view line, char delimiter, std::vector<std::string_view>& fields,
                    std::vector<bool>& quoted, std::string& storage, std::string& error,
                    std::size_t maxFields) {
    fields.clear();
    quoted.clear();
    storage.clear();
    // Fields with doubled quotes are copied here; room for the whole line keeps every view valid.
    storage.reserve(line.size());
    const char* p = line.data();
    const char* const end = p + line.size();
    const bool spaces = delimiter == kSpaces;
    while (true) {
        // Between runs of spaces the rest of a run is skipped here, and blanks that end the line
        // start no field.
        while (p < end && isBlank(*p) && (spaces || *p != delimiter)) ++p;
        if (spaces && p == end && !fields.empty()) return true;
        if (p < end && (*p == '\'' || *p == '"')) {
            const char quote = *p;
            std::string_view field;
            if (!readQuoted(p, end, storage, field, error)) return false;
            fields.push_back(field);
            quoted.push_back(true);
            // R's write.table writes a quote inside quotes as \" by default.
            const bool backslashed = quote == '"' && p[-1] == '\\';
            ++p;
            while (p < end && isBlank(*p) && *p != delimiter) ++p;
            if (p < end && *p != delimiter) {
                error = backslashed
                            ? "text follows a closing quote (a quote inside quotes is written "
                              "twice, \"\", not \\\")"
                            : "text follows a closing quote";
                return false;
            }
        } else {
            const char* start = p;
            while (p < end && *p != delimiter) ++p;
            const char* e = p;
            while (e > start && isBlank(e[-1])) --e;
            fields.emplace_back(start, static_cast<std::size_t>(e - start));
            quoted.push_back(false);
        }
        if (p == end || fields.size() > maxFields) return true;
        ++p;  // the delimiter
    }
}

bool isBlankLine(std::string_view line, char delimiter) {
    for (const char c : line)
        if (!isBlank(c) || (c == delimiter && delimiter != kSpaces)) return false;
    return true;
}

bool isCommentLine(std::string_view line, char delimiter, std::size_t fields) {
    if (line.empty() || line[0] != '#') return false;
    if (delimiter == kSpaces) return true;
    std::vector<std::string_view> split;
    std::vector<bool> quoted;
    std::string storage;
    std::string error;
    if (!splitDelimited(line, delimiter, split, quoted, storage, error, fields) ||
        split.size() != fields)
        return true;
    const std::string_view first = split.front();
    if (builtInMark(first) != kNoMark) return false;  // #N/A N/A
    return first.size() < 2 || first.find_first_of(" \t") != std::string_view::npos;
}

bool leavesQuoteOpen(std::string_view line, char delimiter) {
    return QuoteTracker(delimiter).add(line);
}

bool QuoteTracker::add(std::string_view more) {
    const char* p = more.data();
    const char* const end = p + more.size();
    while (p < end) {
        switch (state_) {
            case State::FieldStart:
                if (isBlank(*p) && *p != delimiter_) {
                    ++p;
                } else if (*p == '"') {
                    state_ = State::Quoted;
                    ++p;
                } else {
                    state_ = State::Bare;
                }
                break;
            case State::Bare: {
                const void* d = std::memchr(p, delimiter_, static_cast<std::size_t>(end - p));
                p = d ? static_cast<const char*>(d) + 1 : end;
                if (d) state_ = State::FieldStart;
                break;
            }
            case State::Quoted: {
                const void* q = std::memchr(p, '"', static_cast<std::size_t>(end - p));
                p = q ? static_cast<const char*>(q) + 1 : end;
                if (q) state_ = State::QuoteSeen;
                break;
            }
            case State::QuoteSeen:
                // "" inside double quotes stands for one "; any other byte follows a closed field.
                state_ = *p == '"' ? State::Quoted : State::Bare;
                if (*p == '"') ++p;
                break;
        }
    }
    return state_ == State::Quoted;
}

bool endsLinesWithCarriageReturns(std::string_view text) {
    // Piece by piece, two single-byte searches in each (find_first_of tests each byte on its own,
    // slow on a long line): the bytes read stop soon after the first line end, whichever it is.
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        const std::string_view piece = text.substr(at, kPiece);
        const std::size_t lf = piece.find('\n');
        const std::size_t cr = piece.substr(0, lf).find('\r');
        if (cr != std::string_view::npos)
            return at + cr + 1 == text.size() || text[at + cr + 1] != '\n';
        if (lf != std::string_view::npos) return false;
    }
    return false;
}

std::string carriageReturnsToNewlines(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] == '\r' && (i + 1 == out.size() || out[i + 1] != '\n')) out[i] = '\n';
    return out;
}

std::size_t lineOfNulByte(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return 0;
    return static_cast<std::size_t>(std::count(text.begin(), text.begin() + nul, '\n')) + 1;
}

std::string quoteForMessage(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (text.size() > kMax) out += "...";
    out += '"';
    return out;
}

}  // namespace mining
