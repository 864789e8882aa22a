#pragma once
// The download of one channel: a GET of its address into a file of this process's own in
// the user's temporary folder, deleted again with the request. It accepts a compressed
// answer, and asks whether the feed changed when it knows the version it has.
#include <string>

#include "common/Records.h"
#include "net/HttpClient.h"

// The largest feed document that is read and converted. A feed is a few hundred
// kilobytes at most; a longer body is cut off during the download and the channel is
// handed on with an empty text, so a hostile server cannot exhaust memory or disk.
inline constexpr uint64_t kMaxFeedBytes = 32ull << 20;

class FeedRequest : public HttpClient {
 public:
  // `known`: the validators of the version the program has; empty asks unconditionally.
  explicit FeedRequest(std::wstring url, FeedValidators known = {});
  ~FeedRequest() override;

  // The local file of the body; empty until the client asked for it.
  const std::wstring& OutputPath() const { return outputPath_; }

 protected:
  std::wstring GetUrl() override;
  // If-None-Match and If-Modified-Since from the known validators that can be sent back.
  std::wstring GetHeaders() override;
  bool AcceptsCompression() override;
  // <temporary folder>\pellora-<process id>-<counter>.xml, the same on every call.
  std::wstring GetOutputFile() override;
  // One byte beyond kMaxFeedBytes, so that the file shows that the feed was too long.
  uint64_t GetBodyLimit() override;

 private:
  std::wstring url_;
  FeedValidators known_;
  std::wstring outputPath_;
};
