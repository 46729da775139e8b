#include "util/display_width.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace mining {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Combining marks and zero-width characters (general categories Mn, Me, Cf and the Hangul
// jamo that join a syllable), the blocks that hold most of them.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},
    {0x05C1, 0x05C2},   {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},
    {0x064B, 0x065F},   {0x0670, 0x0670},   {0x06D6, 0x06DC},   {0x06DF, 0x06E4},
    {0x06E7, 0x06E8},   {0x06EA, 0x06ED},   {0x0711, 0x0711},   {0x0730, 0x074A},
    {0x07A6, 0x07B0},   {0x07EB, 0x07F3},   {0x0816, 0x082D},   {0x0859, 0x085B},
    {0x08D3, 0x0902},   {0x093A, 0x093A},   {0x093C, 0x093C},   {0x0941, 0x0948},
    {0x094D, 0x094D},   {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0981},
    {0x09BC, 0x09BC},   {0x09C1, 0x09C4},   {0x09CD, 0x09CD},   {0x0A01, 0x0A02},
    {0x0A3C, 0x0A3C},   {0x0A41, 0x0A51},   {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},
    {0x0E47, 0x0E4E},   {0x0EB1, 0x0EB1},   {0x0EB4, 0x0EBC},   {0x0EC8, 0x0ECD},
    {0x1160, 0x11FF},   {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},   {0x200B, 0x200F},
    {0x202A, 0x202E},   {0x2060, 0x2064},   {0x20D0, 0x20FF},   {0x302A, 0x302D},
    {0x3099, 0x309A},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},
    {0x1D167, 0x1D169}, {0x1D173, 0x1D182}, {0xE0001, 0xE007F}, {0xE0100, 0xE01EF},
};

// East Asian Wide (W) and Fullwidth (F) characters.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF},
    {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF},
    {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool inRanges(const Range (&ranges)[N], char32_t c) {
    const auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                     [](char32_t v, const Range& r) { return v < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}

// Decodes the UTF-8 sequence at text[at]; returns its length, or 0 when it is not valid
// (truncated, overlong, a surrogate or beyond U+10FFFF).
std::size_t decode(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3Fu);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::size_t characterWidth(std::string_view text, std::size_t at, std::size_t& length) {
    char32_t c = 0;
    length = decode(text, at, c);
    if (length == 0) {
        length = 1;
        return 1;
    }
    if (c < 0x300) return 1;
    if (inRanges(kZeroWidth, c)) return 0;
    return inRanges(kWide, c) ? 2 : 1;
}

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        width += characterWidth(text, at, length);
    }
    return width;
}

std::size_t prefixFitting(std::string_view text, std::size_t columns) {
    std::size_t width = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        const std::size_t w = characterWidth(text, at, length);
        if (width + w > columns) break;
        width += w;
        at += length;
    }
    return at;
}

}  // namespace mining
