#include "data/number_styles.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>

#include "data/number_parser.h"
#include "data/text_fields.h"
#include "util/number_format.h"

namespace mining {

namespace {

// The longest number, in digits, sign and decimal point, that a value may write; no real value
// comes near it.
constexpr std::size_t kMaxCleanedLength = 400;

constexpr std::int64_t kSecondsPerDay = 86400;

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }

bool allDigits(std::string_view text) {
    for (const char c : text)
        if (!isDigit(c)) return false;
    return true;
}

// ---- The parts of a value -------------------------------------------------------------------

// What stands beside a value's number.
enum class Mark { None, Percent, Dollar, Euro, Pound, Yen };

struct Symbol {
    std::string_view text;
    Mark mark;
};
// The currency signs, in UTF-8.
constexpr std::array<Symbol, 4> kCurrencySigns{{{"$", Mark::Dollar},
                                                {"\xE2\x82\xAC", Mark::Euro},
                                                {"\xC2\xA3", Mark::Pound},
                                                {"\xC2\xA5", Mark::Yen}}};
// The blanks people put between a number and its sign: space, tab, and the no-break spaces
// U+00A0 and U+202F, in UTF-8.
constexpr std::array<std::string_view, 4> kBlanks{" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"};

std::string_view dropLeadingBlanks(std::string_view text) {
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (const std::string_view blank : kBlanks)
            if (text.starts_with(blank)) {
                text.remove_prefix(blank.size());
                dropped = true;
            }
    }
    return text;
}

// Returns the currency sign that `text` starts with and drops it, or Mark::None.
Mark takeCurrencySign(std::string_view& text) {
    for (const Symbol& sign : kCurrencySigns)
        if (text.starts_with(sign.text)) {
            text.remove_prefix(sign.text.size());
            return sign.mark;
        }
    return Mark::None;
}

// Drops one leading '+' or '-' of `text`; returns true when there was one.
bool takeSign(std::string_view& text, bool& negative) {
    if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
    negative = text.front() == '-';
    text.remove_prefix(1);
    return true;
}

// A value cut into its mark, its sign and its number.
struct ValueParts {
    Mark mark = Mark::None;
    bool negative = false;
    std::string_view number;  // digits, '.' and ',' only; maybe none of them digits
};

// Cuts `text` (trimmed) into `parts`: [sign] [currency [blanks] [sign]] number, then, when no
// currency came first, optionally blanks and '%' or a currency sign. Returns false when `text`
// is not of that shape.
bool cutValue(std::string_view text, ValueParts& parts) {
    parts = ValueParts{};
    const bool signedFirst = takeSign(text, parts.negative);
    parts.mark = takeCurrencySign(text);
    if (parts.mark != Mark::None) {
        text = dropLeadingBlanks(text);
        if (!signedFirst) takeSign(text, parts.negative);
    }
    std::size_t n = 0;
    while (n < text.size() && (isDigit(text[n]) || text[n] == '.' || text[n] == ',')) ++n;
    parts.number = text.substr(0, n);
    std::string_view rest = text.substr(n);
    if (rest.empty()) return true;
    if (parts.mark != Mark::None) return false;
    rest = dropLeadingBlanks(rest);
    if (rest == "%") {
        parts.mark = Mark::Percent;
        return true;
    }
    parts.mark = takeCurrencySign(rest);
    return parts.mark != Mark::None && rest.empty();
}

// ---- Ways of writing a number -----------------------------------------------------------------

// `group` separates thousands (0: never), `point` is the decimal point.
struct Notation {
    char group;
    char point;
};
constexpr Notation kPlain{0, '.'};
constexpr Notation kCommaGroups{',', '.'};
constexpr Notation kDotGroups{'.', ','};
constexpr Notation kCommaPoint{0, ','};

// Returns true when `integer` is one to three digits without a leading zero, then one or more
// times `group` and three digits.
bool groupsOfThree(std::string_view integer, char group) {
    const std::size_t first = integer.find(group);
    if (first == 0 || first > 3 || integer.front() == '0') return false;
    if (!allDigits(integer.substr(0, first))) return false;
    for (std::string_view rest = integer.substr(first); !rest.empty(); rest.remove_prefix(4))
        if (rest.size() < 4 || rest[0] != group || !allDigits(rest.substr(1, 3))) return false;
    return true;
}

