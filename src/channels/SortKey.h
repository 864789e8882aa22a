#pragma once
// Sibling order of the channel tree, kept free of Windows headers so that it is tested
// natively as well.
#include <cstdint>
#include <string>
#include <string_view>

// The sort key of a feed item: "%08x-%03d" of (0xFFFFFFFF - fetchStamp) and the arrival
// number. A later fetch run (larger stamp) gives a smaller key, so its items come first;
// within one run the three-digit arrival numbers keep the feed's order. (Negating the
// stamp instead would put the items of the very first run, stamped 0 because no fetch
// had ended yet, above everything that came later.)
std::wstring FeedSortKey(uint32_t fetchStamp, int32_t arrivalNo);

// Code-unit order of two texts (what wcscoll gives in the "C" locale, which the program
// never changes): negative, zero or positive.
int CompareOrdinal(std::wstring_view a, std::wstring_view b);

// The order of two siblings: by sort key, and by display text when the keys are equal.
int CompareTreeOrder(std::wstring_view keyA, std::wstring_view textA, std::wstring_view keyB,
                     std::wstring_view textB);
