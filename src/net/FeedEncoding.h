#pragma once
// How a downloaded feed's bytes become text: a byte-order mark, else the encoding named
// in its XML declaration, else UTF-8 when the bytes are valid UTF-8 and CP949 when they
// are not. Works on the raw bytes; portable (no Windows header) so that it is tested
// natively.
#include <string>
#include <string_view>

// How to read a document's bytes.
struct FeedDecoding {
  enum class Kind { CodePage, Utf16Le, Utf16Be, Unknown };
  Kind kind = Kind::Unknown;
  unsigned codePage = 0;  // for Kind::CodePage
  size_t skip = 0;        // bytes of a byte-order mark
  std::string name;       // the declared name, for the trace of an unknown one
};

// The decoding of a document: a UTF-8, UTF-16BE or UTF-16LE byte-order mark; UTF-16
// recognised by its first characters ("<?" in 16-bit units); the declared encoding; the
// charset the server named in its Content-Type (`headerCharset`, ignored when empty or
// unknown); for an undeclared document UTF-8 when its bytes up to the first zero byte are
// valid UTF-8, else CP949, which Korean feeds without a declaration rely on.
FeedDecoding DetectFeedEncoding(std::string_view bytes, std::string_view headerCharset = {});

// The declared encoding and everything after it up to the first zero byte. Only an
// "encoding=" (any letter case) between the first "<?" and the first "?>" counts; one
// opening quote (double or single) is skipped. Empty when there is no such declaration.
std::string_view DeclaredEncoding(std::string_view bytes);

// The code page of a declared encoding text (as DeclaredEncoding gives it): a name of the
// original table that the text starts with (euc-kr, shift-jis, windows-31j, big5, utf-8,
// utf-7), else the declared name by its registered names and common aliases, ignoring
// letter case. ISO-8859-1 and US-ASCII read as windows-1252, as browsers do. 0 when unknown.
unsigned EncodingCodePage(std::string_view declared);

// The code page an 8-bit document is read with (0: unknown encoding).
unsigned FeedCodePage(std::string_view bytes);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The UTF-16 text of the bytes after `skip` bytes, up to the first zero unit; an odd last
// byte is the low half of a unit whose high half is zero.
std::u16string Utf16Text(std::string_view bytes, bool bigEndian, size_t skip);
