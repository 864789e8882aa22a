#include "net/FeedFetcher.h"

#include <wininet.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <optional>
#include <vector>

#include "common/DebugTrace.h"
#include "common/FrameCode.h"
#include "common/Records.h"
#include "common/TextConv.h"
#include "config/ConfigStore.h"
#include "config/Settings.h"
#include "net/FeedEncoding.h"
#include "net/FeedRequest.h"
#include "net/HttpHeaders.h"
#include "net/NetSession.h"
#include "net/PreparedFeed.h"
#include "win/Handles.h"

namespace {

std::atomic<ConnectionProbe> connectionProbe{nullptr};

void SendResult(HWND frame, FeedResult& result) {
  SendFrameCode(frame, frame_code::kXml, &result);
}

// The downloaded file of `url` as text; empty when it cannot be read.
std::wstring ReadFeedFile(const std::wstring& path, const std::wstring& url, const std::string& charset) {
  if (path.empty()) return {};
  win::FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER length{};
  if (!file || !::GetFileSizeEx(file.Get(), &length)) return {};
  if (static_cast<uint64_t>(length.QuadPart) > kMaxFeedBytes) {
    DebugTrace(L"Feed too large : [%ls]\n", url.c_str());
    return {};
  }
  std::string bytes(static_cast<size_t>(length.QuadPart), '\0');
  size_t filled = 0;
  while (filled < bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &read, nullptr) ||
        read == 0)
      break;
    filled += read;
  }
  bytes.resize(filled);
  return FeedText(bytes, charset);
}

std::atomic<FetchFault> fetchFault{nullptr};

// Addresses whose last download was given up while its thread was still inside WinINet:
// they are not asked again until that thread has ended, so a server that holds
// connections open costs one thread at most.
std::mutex stuckLock;
std::set<std::wstring> stuckAddresses;

bool Stuck(const std::wstring& url) {
  std::lock_guard<std::mutex> guard(stuckLock);
  return stuckAddresses.count(url) != 0;
}

// Addresses whose server asked, with 429 or 503 and Retry-After, not to be asked before a
// time (GetTickCount64). Kept for the life of the process only.
std::mutex retryLock;
std::map<std::wstring, ULONGLONG> retryAfter;

bool Throttled(const std::wstring& url) {
  std::lock_guard<std::mutex> guard(retryLock);
  auto it = retryAfter.find(url);
  if (it == retryAfter.end()) return false;
  if (::GetTickCount64() < it->second) return true;
  retryAfter.erase(it);
  return false;
}

int64_t UnixNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

void RememberRetryAfter(const std::wstring& url, const std::wstring& value) {
  if (value.empty()) return;
  const std::optional<uint32_t> seconds = RetryAfterSeconds(ToMultiByte(value, CP_ACP), UnixNow());
  if (!seconds) {
    DebugTrace(L"Retry-After ignored : [%ls] %ls\n", value.c_str(), url.c_str());
    return;
  }
  DebugTrace(L"Retry-After %lu s : %ls\n", static_cast<unsigned long>(*seconds), url.c_str());
  if (*seconds == 0) return;
  std::lock_guard<std::mutex> guard(retryLock);
  retryAfter[url] = ::GetTickCount64() + static_cast<ULONGLONG>(*seconds) * 1000;
}

// One download on a thread of its own; the request (and with it its file) lives as long as
// either side holds the job.
struct Download {
  Download(std::wstring address, FeedValidators validators) : url(std::move(address)), known(std::move(validators)) {}
  std::wstring url;
  FeedValidators known;
  std::optional<FeedRequest> request;
  std::wstring text;
  bool notModified = false;
  FeedValidators validators;  // of a 200 answer with a text
  bool finished = false;      // under stuckLock
  bool abandoned = false;     // under stuckLock
};

// The body of a download job. Whatever body was written is handed on, except after the
// deadline (a trickle cut off part-way is no document and counts as not downloaded) and
// except a 304, 429 or 503, whose body is no feed: a channel keeps its items through them.
void RunDownload(Download& job) {
  try {
    job.request.emplace(job.url, job.known);
    FeedRequest& request = *job.request;
    const int status = request.Execute();
    if (request.TimedOut()) {
      // nothing arrived that can be trusted
    } else if (status == 304) {
      if (job.known.Empty()) {
        DebugTrace(L"304 to an unconditional request : [%ls]\n", job.url.c_str());
      } else {
        DebugTrace(L"Not modified : [%ls]\n", job.url.c_str());
        job.notModified = true;
      }
    } else if (status == 429 || status == 503) {
      RememberRetryAfter(job.url, request.ResponseHeader(L"Retry-After", kMaxHeaderValueChars));
    } else {
      // A body that could not be read to its end (a compressed answer that does not
      // decode, a dropped connection) hands on what was written, as before.
      if (status == -1) DebugTrace(L"Download incomplete : [%ls]\n", job.url.c_str());
      const std::string charset =
          ContentTypeCharset(ToMultiByte(request.ResponseHeader(L"Content-Type", kMaxHeaderValueChars), CP_ACP));
      job.text = ReadFeedFile(request.OutputPath(), job.url, charset);
      if (status == 200 && !job.text.empty()) {
        job.validators.etag = request.ResponseHeader(L"ETag", kMaxHeaderValueChars);
        job.validators.lastModified = request.ResponseHeader(L"Last-Modified", kMaxHeaderValueChars);
      }
    }
  } catch (...) {
    DebugTrace(L"Download failed : [%ls]\n", job.url.c_str());
    job.text.clear();
    job.notModified = false;
  }
  std::lock_guard<std::mutex> guard(stuckLock);
  job.finished = true;
  if (job.abandoned) stuckAddresses.erase(job.url);
}

