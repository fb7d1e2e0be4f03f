#pragma once
#include <string_view>

// Orders texts held as UTF-8 bytes without regard to case: each character is
// taken in its upper-case form and then compared by code point. Bytes that
// are not valid UTF-8 count as characters above every code point, each byte
// value its own, so two different malformed names never compare equal.
// Equality under this order is the equality of the texts' upper-case forms,
// which is what grouping by key compares, so a sort by it keeps every run of
// equal keys together.
int foldCompare(std::string_view a, std::string_view b);

inline bool foldEqual(std::string_view a, std::string_view b)
{
    return foldCompare(a, b) == 0;
}
