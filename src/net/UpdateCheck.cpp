#include "net/UpdateCheck.h"

#include <process.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/FrameCode.h"
#include "common/TextConv.h"
#include "common/TextUtil.h"
#include "config/ConfigStore.h"
#include "net/HttpUrl.h"
#include "net/NetSession.h"
#include "win/Handles.h"

namespace {

constexpr DWORD kUnknownAnswerBuffer = 1024;

// The answer of a 200 reply, cut at the buffer size: bytes available at once + 1, or
// 1,024 when the platform reports nothing. False when reading failed.
bool ReadAnswer(HINTERNET request, std::string& answer) {
  DWORD available = 0;
  if (!::InternetQueryDataAvailable(request, &available, 0, 0)) available = 0;
  const DWORD size = available == 0 ? kUnknownAnswerBuffer : std::min(available, kMaxUpdateAnswer) + 1;
  std::vector<char> buffer(size, '\0');
  DWORD position = 0;
  while (position < size - 1) {
    DWORD read = 0;
    if (!::InternetReadFile(request, buffer.data() + position, size - position - 1, &read)) return false;
    if (read == 0) break;
    position += read;
  }
  answer.assign(buffer.data(), position);
  return true;
}

void __cdecl UpdateCheckThread(void* argument) {
  const HWND frame = static_cast<HWND>(argument);
  std::wstring server = TrimSet(Config().GetString(section::kConfig, L"UPDATE_SERVER", L""), L" \t");
  if (server.empty()) server = kDefaultUpdateServer;
  const HttpUrl where = HttpUrl::Split(server);
  const int port = where.PortNumber();
  if (where.host.empty() || port < 0) return;

  win::InternetHandle session = OpenInternetSession();
  if (!session) return;
  win::InternetHandle connection(::InternetConnectW(session.Get(), where.host.c_str(), static_cast<INTERNET_PORT>(port),
                                                    nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!connection) return;
  SetNetworkTimeouts(connection.Get());
  const std::wstring object = L"/Ver/?ver=" + GetProgramVersion() + L"&name=pellora";
  win::InternetHandle request(::HttpOpenRequestW(connection.Get(), L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                                 INTERNET_FLAG_EXISTING_CONNECT, 1));
  if (!request) return;
  SetNetworkTimeouts(request.Get());
  if (!::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0)) return;

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status != 200)
    return;
  std::string answer;
  if (!ReadAnswer(request.Get(), answer)) return;
  const std::wstring text = ToWide(answer, CP_ACP);
  ::SendMessageW(frame, WM_USER, frame_code::kVer, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

bool StartUpdateCheck(HWND frame) {
  return ::_beginthread(UpdateCheckThread, 0, frame) != static_cast<uintptr_t>(-1);
}