// Returns true when `number` (digits, '.' and ',' only) is written in `notation`: integer digits,
// grouped in threes when they hold the group mark, then optionally the point and digits; at
// least one digit in all.
bool writtenIn(std::string_view number, Notation notation) {
    const std::size_t point = number.find(notation.point);
    const std::string_view integer = number.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : number.substr(point + 1);
    if (!allDigits(fraction)) return false;
    const bool grouped = notation.group != 0 && integer.find(notation.group) != integer.npos;
    if (grouped ? !groupsOfThree(integer, notation.group) : !allDigits(integer)) return false;
    return !integer.empty() || !fraction.empty();
}

// Returns the double `number`, written in `notation` (writtenIn() holds), denotes: from_chars on
// its digits, sign and '.'; nullopt when that is longer than kMaxCleanedLength or out of range.
std::optional<double> toDouble(std::string_view number, bool negative, Notation notation) {
    if (number.empty()) return std::nullopt;
    std::array<char, kMaxCleanedLength> text;
    std::size_t n = 0;
    if (negative) text[n++] = '-';
    if (number.front() == notation.point) text[n++] = '0';  // ".5": a digit before the point
    for (const char c : number) {
        if (c == notation.group) continue;
        if (n == kMaxCleanedLength) return std::nullopt;
        text[n++] = c == notation.point ? '.' : c;
    }
    if (text[n - 1] == '.') --n;  // "5.": no digit after the point
    if (n == 0 || text[n - 1] == '-') return std::nullopt;
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + n, value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + n) return std::nullopt;
    return value + 0.0;  // "-0" is 0, as the reader has it
}

// Returns the number a plain number the reader accepts denotes (one with an exponent included),
// or nullopt.
std::optional<double> plainNumber(std::string_view text) { return numberValue(text); }

// ---- A column's notation --------------------------------------------------------------------

// How a column writes its numbers. CommaPoint reads a value with a '.' as a plain number.
enum class ColumnNotation { Plain, CommaGroups, DotGroups, CommaPoint };

Notation notationOf(ColumnNotation column, std::string_view number) {
    switch (column) {
        case ColumnNotation::CommaGroups:
            return kCommaGroups;
        case ColumnNotation::DotGroups:
            return kDotGroups;
        case ColumnNotation::CommaPoint:
            return number.find('.') == number.npos ? kCommaPoint : kPlain;
        case ColumnNotation::Plain:
            break;
    }
    return kPlain;
}

// What a column's values say about the way its numbers are written.
class ColumnEvidence {
public:
    // Takes in one value. Returns false when the column cannot be read as numbers.
    bool add(std::string_view text);
    // Returns the column's mark (Mark::None when no value has one).
    Mark mark() const { return mark_; }
    // Returns the notation of the column's numbers, or nullopt when none reads every value or
    // two read them differently.
    std::optional<ColumnNotation> notation(char delimiter) const;

private:
    void addNumber(std::string_view number);

    Mark mark_ = Mark::None;
    bool unmarkedNotPlain_ = false;  // a value without a mark that is not a plain number
    bool anyComma_ = false;
    bool dotGroupsSeen_ = false;  // a value that reads only with '.' grouping ("1.234,5")
    bool dotPointSeen_ = false;   // a plain value with a '.' decimal point ("1.5", "1.500")
    bool allPlain_ = true;
    bool allCommaGroups_ = true;
    bool allDotGroups_ = true;
    bool allCommaPoint_ = true;  // each value reads with a decimal comma or as a plain number
                                 // whose '.' cannot group thousands
};

bool ColumnEvidence::add(std::string_view text) {
    ValueParts parts;
    if (!cutValue(text, parts)) return plainNumber(text).has_value();  // "1e5"
    if (parts.mark == Mark::None) {
        unmarkedNotPlain_ = unmarkedNotPlain_ || !writtenIn(parts.number, kPlain);
    } else if (mark_ == Mark::None) {
        mark_ = parts.mark;
    } else if (parts.mark != mark_) {
        return false;
    }
    addNumber(parts.number);
    return true;
}

