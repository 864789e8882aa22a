#include "net/FeedRequest.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

namespace {
std::atomic<unsigned> downloadCounter{0};
}  // namespace

FeedRequest::FeedRequest(std::wstring url) : url_(std::move(url)) {}

FeedRequest::~FeedRequest() {
  if (!outputPath_.empty()) ::DeleteFileW(outputPath_.c_str());
}

std::wstring FeedRequest::GetUrl() { return url_; }

std::wstring FeedRequest::GetOutputFile() {
  if (outputPath_.empty()) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return {};
    wchar_t name[64];
    std::swprintf(name, 64, L"pellora-%lu-%u.xml", static_cast<unsigned long>(::GetCurrentProcessId()),
                  downloadCounter.fetch_add(1) + 1);
    outputPath_ = std::wstring(folder, length) + name;
  }
  return outputPath_;
}

uint64_t FeedRequest::GetBodyLimit() { return kMaxFeedBytes + 1; }