// One channel's result. A failure of any kind (memory for a huge document above all) and
// a download that outlasts its deadline are that channel's failed download, never the end
// of the run or of the program.
void FetchChannel(HWND frame, const std::wstring& id, const std::wstring& url, const FeedValidators& known,
                  UrlCacheReader& cache) {
  std::shared_ptr<Download> job;
  FeedResult result{id, url, {}};
  try {
    if (FetchFault fault = fetchFault.load()) fault(url);
    if (Stuck(url)) {
      DebugTrace(L"Previous download still running : [%ls]\n", url.c_str());
    } else {
      job = std::make_shared<Download>(url, known);
      const Bounded run = RunWithin([job] { RunDownload(*job); }, DownloadDeadlineMs() + kDownloadGraceMs);
      if (run == Bounded::NotStarted) RunDownload(*job);  // no thread to spare: here, bounded by the deadline alone
      if (run == Bounded::GivenUp) {
        DebugTrace(L"Download given up : [%ls]\n", url.c_str());
        std::lock_guard<std::mutex> guard(stuckLock);
        if (!job->finished) {
          job->abandoned = true;
          stuckAddresses.insert(url);
        }
        job.reset();
      } else {
        result.text = std::move(job->text);
        result.notModified = job->notModified;
        result.validators = std::move(job->validators);
      }
    }
  } catch (...) {
    DebugTrace(L"Download failed : [%ls]\n", url.c_str());
    result = FeedResult{id, url, {}};
  }
  result.prepared = PrepareFeed(frame, result.text, cache);
  SendResult(frame, result);
}  // the request deletes its file here, unless its thread still holds it

// 'END' must arrive, or the frame stays "fetching" and never refreshes again. A post
// fails when the thread's queue is full; a sent message does not go through that queue.
void DeliverEnd(HWND frame, LPARAM offline) {
  if (PostFrameCode(frame, frame_code::kEnd, offline)) return;
  if (!::IsWindow(frame)) return;
  DebugTrace(L"END could not be posted (%lu), sent instead\n", static_cast<unsigned long>(::GetLastError()));
  SendFrameCode(frame, frame_code::kEnd, offline);
}

// Returns whether the machine was connected.
bool FetchAll(HWND frame, const KnownFeeds& known) {
  const bool connected = IsInternetConnected();
  std::vector<std::wstring> ids;
  Config().EnumSubsections(section::kConfig, ids);
  const FeedValidators none;
  UrlCacheReader cache;  // read once for the whole run, as far as it pays
  for (const std::wstring& id : ids) {
    // The program is ending: the rest of the run would only delay its exit.
    if (!::IsWindow(frame)) break;
    const std::wstring url = setting::Get(setting::kUrl, id);
    if (!connected) {
      FeedResult result{id, url, {}};
      SendResult(frame, result);
      continue;
    }
    if (url.empty() || url[0] == L'#') continue;
    // Asked to wait: left alone like a disabled channel until then.
    if (Throttled(url)) continue;
    const auto it = known.find(url);
    FetchChannel(frame, id, url, it == known.end() ? none : it->second, cache);
  }
  return connected;
}

void FeedFetcherRun(HWND frame, const KnownFeeds& known) {
  bool connected = true;
  try {
    connected = FetchAll(frame, known);
  } catch (...) {
    DebugTrace(L"fetch run failed\n");
  }
  DeliverEnd(frame, connected ? 0 : kEndOffline);
}

}  // namespace

bool StartFeedFetcher(HWND frame, KnownFeeds known) {
  auto shared = std::make_shared<const KnownFeeds>(std::move(known));
  return StartNetWorker([frame, shared] { FeedFetcherRun(frame, *shared); });
}

bool IsInternetConnected() {
  if (ConnectionProbe probe = connectionProbe.load()) return probe();
  DWORD flags = 0;
  return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

std::wstring FeedText(std::string_view bytes, std::string_view headerCharset) {
  if (!headerCharset.empty() && EncodingCodePage(headerCharset) == 0)
    DebugTrace(L"Unknown charset in Content-Type, ignored : %ls\n", ToWide(std::string(headerCharset), CP_ACP).c_str());
  const FeedDecoding decoding = DetectFeedEncoding(bytes, headerCharset);
  switch (decoding.kind) {
    case FeedDecoding::Kind::Utf16Le:
    case FeedDecoding::Kind::Utf16Be: {
      const std::u16string units =
          Utf16Text(bytes, decoding.kind == FeedDecoding::Kind::Utf16Be, decoding.skip);
      return std::wstring(units.begin(), units.end());
    }
    case FeedDecoding::Kind::CodePage: {
      std::wstring text = ToWide(bytes.substr(decoding.skip), decoding.codePage);
      if (text.empty() && bytes.size() > decoding.skip && bytes[decoding.skip] != '\0')
        DebugTrace(L"code page %u cannot be read here\n", decoding.codePage);
      return text;
    }
    case FeedDecoding::Kind::Unknown:
      break;
  }
  DebugTrace(L"Unknown encoding : %ls\n", ToWide(decoding.name, CP_ACP).c_str());
  return {};
}

void SetConnectionProbeForTesting(ConnectionProbe probe) { connectionProbe.store(probe); }

void SetFetchFaultForTesting(FetchFault fault) { fetchFault.store(fault); }