void ColumnEvidence::addNumber(std::string_view number) {
    const bool plain = writtenIn(number, kPlain);
    const bool dotGroups = writtenIn(number, kDotGroups);
    const bool hasDot = number.find('.') != number.npos;
    anyComma_ = anyComma_ || number.find(',') != number.npos;
    dotGroupsSeen_ = dotGroupsSeen_ || (hasDot && dotGroups && !plain);
    dotPointSeen_ = dotPointSeen_ || (hasDot && plain);
    allPlain_ = allPlain_ && plain;
    allCommaGroups_ = allCommaGroups_ && writtenIn(number, kCommaGroups);
    allDotGroups_ = allDotGroups_ && dotGroups;
    // "1.500" could be 1.5 or 1500 beside a decimal comma: it reads neither way.
    allCommaPoint_ = allCommaPoint_ && (writtenIn(number, kCommaPoint) || (plain && !dotGroups));
}

std::optional<ColumnNotation> ColumnEvidence::notation(char delimiter) const {
    if (mark_ != Mark::None && unmarkedNotPlain_) return std::nullopt;
    if (!anyComma_) return allPlain_ ? std::optional(ColumnNotation::Plain) : std::nullopt;
    const bool groups = allCommaGroups_;
    const bool point = delimiter != ',' && (dotGroupsSeen_ ? allDotGroups_ : allCommaPoint_);
    if (groups && point) {
        // Every comma stands before exactly three digits. Amounts of money have at most two
        // decimals, and a '.' decimal point elsewhere shows how the column writes fractions:
        // either way the commas group thousands. Otherwise the column cannot tell.
        const bool money = mark_ != Mark::None && mark_ != Mark::Percent;
        if (money || dotPointSeen_) return ColumnNotation::CommaGroups;
        return std::nullopt;
    }
    if (groups) return ColumnNotation::CommaGroups;
    if (point) return dotGroupsSeen_ ? ColumnNotation::DotGroups : ColumnNotation::CommaPoint;
    return std::nullopt;
}

std::optional<NumberStyle> styleOf(Mark mark, ColumnNotation notation) {
    if (mark == Mark::Percent) return NumberStyle::Percent;
    if (mark != Mark::None) return NumberStyle::Currency;
    switch (notation) {
        case ColumnNotation::CommaGroups:
            return NumberStyle::Grouped;
        case ColumnNotation::DotGroups:
        case ColumnNotation::CommaPoint:
            return NumberStyle::DecimalComma;
        case ColumnNotation::Plain:
            break;
    }
    return std::nullopt;
}

// Returns the number `text` denotes in a column of `notation`, or nullopt.
std::optional<double> numberIn(std::string_view text, ColumnNotation notation) {
    ValueParts parts;
    if (!cutValue(text, parts)) return plainNumber(text);
    return toDouble(parts.number, parts.negative, notationOf(notation, parts.number));
}

std::optional<NumberReading> readAsDates(std::span<const std::string> values) {
    NumberReading reading{NumberStyle::Date, {}};
    reading.numbers.reserve(values.size());
    for (const std::string& value : values) {
        const std::optional<double> days = isoDays(trimBlanks(value));
        if (!days) return std::nullopt;
        reading.numbers.push_back(*days);
    }
    return reading;
}

// ---- Dates and times ------------------------------------------------------------------------

// Reads exactly `count` digits from the front of `text` into `value` and drops them.
bool takeDigits(std::string_view& text, std::size_t count, int& value) {
    if (text.size() < count || !allDigits(text.substr(0, count))) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value * 10 + (text[i] - '0');
    text.remove_prefix(count);
    return true;
}

bool takeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// Reads one digit, or two, from the front of `text` into `value` and drops them.
bool takeOneOrTwoDigits(std::string_view& text, int& value) {
    return takeDigits(text, text.size() > 1 && isDigit(text[1]) ? 2 : 1, value);
}

