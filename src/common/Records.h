#pragma once
// Records that travel with the private message between windows and threads.
#include <memory>
#include <string>

struct PreparedFeed;  // net/PreparedFeed.h

// One channel's download result, built on the fetch thread's stack and sent with 'XML';
// valid only during the sent message.
struct FeedResult {
  std::wstring id;    // the channel's settings id
  std::wstring url;   // the channel address as stored
  std::wstring text;  // the feed as UTF-16 text; empty when not downloaded
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
