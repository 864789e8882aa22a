#pragma once
// Small portable text helpers with the exact behaviour of the runtime functions the
// program has always used, independent of the C library and locale of the build.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/CharClass.h"

// Like _wtoi / _wtol on Windows (both 32-bit there): leading white space, an optional
// sign, then decimal digits up to the first non-digit; no digits give 0; values beyond
// the 32-bit range saturate at INT32_MAX / INT32_MIN.
int32_t ParseLeadingInt(std::wstring_view text);

// Copy of text without the characters of `set` at both ends.
std::wstring TrimSet(std::wstring_view text, std::wstring_view set);
