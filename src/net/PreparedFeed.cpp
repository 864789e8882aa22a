#include "net/PreparedFeed.h"

#include "common/FrameCode.h"
#include "common/UrlCache.h"

std::shared_ptr<const PreparedFeed> PrepareFeed(HWND frame, const std::wstring& text, UrlCacheReader& cache) noexcept {
  if (text.empty()) return nullptr;
  try {
    auto prepared = std::make_shared<PreparedFeed>();
    prepared->feed = ReadFeed(text.c_str());
    const std::vector<FeedEntry>& items = prepared->feed.items;
    prepared->cache.assign(items.size(), PreparedFeed::Cache::NotAsked);
    if (items.empty()) return prepared;
    // Only links that are new to the tree are asked about: a known item's state is the
    // frame's already, and a refresh that brings nothing new asks nothing.
    LinkQuery query;
    query.links.reserve(items.size());
    for (const FeedEntry& entry : items) query.links.emplace_back(entry.link);
    query.unknown.assign(items.size(), 0);
    if (!SendFrameCode(frame, frame_code::kNew, &query)) return prepared;
    std::vector<char> present(items.size(), 0);
    cache.Answer(query.links, query.unknown, present);
    for (size_t i = 0; i < items.size(); ++i)
      if (query.unknown[i]) prepared->cache[i] = present[i] ? PreparedFeed::Cache::Present : PreparedFeed::Cache::Absent;
    return prepared;
  } catch (...) {
    return nullptr;
  }
}
