#include "net/FeedRequest.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "net/HttpHeaders.h"

namespace {
std::atomic<unsigned> downloadCounter{0};
}  // namespace

FeedRequest::FeedRequest(std::wstring url, FeedValidators known) : url_(std::move(url)), known_(std::move(known)) {}

FeedRequest::~FeedRequest() {
  if (!outputPath_.empty()) ::DeleteFileW(outputPath_.c_str());
}

std::wstring FeedRequest::GetUrl() { return url_; }

std::wstring FeedRequest::GetHeaders() {
  std::wstring headers;
  if (IsSendableHeaderValue(known_.etag)) headers += L"If-None-Match: " + known_.etag + L"\r\n";
  if (IsSendableHeaderValue(known_.lastModified)) headers += L"If-Modified-Since: " + known_.lastModified + L"\r\n";
  return headers;
}

bool FeedRequest::AcceptsCompression() { return true; }

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
