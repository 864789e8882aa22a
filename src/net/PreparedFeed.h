#pragma once
// A downloaded feed read on the fetch thread, so that the frame's thread only files its
// items: the parsed document and, for each item the frame does not know yet, whether the
// URL cache holds its link. Asking the cache costs about half a millisecond a link under
// Wine, which the frame's thread would otherwise spend on every new item.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/UrlCache.h"
#include "doc/FeedReader.h"

struct PreparedFeed {
  enum class Cache : char { NotAsked, Absent, Present };
  FeedDocument feed;
  std::vector<Cache> cache;  // one per item of feed.items
};

// Sent with 'NEW' from the fetch thread: the frame marks the links its tree lacks.
struct LinkQuery {
  std::vector<std::wstring> links;
  std::vector<char> unknown;  // one per link, set by the frame
};

// Null for an empty text, or when reading fails for want of memory (the frame then reads
// the text itself). `frame` is asked which links are new; a frame that does not answer
// gets no cache answers. `cache` is the run's, asked about the new links.
std::shared_ptr<const PreparedFeed> PrepareFeed(HWND frame, const std::wstring& text, UrlCacheReader& cache) noexcept;
