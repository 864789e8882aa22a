#pragma once
// Text services between a parsed feed and what the user sees: character references are
// decoded, keyword lists and server replies are cut into words.
#include <string>

// Replaces, in this order and each until none is left: &amp; &apos; &lt; &gt; &quot;
// &copy; (U+24D2) &reg; &trade; &nbsp; (a plain space) &#039; &#39;. Then numeric
// references, always the first "&#" up to the next ';', read as a decimal number in the
// manner of _wtoi, until none is left: 0 gives nothing, 1..0xFFFF that code unit, up to
// 0x10FFFF a surrogate pair, anything else (negative or too large) U+FFFD. A replacement
// may combine with the text around it ("&#38;#38;" ends as "&"). Linear time: the result
// equals the naive repeated search-and-replace. Each numeric reference is traced with the
// two positions and the whole text when someone listens to DebugTrace.
std::wstring DecodeEntities(std::wstring text);

// Cuts a text into tokens separated by runs of delimiter characters.
class StringTokenizer {
 public:
  explicit StringTokenizer(const wchar_t* text);

  // The next token before a delimiter of the NUL-terminated set `delimiters` (or up to the
  // end); an empty string when only delimiters are left, after which Remaining() is empty.
  std::wstring NextToken(const wchar_t* delimiters);

  // The text after the last token, with its leading delimiters removed.
  const std::wstring& Remaining() const { return remaining_; }

 private:
  std::wstring remaining_;
  std::wstring token_;
};
