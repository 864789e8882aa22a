#pragma once
// What a feed document says, as the program shows it: the channel's title and its items
// in document order, each decoded. Reads RSS 2.0 (and the 0.9x forms), RSS 1.0 (an RDF
// root) and Atom 1.0. Portable: the standard library only.
#include <string>
#include <string_view>
#include <vector>

// One item; its texts are views into the characters its FeedDocument holds.
struct FeedEntry {
  std::wstring_view title;     // entities decoded
  std::wstring_view link;      // entities decoded
  std::wstring_view category;  // as written in RSS (never decoded there); an Atom term decoded
};

struct FeedDocument {
  enum class Status {
    Parsed,     // a channel (or an Atom feed) was found
    NoChannel,  // well-formed, but nothing a feed reader recognises
    Failed,     // not well-formed; `message` says why
  };
  Status status = Status::Failed;
  std::wstring message;       // the parser's error text after a failure
  bool hasTitle = false;      // false: the channel names no title anywhere
  std::wstring channelTitle;  // decoded, trimmed of " \r\n"
  // Only items with a non-empty title and link, in document order.
  std::vector<FeedEntry> items;
  // The items' characters, one block for all (the items' views stay valid when the
  // document is moved; it cannot be copied).
  std::wstring text;

  FeedDocument() = default;
  FeedDocument(FeedDocument&&) = default;
  FeedDocument& operator=(FeedDocument&&) = default;
  FeedDocument(const FeedDocument&) = delete;
  FeedDocument& operator=(const FeedDocument&) = delete;
};

// Reads a NUL-terminated feed text. Formats, by the document:
// - an RDF root (any prefix): RSS 1.0; the channel's title is that of the root's `channel`
//   child, the items are the root's `item` children;
// - otherwise a `channel` element anywhere (the first, depth first): RSS 2.0; its items
//   are its own `item` children only;
// - otherwise a `feed` root: Atom 1.0; its `entry` children are the items.
// A channel's title is its own `title` child; without one, the first `title` below it
// outside any item, entry or image. An item's title, link and category are its own
// children of those names; one it lacks is looked for anywhere below it. RSS 2.0 names
// compare ignoring the case of A-Z; RSS 1.0 and Atom names also ignore any prefix.
FeedDocument ReadFeed(const wchar_t* text);

// The text a browser shows for a piece of HTML: tags and comments removed, entities
// decoded, runs of white space made one space, no space at either end.
std::wstring HtmlToText(const std::wstring& html);
