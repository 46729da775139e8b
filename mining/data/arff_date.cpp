#include "data/arff_date.h"

#include <chrono>

#include "data/text_fields.h"

namespace mining {

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `minDigits` to `maxDigits` digits (as many as stand there) at `pos`. Returns false when
// fewer than `minDigits` stand there.
bool readDigits(std::string_view text, std::size_t& pos, int minDigits, int maxDigits, int& value) {
    value = 0;
    int digits = 0;
    while (digits < maxDigits && pos < text.size() && isDigit(text[pos])) {
        value = value * 10 + (text[pos++] - '0');
        ++digits;
    }
    return digits >= minDigits;
}

// Reads a zone after the time: "Z", or "+hh:mm" / "-hh:mm" into `minutes` east of UTC.
bool readZone(std::string_view text, std::size_t& pos, int& minutes) {
    if (text[pos] == 'Z') {
        ++pos;
        return true;
    }
    if (text[pos] != '+' && text[pos] != '-') return false;
    const int sign = text[pos++] == '-' ? -1 : 1;
    int hours = 0;
    int mins = 0;
    if (!readDigits(text, pos, 2, 2, hours) || pos >= text.size() || text[pos++] != ':' ||
        !readDigits(text, pos, 2, 2, mins) || hours > 23 || mins > 59)
        return false;
    minutes = sign * (hours * 60 + mins);
    return true;
}

}  // namespace

bool DateFormat::elementOf(char letter, std::size_t run, Element& e) {
    const bool upToTwo = run <= 2;
    if (letter == 'y' && run == 4) {
        e = {Field::Year, 4, 4, {}};
    } else if (letter == 'M' && upToTwo) {
        e = {Field::Month, 1, 2, {}};
    } else if (letter == 'd' && upToTwo) {
        e = {Field::Day, 1, 2, {}};
    } else if (letter == 'H' && upToTwo) {
        e = {Field::Hour, 1, 2, {}};
    } else if (letter == 'm' && upToTwo) {
        e = {Field::Minute, 1, 2, {}};
    } else if (letter == 's' && upToTwo) {
        e = {Field::Second, 1, 2, {}};
    } else if (letter == 'S' && run == 3) {
        e = {Field::Millis, 3, 3, {}};
    } else {
        return false;
    }
    return true;
}

void DateFormat::addLiteral(std::string_view text) {
    if (elements_.empty() || elements_.back().field != Field::Literal)
        elements_.push_back(Element{});
    elements_.back().literal += text;
}

bool DateFormat::addQuoted(std::string_view pattern, std::size_t& i) {
    ++i;
    while (i < pattern.size()) {
        if (pattern[i] == '\'' && i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            addLiteral("'");
            i += 2;
        } else if (pattern[i] == '\'') {
            ++i;
            return true;
        } else {
            addLiteral(pattern.substr(i++, 1));
        }
    }
    return false;
}

Result<DateFormat> DateFormat::compile(std::string_view pattern) {
    DateFormat format;
    format.acceptsZone_ = pattern == kDefaultDateFormat;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'' && i + 1 < pattern.size() &&
            pattern[i + 1] == '\'') {  // '' outside a literal
            format.addLiteral("'");
            i += 2;
        } else if (c == '\'') {
            if (!format.addQuoted(pattern, i))
                return Result<DateFormat>::failure("the date format " + quoteForMessage(pattern) +
                                                   " leaves a quoted literal open");
        } else if (!isLetter(c)) {
            format.addLiteral(pattern.substr(i++, 1));
        } else {
            std::size_t run = 1;
            while (i + run < pattern.size() && pattern[i + run] == c) ++run;
            Element e;
            if (!elementOf(c, run, e))
                return Result<DateFormat>::failure(
                    "the date format " + quoteForMessage(pattern) + " uses " +
                    quoteForMessage(pattern.substr(i, run)) +
                    ", which is not supported (it may use yyyy, MM, dd, HH, mm, ss, SSS, literal "
                    "text in '...' and separators)");
            format.elements_.push_back(std::move(e));
            i += run;
        }
    }
    return format;
}

std::optional<double> DateFormat::daysSinceEpoch(std::string_view text) const {
    text = trimBlanks(text);
    int fields[8] = {0, 1970, 1, 1, 0, 0, 0, 0};  // indexed by Field
    std::size_t pos = 0;
    for (const Element& e : elements_) {
        if (e.field == Field::Literal) {
            if (text.substr(pos, e.literal.size()) != e.literal) return std::nullopt;
            pos += e.literal.size();
        } else if (!readDigits(text, pos, e.minDigits, e.maxDigits,
                               fields[static_cast<int>(e.field)])) {
            return std::nullopt;
        }
    }
    int zoneMinutes = 0;
    if (acceptsZone_ && pos < text.size() && !readZone(text, pos, zoneMinutes)) return std::nullopt;
    if (pos != text.size()) return std::nullopt;

    using namespace std::chrono;
    const year_month_day date{year{fields[static_cast<int>(Field::Year)]},
                              month{static_cast<unsigned>(fields[static_cast<int>(Field::Month)])},
                              day{static_cast<unsigned>(fields[static_cast<int>(Field::Day)])}};
    const int hour = fields[static_cast<int>(Field::Hour)];
    const int minute = fields[static_cast<int>(Field::Minute)];
    const int second = fields[static_cast<int>(Field::Second)];
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    // Whole milliseconds first, so that the one division below rounds once: 12:00 is exactly .5.
    constexpr std::int64_t kMillisPerDay = 86'400'000;
    const std::int64_t millis =
        static_cast<std::int64_t>(sys_days(date).time_since_epoch().count()) * kMillisPerDay +
        ((hour * 60LL + minute - zoneMinutes) * 60 + second) * 1000 +
        fields[static_cast<int>(Field::Millis)];
    return static_cast<double>(millis) / static_cast<double>(kMillisPerDay);
}

}  // namespace mining
