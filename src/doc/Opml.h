#pragma once
// Channel lists in OPML, the outline format feed readers exchange subscriptions in.
// Reading takes the file's bytes as other readers write them (OPML 1.0 to 2.0, any
// encoding declaration we can decode, folders at any depth) and yields the feed addresses
// in file order; writing produces OPML 2.0 in UTF-8. Portable: no Windows header.
//
// Disabled channels (an address starting with '#') must survive our own export and import
// but must not be fetched by other readers, so they are written without `xmlUrl`, inside a
// folder outline of their own, with the stored address in the attribute `pellora:url` of
// the namespace kOpmlNamespace. Reading takes `pellora:url` when an outline has no
// `xmlUrl`.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::wstring_view kOpmlNamespace = L"urn:pellora:opml";

// Limits that keep a hostile or mistaken file from tying the program up; a real channel
// list is far below each of them.
inline constexpr size_t kOpmlMaxBytes = 16u * 1024 * 1024;
inline constexpr size_t kOpmlMaxOutlines = 10000;
inline constexpr size_t kOpmlMaxDepth = 64;

enum class OpmlStatus { Ok, TooLarge, Encoding, Malformed, NotOpml, TooManyOutlines, TooDeep };

struct OpmlList {
  std::vector<std::wstring> addresses;  // in file order, duplicates kept
  size_t unusable = 0;  // outlines without children and without a usable address
};

// Converts bytes in a code page the portable reader does not know (named as declared,
// e.g. "euc-kr") to UTF-16; false when it cannot. May be null.
using OpmlDecoder = bool (*)(std::string_view encoding, std::string_view bytes, std::wstring& text);

// Reads a whole file. Nothing of `out` is meaningful unless the result is Ok.
OpmlStatus ReadOpml(std::string_view bytes, OpmlList& out, OpmlDecoder decoder = nullptr);

struct OpmlChannel {
  std::wstring title;    // shown by other readers
  std::wstring address;  // as stored; a leading '#' marks it disabled
};

// The whole document as UTF-8 bytes. `dateCreated` is an RFC 822 date.
std::string WriteOpml(const std::vector<OpmlChannel>& channels, std::wstring_view title,
                      std::wstring_view dateCreated);

// Text conversions the reader and writer share; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);
void AppendUtf8(std::string& out, std::wstring_view text);
