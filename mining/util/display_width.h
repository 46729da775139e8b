#pragma once

#include <cstddef>
#include <string_view>

namespace mining {

// Display widths of UTF-8 text in a fixed-width terminal or text view, so that report columns
// line up for names such as "café" or "東京".
//
// The standard library measures text only through the C locale (wcwidth and friends), which
// depends on the machine's settings and may not be UTF-8 at all, so the few rules a report needs
// are written here: a combining mark or zero-width character counts 0 columns, an East Asian
// wide or fullwidth character 2, every other character 1, and each byte that does not begin a
// valid UTF-8 sequence 1.

// Returns the columns `text` takes.
std::size_t displayWidth(std::string_view text);

// Returns the columns of the one character starting at text[at] and sets `length` to its bytes
// (1 for an invalid byte). Requires at < text.size().
std::size_t characterWidth(std::string_view text, std::size_t at, std::size_t& length);

// Returns the length in bytes of the longest prefix of `text` that takes at most `columns`
// columns and ends on a character boundary (combining marks stay with their base character).
std::size_t prefixFitting(std::string_view text, std::size_t columns);

}  // namespace mining
