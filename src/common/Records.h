#pragma once
// Records that travel with the private message between windows and threads.
#include <memory>
#include <string>
#include <unordered_map>

// What identifies the version of a feed a server sent (its ETag and Last-Modified), for
// asking next time whether it changed. Either may be empty.
struct FeedValidators {
  std::wstring etag;
  std::wstring lastModified;
  bool Empty() const { return etag.empty() && lastModified.empty(); }
};

// The validators of the feeds the tree shows, by channel address: what a fetch run asks
// with. A channel that is not listed is downloaded in full.
using KnownFeeds = std::unordered_map<std::wstring, FeedValidators>;

struct PreparedFeed;  // net/PreparedFeed.h

// One channel's download result, built on the fetch thread's stack and sent with 'XML';
// valid only during the sent message.
struct FeedResult {
  std::wstring id;    // the channel's settings id
  std::wstring url;   // the channel address as stored
  std::wstring text;  // the feed as UTF-16 text; empty when not downloaded
  // The server answered a conditional request with 304: the feed is as the tree shows it.
  bool notModified = false;
  // Of a 200 answer with a text: to be kept with the channel once the text has been read.
  FeedValidators validators{};
  // The text already read on the fetch thread; null when it was not.
  std::shared_ptr<const PreparedFeed> prepared = nullptr;
};

// A link to open ('VIEW', sent and borrowed) or a ticker entry ('ADD', posted and owned
// by the ticker).
struct ViewRequest {
  ViewRequest() = default;
  ViewRequest(std::wstring title, std::wstring link, std::wstring extra = {})
      : title(std::move(title)), link(std::move(link)), extra(std::move(extra)) {}
  virtual ~ViewRequest() = default;

  std::wstring title;
  std::wstring link;
  std::wstring extra;  // not read by anyone
};
