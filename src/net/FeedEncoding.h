#pragma once
// How a downloaded feed's bytes become text: the encoding named in its XML declaration,
// looked up in the table of supported encodings, or a UTF-16LE byte-order mark. Works on
// the raw bytes; portable (no Windows header) so that it is tested natively.
#include <string>
#include <string_view>

// The declared encoding and everything after it up to the first zero byte. Only an
// "encoding=" (any letter case) between the first "<?" and the first "?>" counts; one
// opening quote (double or single) is skipped. "euc-kr" when there is no such declaration.
std::string_view DeclaredEncoding(std::string_view bytes);

// The code page of the declared encoding: the table name that the declared text starts
// with, ignoring letter case. 0 when the encoding is not in the table.
unsigned FeedCodePage(std::string_view bytes);

// True when the bytes start with the UTF-16LE byte-order mark FF FE.
bool HasUtf16LeMark(std::string_view bytes);

// The UTF-16LE text after the mark, up to the first zero unit; an odd last byte is the
// low half of a unit whose high half is zero.
std::u16string Utf16LeAfterMark(std::string_view bytes);