// Reads hh:mm[:ss[.digits]] from the front of `text` and drops it: `seconds` since midnight,
// `fraction` of a second. With `shortHour` the hour may be one digit ("9:30").
bool takeTimeOfDay(std::string_view& text, std::int64_t& seconds, double& fraction,
                   bool shortHour = false) {
    int hours = 0, minutes = 0, secs = 0;
    const bool hour = shortHour ? takeOneOrTwoDigits(text, hours) : takeDigits(text, 2, hours);
    if (!hour || !takeChar(text, ':') || !takeDigits(text, 2, minutes)) return false;
    if (takeChar(text, ':') && !takeDigits(text, 2, secs)) return false;
    if (hours > 23 || minutes > 59 || secs > 59) return false;
    seconds = hours * 3600 + minutes * 60 + secs;
    fraction = 0;
    if (!takeChar(text, '.')) return true;
    // Digits past the fifteenth are below what a double of days can hold.
    std::size_t n = 0;
    std::int64_t mantissa = 0;
    int digits = 0;
    for (; n < text.size() && isDigit(text[n]); ++n)
        if (digits < kMaxDecimalDigits) {
            mantissa = mantissa * 10 + (text[n] - '0');
            ++digits;
        }
    if (n == 0) return false;
    fraction = decimalToDouble(mantissa, digits);
    text.remove_prefix(n);
    return true;
}

// Reads what follows a time, an offset from UTC ('Z', +hh:mm, -hh:mm, +hhmm, +hh) or nothing,
// into `seconds` east of UTC. Returns false when anything else follows.
bool readOffset(std::string_view text, std::int64_t& seconds) {
    seconds = 0;
    if (text.empty() || text == "Z") return true;
    bool negative = false;
    if (!takeSign(text, negative)) return false;
    int hours = 0, minutes = 0;
    if (!takeDigits(text, 2, hours)) return false;
    if (!text.empty()) {
        takeChar(text, ':');
        if (!takeDigits(text, 2, minutes) || !text.empty()) return false;
    }
    if (hours > 23 || minutes > 59) return false;
    seconds = (negative ? -1 : 1) * (hours * 3600 + minutes * 60);
    return true;
}

// Returns the days since 1970-01-01 of a valid date, or nullopt.
std::optional<std::int64_t> civilDays(int y, int m, int d) {
    const std::chrono::year_month_day date{std::chrono::year{y},
                                           std::chrono::month{static_cast<unsigned>(m)},
                                           std::chrono::day{static_cast<unsigned>(d)}};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

// The parts of a date written with '.' or '/': first, second, year, and the time of day.
struct DayMonth {
    int first = 0;
    int second = 0;
    int year = 0;
    std::int64_t seconds = 0;
    double fraction = 0;
};

// Reads `text` as D.M.YYYY or M/D/YYYY with `separator` and an optional time into `parts`
// (neither order checked yet).
bool cutDayMonth(std::string_view text, char separator, DayMonth& parts) {
    if (!takeOneOrTwoDigits(text, parts.first) || !takeChar(text, separator) ||
        !takeOneOrTwoDigits(text, parts.second) || !takeChar(text, separator) ||
        !takeDigits(text, 4, parts.year))
        return false;
    parts.seconds = 0;
    parts.fraction = 0;
    if (text.empty()) return true;
    if (!takeChar(text, ' ') && !takeChar(text, 'T')) return false;
    return takeTimeOfDay(text, parts.seconds, parts.fraction, true) && text.empty();
}

// Returns the days `parts` denote in `order`, or nullopt for an impossible date.
std::optional<double> daysOf(const DayMonth& parts, DateOrder order) {
    const bool dayFirst = order == DateOrder::DayFirst;
    const std::optional<std::int64_t> days = civilDays(
        parts.year, dayFirst ? parts.second : parts.first, dayFirst ? parts.first : parts.second);
    if (!days) return std::nullopt;
    if (parts.seconds == 0 && parts.fraction == 0) return static_cast<double>(*days);
    return (static_cast<double>(*days * kSecondsPerDay + parts.seconds) + parts.fraction) /
           static_cast<double>(kSecondsPerDay);
}

// Returns the separator of a date written with '.' or '/' that `text` may be, or 0.
char dayMonthSeparator(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && n < 3 && isDigit(text[n])) ++n;
    if (n == 0 || n > 2 || n == text.size()) return 0;
    return text[n] == '.' || text[n] == '/' ? text[n] : 0;
}

