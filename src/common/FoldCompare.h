#pragma once
#include <cstdint>
#include <string_view>

// Orders texts held as UTF-8 bytes without regard to case: each character is
// taken in its upper-case form and then compared by code point. Bytes that
// are not valid UTF-8 count as characters above every code point, each byte
// value its own, so two different malformed names never compare equal.
// Equality under this order is the equality of the texts' upper-case forms,
// which is what grouping by key compares, so a sort by it keeps every run of
// equal keys together.
int foldCompare(std::string_view a, std::string_view b);

// A number standing for a text's first characters (at most 18, 7 bits each)
// in foldCompare's order: texts whose numbers differ compare as their
// numbers do; texts whose numbers are equal need foldCompare. A character
// is its upper-case code point when that is below 0x7f, and 0 past the
// text's end; the first one of any other code point (or a malformed byte)
// counts as 0x7f and ends the number, the rest being 0.
unsigned __int128 foldPrefix(std::string_view text, int chars);

inline bool foldEqual(std::string_view a, std::string_view b)
{
    return foldCompare(a, b) == 0;
}
