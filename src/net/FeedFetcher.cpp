#include "net/FeedFetcher.h"

#include <wininet.h>

#include <atomic>
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
#include "net/NetSession.h"
#include "win/Handles.h"

namespace {

std::atomic<ConnectionProbe> connectionProbe{nullptr};

bool IsConnected() {
  if (ConnectionProbe probe = connectionProbe.load()) return probe();
  DWORD flags = 0;
  return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

void SendResult(HWND frame, FeedResult& result) {
  SendFrameCode(frame, frame_code::kXml, &result);
}

// The downloaded file of `url` as text; empty when it cannot be read.
std::wstring ReadFeedFile(const std::wstring& path, const std::wstring& url) {
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
  return FeedText(bytes);
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

// One download on a thread of its own; the request (and with it its file) lives as long as
// either side holds the job.
struct Download {
  explicit Download(std::wstring address) : url(std::move(address)) {}
  std::wstring url;
  std::optional<FeedRequest> request;
  std::wstring text;
  bool finished = false;   // under stuckLock
  bool abandoned = false;  // under stuckLock
};

// The body of a download job. Whatever body was written is handed on, except after the
// deadline: a trickle cut off part-way is no document and counts as not downloaded.
void RunDownload(Download& job) {
  try {
    job.request.emplace(job.url);
    job.request->Execute();
    if (!job.request->TimedOut()) job.text = ReadFeedFile(job.request->OutputPath(), job.url);
  } catch (...) {
    DebugTrace(L"Download failed : [%ls]\n", job.url.c_str());
    job.text.clear();
  }
  std::lock_guard<std::mutex> guard(stuckLock);
  job.finished = true;
  if (job.abandoned) stuckAddresses.erase(job.url);
}

// One channel's result. A failure of any kind (memory for a huge document above all) and
// a download that outlasts its deadline are that channel's failed download, never the end
// of the run or of the program.
void FetchChannel(HWND frame, const std::wstring& id, const std::wstring& url) {
  std::shared_ptr<Download> job;
  std::wstring text;
  try {
    if (FetchFault fault = fetchFault.load()) fault(url);
    if (Stuck(url)) {
      DebugTrace(L"Previous download still running : [%ls]\n", url.c_str());
    } else {
      job = std::make_shared<Download>(url);
      const Bounded run = RunWithin([job] { RunDownload(*job); }, DownloadDeadlineMs() + kDownloadGraceMs);
      if (run == Bounded::NotStarted) {
        RunDownload(*job);  // no thread to spare: here, bounded by the deadline alone
        text = std::move(job->text);
      } else if (run == Bounded::Ended) {
        text = std::move(job->text);
      } else {
        DebugTrace(L"Download given up : [%ls]\n", url.c_str());
        std::lock_guard<std::mutex> guard(stuckLock);
        if (!job->finished) {
          job->abandoned = true;
          stuckAddresses.insert(url);
        }
        job.reset();
      }
    }
  } catch (...) {
    DebugTrace(L"Download failed : [%ls]\n", url.c_str());
    text = std::wstring();
  }
  FeedResult result{id, url, std::move(text)};
  SendResult(frame, result);
}  // the request deletes its file here, unless its thread still holds it

// 'END' must arrive, or the frame stays "fetching" and never refreshes again. A post
// fails when the thread's queue is full; a sent message does not go through that queue.
void DeliverEnd(HWND frame) {
  if (PostFrameCode(frame, frame_code::kEnd)) return;
  if (!::IsWindow(frame)) return;
  DebugTrace(L"END could not be posted (%lu), sent instead\n", static_cast<unsigned long>(::GetLastError()));
  SendFrameCode(frame, frame_code::kEnd);
}

void FetchAll(HWND frame) {
  const bool connected = IsConnected();
  std::vector<std::wstring> ids;
  Config().EnumSubsections(section::kConfig, ids);
  for (const std::wstring& id : ids) {
    // The program is ending: the rest of the run would only delay its exit.
    if (!::IsWindow(frame)) return;
    const std::wstring url = setting::Get(setting::kUrl, id);
    if (!connected) {
      FeedResult result{id, url, {}};
      SendResult(frame, result);
      continue;
    }
    if (url.empty() || url[0] == L'#') continue;
    FetchChannel(frame, id, url);
  }
}

void FeedFetcherRun(HWND frame) {
  try {
    FetchAll(frame);
  } catch (...) {
    DebugTrace(L"fetch run failed\n");
  }
  DeliverEnd(frame);
}

}  // namespace

bool StartFeedFetcher(HWND frame) {
  return StartNetWorker(FeedFetcherRun, frame);
}

std::wstring FeedText(std::string_view bytes) {
  const FeedDecoding decoding = DetectFeedEncoding(bytes);
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