// Reads `values` as dates written with '.' or '/' (see readAsNumbers), or nullopt.
std::optional<NumberReading> readAsDayMonthDates(std::span<const std::string> values,
                                                 DateOrder asked) {
    const char separator = dayMonthSeparator(trimBlanks(values.front()));
    std::vector<DayMonth> parts(values.size());
    bool dayFirst = asked != DateOrder::MonthFirst;
    // Dates written with points are written day first.
    bool monthFirst =
        asked != DateOrder::DayFirst && (separator == '/' || asked != DateOrder::Guess);
    for (std::size_t i = 0; i < values.size() && (dayFirst || monthFirst); ++i) {
        if (!cutDayMonth(trimBlanks(values[i]), separator, parts[i])) return std::nullopt;
        dayFirst = dayFirst && daysOf(parts[i], DateOrder::DayFirst).has_value();
        monthFirst = monthFirst && daysOf(parts[i], DateOrder::MonthFirst).has_value();
    }
    if (!dayFirst && !monthFirst) return std::nullopt;
    NumberReading reading{NumberStyle::Date, {}};
    reading.order = monthFirst ? DateOrder::MonthFirst : DateOrder::DayFirst;
    reading.orderGuessed = dayFirst && monthFirst;
    reading.numbers.reserve(values.size());
    for (const DayMonth& p : parts) reading.numbers.push_back(*daysOf(p, reading.order));
    return reading;
}

}  // namespace

std::optional<double> dayMonthDays(std::string_view text, char separator, DateOrder order) {
    DayMonth parts;
    if ((separator != '.' && separator != '/') || order == DateOrder::Guess ||
        !cutDayMonth(text, separator, parts))
        return std::nullopt;
    return daysOf(parts, order);
}

std::optional<double> isoDays(std::string_view text) {
    int y = 0, m = 0, d = 0;
    if (!takeDigits(text, 4, y) || !takeChar(text, '-') || !takeDigits(text, 2, m) ||
        !takeChar(text, '-') || !takeDigits(text, 2, d))
        return std::nullopt;
    const std::optional<std::int64_t> civil = civilDays(y, m, d);
    if (!civil) return std::nullopt;
    const std::int64_t days = *civil;
    if (text.empty()) return static_cast<double>(days);
    if (!takeChar(text, 'T') && !takeChar(text, ' ')) return std::nullopt;
    std::int64_t seconds = 0;
    std::int64_t offset = 0;
    double fraction = 0;
    if (!takeTimeOfDay(text, seconds, fraction) || !readOffset(text, offset)) return std::nullopt;
    // Whole seconds are exact in a double, so without a fraction the one division rounds once.
    const std::int64_t utcSeconds = days * kSecondsPerDay + seconds - offset;
    return (static_cast<double>(utcSeconds) + fraction) / static_cast<double>(kSecondsPerDay);
}

std::optional<NumberReading> readAsNumbers(std::span<const std::string> values, char delimiter,
                                           DateOrder dates) {
    if (values.empty()) return std::nullopt;
    if (isoDays(trimBlanks(values.front()))) return readAsDates(values);
    if (dayMonthSeparator(trimBlanks(values.front())) != 0)
        if (std::optional<NumberReading> reading = readAsDayMonthDates(values, dates))
            return reading;
    ColumnEvidence evidence;
    for (const std::string& value : values)
        if (!evidence.add(trimBlanks(value))) return std::nullopt;
    const std::optional<ColumnNotation> notation = evidence.notation(delimiter);
    if (!notation) return std::nullopt;
    const std::optional<NumberStyle> style = styleOf(evidence.mark(), *notation);
    if (!style) return std::nullopt;
    NumberReading reading{*style, {}};
    reading.numbers.reserve(values.size());
    for (const std::string& value : values) {
        const std::optional<double> number = numberIn(trimBlanks(value), *notation);
        if (!number) return std::nullopt;
        reading.numbers.push_back(*number);
    }
    return reading;
}

std::string describeStyle(NumberStyle style) {
    switch (style) {
        case NumberStyle::Percent:
            return "numbers with a percent sign";
        case NumberStyle::Currency:
            return "numbers with a currency sign";
        case NumberStyle::Grouped:
            return "numbers with commas grouping thousands";
        case NumberStyle::DecimalComma:
            return "numbers with a decimal comma";
        case NumberStyle::Date:
            break;
    }
    return "dates, in days since 1970-01-01";
}

std::string describeExample(NumberStyle style, std::string_view example, double number,
                            DateOrder order) {
    std::string text = std::string(trimBlanks(example)) + " -> " + shortestDecimal(number);
    if (style == NumberStyle::Date && order != DateOrder::Guess)
        text += order == DateOrder::DayFirst ? ", day first" : ", month first";
    return text;
}

}  // namespace mining
