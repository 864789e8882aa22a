#pragma once
// The download of one channel: a GET of its address into a file of this process's own in
// the user's temporary folder, deleted again with the request.
#include <string>

#include "net/HttpClient.h"

// The largest feed document that is read and converted. A feed is a few hundred
// kilobytes at most; a longer body is cut off during the download and the channel is
// handed on with an empty text, so a hostile server cannot exhaust memory or disk.
inline constexpr uint64_t kMaxFeedBytes = 32ull << 20;

class FeedRequest : public HttpClient {
 public:
  explicit FeedRequest(std::wstring url);
  ~FeedRequest() override;

  // The local file of the body; empty until the client asked for it.
  const std::wstring& OutputPath() const { return outputPath_; }

 protected:
  std::wstring GetUrl() override;
  // <temporary folder>\pellora-<process id>-<counter>.xml, the same on every call.
  std::wstring GetOutputFile() override;
  // One byte beyond kMaxFeedBytes, so that the file shows that the feed was too long.
  uint64_t GetBodyLimit() override;

 private:
  std::wstring url_;
  std::wstring outputPath_;
};
