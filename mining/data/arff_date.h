#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/result.h"

namespace mining {

// The format of a date attribute that declares none: ISO 8601 date and time.
inline constexpr std::string_view kDefaultDateFormat = "yyyy-MM-dd'T'HH:mm:ss";

// A date format of an ARFF date attribute, ready to read values with.
//
// The pattern letters follow Weka's (which are Java's): yyyy is a four-digit year, MM (or M) the
// month, dd (or d) the day, HH (or H) the hour of 0-23, mm (or m) the minute, ss (or s) the
// second, each of one or two digits, and SSS the milliseconds, three digits. Text in '...' is
// literal ('' is one apostrophe); any other character that is not a letter is a separator that
// must stand as written. A field the format leaves out is that of 1970-01-01 00:00:00.
// The default format also accepts a zone after the time: 'Z' (UTC) or +hh:mm / -hh:mm.
// All times are UTC unless a zone says otherwise.
class DateFormat {
public:
    // Returns the format of `pattern`, or an error message (without file or line) when it uses a
    // pattern letter other than the ones above or leaves a '...' literal open.
    static Result<DateFormat> compile(std::string_view pattern);

    // Returns the days since 1970-01-01 00:00 UTC of `text` (blanks around it ignored), with the
    // time of day as a fraction, or nothing when `text` does not match the format or names no
    // real date or time (a 13th month, 30 February, 24:00).
    std::optional<double> daysSinceEpoch(std::string_view text) const;

private:
    enum class Field : std::uint8_t { Literal, Year, Month, Day, Hour, Minute, Second, Millis };
    struct Element {
        Field field = Field::Literal;
        int minDigits = 0;
        int maxDigits = 0;
        std::string literal;  // Literal only
    };

    // Sets `e` to the field a run of `run` letters `letter` stands for; false when none.
    static bool elementOf(char letter, std::size_t run, Element& e);
    // Appends literal text, to the last element when it is literal.
    void addLiteral(std::string_view text);
    // Appends the quoted literal opening at pattern[i] ('' inside is one quote) and moves `i`
    // past its closing quote. Returns false when it is left open.
    bool addQuoted(std::string_view pattern, std::size_t& i);

    std::vector<Element> elements_;
    bool acceptsZone_ = false;
};

}  // namespace mining
