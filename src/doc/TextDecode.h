#pragma once
// Text services between a parsed feed and what the user sees: character references are
// decoded, keyword lists and server replies are cut into words.
#include <span>
#include <string>
#include <string_view>

// Replaces, in this order and each until none is left: &amp; &apos; &lt; &gt; &quot;
// &copy; (U+24D2) &reg; &trade; &nbsp; (a plain space) &#039; &#39;, then the HTML 4
// entities (&eacute; &mdash; &hellip; ...). Then numeric references, "&#" with decimal or
// "&#x" with hexadecimal digits and ';', always the first one of the text, until none is
// left: 0 gives nothing, 1..0xFFFF that code unit, up to 0x10FFFF a surrogate pair,
// anything larger U+FFFD. A "&#" that starts no reference stays as written. A replacement
// may combine with the text around it ("&#38;#38;" ends as "&"). Linear time: the result
// equals the naive repeated search-and-replace. Each numeric reference is traced with the
// positions of its '&' and its ';' and the whole text when someone listens to DebugTrace.
std::wstring DecodeEntities(std::wstring text);
// The same, appended to `out`.
void AppendDecoded(std::wstring_view text, std::wstring& out);

struct NamedEntity {
  std::wstring_view text;  // "&name;"
  wchar_t replacement;
};
// The named entities in the order they are replaced.
std::span<const NamedEntity> NamedEntities();

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
