#pragma once
// Channel lists in OPML, the outline format feed readers exchange subscriptions in.
// Reading takes a file's text as other readers write it (OPML 1.0 to 2.0, folders at any
// depth, attribute names in any case) and yields the feed addresses in file order; writing
// produces an OPML 2.0 document declared as UTF-8. The bytes of the file are read and
// written by the caller (as feeds are: byte-order mark, declaration, UTF-8, CP949).
// Portable: no Windows header.
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
// list is far below each of them. The caller refuses a file above kOpmlMaxBytes unread.
inline constexpr size_t kOpmlMaxBytes = 16u * 1024 * 1024;
inline constexpr size_t kOpmlMaxOutlines = 10000;
inline constexpr size_t kOpmlMaxDepth = 64;

// TooLarge and Encoding describe the file's bytes, which the caller reads; ReadOpml
// gives TooLarge only when memory runs out.
enum class OpmlStatus { Ok, TooLarge, Encoding, Malformed, NotOpml, TooManyOutlines, TooDeep };

struct OpmlList {
  std::vector<std::wstring> addresses;  // in file order, duplicates kept
  size_t unusable = 0;  // outlines without children and without a usable address
};

// Reads a whole file's text. Nothing of `out` is meaningful unless the result is Ok.
OpmlStatus ReadOpml(std::wstring_view text, OpmlList& out);

struct OpmlChannel {
  std::wstring title;    // shown by other readers
  std::wstring address;  // as stored; a leading '#' marks it disabled
};

// The whole document, to be stored as UTF-8. `dateCreated` is an RFC 822 date.
std::wstring WriteOpml(const std::vector<OpmlChannel>& channels, std::wstring_view title,
                       std::wstring_view dateCreated);
