#include "net/FeedFetcher.h"

#include <process.h>
#include <wininet.h>

#include <atomic>
#include <vector>

#include "common/DebugTrace.h"
#include "common/FrameCode.h"
#include "common/Records.h"
#include "common/TextConv.h"
#include "config/ConfigStore.h"
#include "net/FeedEncoding.h"
#include "net/FeedRequest.h"
#include "win/Handles.h"

namespace {

std::atomic<ConnectionProbe> connectionProbe{nullptr};

bool IsConnected() {
  if (ConnectionProbe probe = connectionProbe.load()) return probe();
  DWORD flags = 0;
  return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

void SendResult(HWND frame, FeedResult& result) {
  ::SendMessageW(frame, WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
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

void FetchChannel(HWND frame, const std::wstring& id, const std::wstring& url) {
  FeedRequest request(url);
  request.Execute();  // the result is not looked at: whatever body was written is handed on
  FeedResult result{id, url, ReadFeedFile(request.OutputPath(), url)};
  SendResult(frame, result);
}  // the request deletes its file here

void __cdecl FeedFetcherThread(void* argument) {
  const HWND frame = static_cast<HWND>(argument);
  const bool connected = IsConnected();
  std::vector<std::wstring> ids;
  Config().EnumSubsections(section::kConfig, ids);
  for (const std::wstring& id : ids) {
    const std::wstring url = Config().GetString(section::Channel(id), L"URL", L"");
    if (!connected) {
      FeedResult result{id, url, {}};
      SendResult(frame, result);
      continue;
    }
    if (url.empty() || url[0] == L'#') continue;
    FetchChannel(frame, id, url);
  }
  ::PostMessageW(frame, WM_USER, frame_code::kEnd, 0);
}

}  // namespace

bool StartFeedFetcher(HWND frame) {
  return ::_beginthread(FeedFetcherThread, 0, frame) != static_cast<uintptr_t>(-1);
}

std::wstring FeedText(std::string_view bytes) {
  if (HasUtf16LeMark(bytes)) {
    const std::u16string units = Utf16LeAfterMark(bytes);
    return std::wstring(units.begin(), units.end());
  }
  const unsigned codePage = FeedCodePage(bytes);
  return codePage != 0 ? ToWide(bytes, codePage) : std::wstring();
}

void SetConnectionProbeForTesting(ConnectionProbe probe) { connectionProbe.store(probe); }
