#pragma once
// Code-page conversions at the edges of the program (feeds, request bodies, answers).
#include <string>
#include <string_view>

// Bytes up to the first zero byte (or the end of the view) in `codePage`, as UTF-16.
std::wstring ToWide(std::string_view bytes, unsigned codePage);
// UTF-16 text in `codePage`.
std::string ToMultiByte(std::wstring_view text, unsigned codePage);
