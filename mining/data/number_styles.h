#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mining {

// Numbers as people write them in their own files: "45 %", "$3.20", "3,20 €", "1,234,567",
// "0,63", "2023-01-05T10:30:00Z". The reader reads a column as numbers only while every field is
// a plain number; a column that holds such values is read as nominal first, and its distinct
// values are then offered to readAsNumbers() to tell whether the column is really numeric.

// How a column's values were written, when they are numbers written as people write them.
enum class NumberStyle { Percent, Currency, Grouped, DecimalComma, Date };

// The order of day and month in dates written with '.' or '/' ("22.07.2024", "07/22/2024"):
// Guess takes the one every value reads in (see readAsNumbers).
enum class DateOrder { Guess, DayFirst, MonthFirst };

struct NumberReading {
    NumberStyle style;
    std::vector<double> numbers;  // numbers[i] is the number values[i] denotes
    // Dates written with '.' or '/': the order taken, and whether every value read in both
    // (every day 12 or less), so that the order was a guess.
    DateOrder order = DateOrder::Guess;
    bool orderGuessed = false;
};

// Returns the reading of `values` (a column's distinct values, none of them a missing-value
// marker, none empty; blanks around a value are ignored) when every one of them is a number in
// one style, or std::nullopt. Plain numbers (what the reader itself reads as numbers) may be
// mixed in with any style but Date; a column of plain numbers only has no style and gives nullopt.
//
// The styles, and what each value may be besides a plain number:
//   Percent       a number, blanks, '%': "45%", "-4.5 %" -> 45, -4.5 (kept as written).
//   Currency      one of $ € £ ¥ before or after a number, blanks between, a sign before or
//                 after a leading symbol: "$3.20", "-$3", "$-3", "3,20 €". One symbol a column
//                 (amounts in two currencies are not one scale).
//   Grouped       commas grouping thousands, '.' the decimal point: "1,234", "-12,345,678.5".
//   DecimalComma  ',' the decimal point, '.' optionally grouping thousands: "0,63", "1.234,5".
//   Date          every value an ISO date or date-time (isoDays), or every value a date
//                 written with '.' or '/' (dayMonthDays), one separator a column; no plain
//                 numbers mixed in. A column of dates with '.' reads day first; one with '/'
//                 reads in the order every value reads in, month first when both do; `dates`
//                 other than Guess takes that order, or none when a value does not read in it.
// Percent and Currency values may write their numbers with grouping commas or a decimal comma,
// by the same rules as Grouped and DecimalComma; a value without the sign there is a plain number.
//
// `delimiter` is the file's field delimiter (',' ';' '\t' '|'). The number rules, column-wide:
// - Grouping commas stand only before a '.' decimal point or none, and every group after the
//   first is exactly three digits, the first one to three without a leading zero ("1,234" and
//   "12,345,678.5" yes; "1,23", "12,34,567" and "0,123" no).
// - A decimal comma is read only when `delimiter` is not ','. In a column where some value uses
//   '.' to group thousands ("1.234,5"), every '.' groups thousands ("2.500" is 2500, "2.5" is
//   refused); elsewhere a value such as "1.500", which could mean 1.5 or 1500, refuses the
//   decimal-comma reading.
// - When every comma could be either ("1,234" in a file delimited by ';'), a column of amounts
//   or one with a '.' decimal point elsewhere ("1.5") groups thousands; any other is refused.
// Each number is exactly the double that std::from_chars gives for the value's digits, sign and
// decimal point; numbers whose digits and point run past 400 characters, exponents outside plain
// numbers, "inf" and "nan" are refused. Linear in the total size of `values`.
std::optional<NumberReading> readAsNumbers(std::span<const std::string> values, char delimiter,
                                           DateOrder dates = DateOrder::Guess);

// Returns what `style` reads, for the report: "numbers with a currency sign", "dates, in days
// since 1970-01-01".
std::string describeStyle(NumberStyle style);

// Returns how a value of `style` written `example` becomes `number`, for the report and for
// loading the file into a database: "$3.20 -> 3.2", "22.07.2024 -> 19926, day first".
// `order` is the dates' order of day and month (Guess for ISO dates and other styles).
std::string describeExample(NumberStyle style, std::string_view example, double number,
                            DateOrder order);

// Returns the days since 1970-01-01 00:00 UTC that `text` denotes, with the time of day as a
// fraction, or std::nullopt when `text` is no ISO 8601 date or date-time:
//   YYYY-MM-DD, optionally followed by 'T' or ' ' and hh:mm[:ss[.fraction]], optionally followed
//   by 'Z' or an offset +hh:mm, -hh:mm, +hhmm or +hh (no offset: UTC).
// Impossible dates ("2023-02-30") and times ("24:00", "10:60") are refused.
// "1970-01-02" is 1; "2023-01-05T12:00:00" is 19362.5; "2023-01-05T12:00:00+02:00" 19362.41666...
std::optional<double> isoDays(std::string_view text);

// Returns the days since 1970-01-01 00:00 that `text` denotes as a date written with
// `separator` ('.' or '/') in the order `order` (DayFirst or MonthFirst), or std::nullopt:
//   D.M.YYYY or M/D/YYYY (day and month one or two digits, the year four), optionally followed
//   by ' ' or 'T' and h:mm[:ss[.fraction]] (the hour one or two digits).
// Impossible dates and times are refused; the time is taken as UTC.
// "22.07.2024" day first is 19926; "7/22/2024 12:00" month first is 19926.5.
std::optional<double> dayMonthDays(std::string_view text, char separator, DateOrder order);

}  // namespace mining
