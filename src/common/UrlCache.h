#pragma once
// The system's URL cache, which tells whether a link has been visited.
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

// Whether the system's URL cache holds an entry for the address. Each question costs
// about half a millisecond under Wine: many of them belong off the window's thread.
bool IsInUrlCache(const std::wstring& url);

// Many questions to the URL cache, for one fetch run on one thread. Reading the whole
// cache once is far cheaper than a question per link when the cache is small, and far
// dearer when it is large, so the reading is paid for by the questions it replaces: each
// link asked adds one entry to read, and until the reading has ended the links are asked
// one by one. It never costs more than twice the questions, and a cache of a few entries
// answers a refresh of thousands of new links in a few reads.
class UrlCacheReader {
 public:
  UrlCacheReader();
  ~UrlCacheReader();
  UrlCacheReader(const UrlCacheReader&) = delete;
  UrlCacheReader& operator=(const UrlCacheReader&) = delete;

  // present[i] is set for every i where ask[i] is: whether links[i] is in the cache.
  void Answer(const std::vector<std::wstring>& links, const std::vector<char>& ask, std::vector<char>& present);

 private:
  enum class Reading { NotStarted, Going, Done, Failed };
  // Reads one more entry; false once the reading has ended or failed.
  bool ReadOne();
  static constexpr unsigned kBufferBytes = 16384;

  Reading reading_ = Reading::NotStarted;
  void* find_ = nullptr;
  std::vector<unsigned long long> buffer_;  // one INTERNET_CACHE_ENTRY_INFOW, aligned
  std::unordered_set<std::wstring> addresses_;
  size_t credit_ = 0;
};
