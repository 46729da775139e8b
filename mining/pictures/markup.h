#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mining::pictures {

// Text for the page: names and values from a data file go into HTML and SVG through escape(),
// so that no name can close an element, start an entity or end an attribute, and the page stays
// well-formed XML as well as HTML.

// Returns `text` as the content of an element or a quoted attribute value: '&', '<', '>', '"'
// and '\'' become entities; a byte that does not begin a valid UTF-8 sequence, a control
// character other than tab and line feed (XML allows none of them, not even as an entity) and
// the non-characters U+FFFE and U+FFFF become U+FFFD, the replacement character. Other
// characters, ASCII or not, stay as they are (the page is UTF-8).
std::string escape(std::string_view text);

// Returns `text` shortened to at most `columns` display columns ("..." where it was cut; see
// shortToWidth()) and escaped.
std::string shortEscaped(std::string_view text, std::size_t columns);

// Returns `value` as an SVG coordinate or length: at most one fraction digit, "0" for -0, no
// exponent, "0" for a value that is not finite.
std::string coordinate(double value);

}  // namespace mining::pictures
