#include "net/UpdateCheck.h"

#include <wininet.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/DebugTrace.h"
#include "common/FrameCode.h"
#include "common/TextConv.h"
#include "common/TextUtil.h"
#include "config/ConfigStore.h"
#include "config/Settings.h"
#include "net/HttpUrl.h"
#include "net/NetSession.h"
#include "win/Handles.h"

namespace {

constexpr DWORD kUnknownAnswerBuffer = 1024;

// The answer of a 200 reply, cut at the buffer size: bytes available at once + 1, or
// 1,024 when the platform reports nothing. False when reading failed.
bool ReadAnswer(HINTERNET request, std::string& answer, const NetDeadline& deadline) {
  DWORD available = 0;
  if (!::InternetQueryDataAvailable(request, &available, 0, 0)) available = 0;
  const DWORD size = available == 0 ? kUnknownAnswerBuffer : std::min(available, kMaxUpdateAnswer) + 1;
  std::vector<char> buffer(size, '\0');
  DWORD position = 0;
  while (position < size - 1) {
    if (deadline.Expired()) return false;  // where closing does not cancel the read
    DWORD read = 0;
    if (!::InternetReadFile(request, buffer.data() + position, ArrivedBytes(request, size - position - 1), &read))
      return false;
    if (read == 0) break;
    position += read;
  }
  answer.assign(buffer.data(), position);
  return true;
}

// The check's answer; none after any failure. The handles are declared before the
// deadline, which must stop before they close.
std::optional<std::wstring> AskForVersion(const HttpUrl& where, int port) {
  win::InternetHandle session = OpenInternetSession();
  if (!session) return std::nullopt;
  win::InternetHandle connection;
  win::InternetHandle request;
  NetDeadline deadline;
  connection.Reset(::InternetConnectW(session.Get(), where.host.c_str(), static_cast<INTERNET_PORT>(port), nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!connection) return std::nullopt;
  deadline.Watch(connection);
  SetNetworkTimeouts(connection.Get());
  const std::wstring object = L"/Ver/?ver=" + GetProgramVersion() + L"&name=pellora";
  // "https://host" is asked over TLS with the certificate checked; any other form in plain HTTP.
  const DWORD flags = INTERNET_FLAG_EXISTING_CONNECT | (where.isHttps ? INTERNET_FLAG_SECURE : 0);
  request.Reset(::HttpOpenRequestW(connection.Get(), L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 1));
  if (!request) return std::nullopt;
  deadline.Watch(request);
  SetNetworkTimeouts(request.Get());
  if (where.isHttps) SkipRevocationCheck(request.Get());
  if (!::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0)) return std::nullopt;

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status != 200)
    return std::nullopt;
  std::string answer;
  if (!ReadAnswer(request.Get(), answer, deadline)) return std::nullopt;
  deadline.Stop();
  if (deadline.Expired()) return std::nullopt;  // an answer cut off by the deadline is no answer
  return ToWide(answer, CP_ACP);
}

void UpdateCheckRun(HWND frame) {
  try {
    std::wstring server = TrimSet(setting::Get(setting::kUpdateServer), L" \t");
    if (server.empty()) server = kDefaultUpdateServer;
    const HttpUrl where = HttpUrl::Split(server);
    const int port = where.PortNumber();
    if (where.host.empty() || port < 0) return;
    // On a thread of its own, given up after the deadline where closing does not cancel it.
    auto answer = std::make_shared<std::optional<std::wstring>>();
    const auto ask = [answer, where, port] { *answer = AskForVersion(where, port); };
    const Bounded run = RunWithin(ask, DownloadDeadlineMs() + kDownloadGraceMs);
    if (run == Bounded::NotStarted) ask();  // no thread to spare: here, bounded by the deadline alone
    if (run == Bounded::GivenUp) {
      DebugTrace(L"update check given up\n");
      return;
    }
    if (!*answer) return;
    SendFrameCode(frame, frame_code::kVer, (*answer)->c_str());
  } catch (...) {
    // No answer is what a failed check means; the worker must not take the program down.
    DebugTrace(L"update check failed\n");
  }
}

}  // namespace

bool StartUpdateCheck(HWND frame) {
  return StartNetWorker(UpdateCheckRun, frame);
}
