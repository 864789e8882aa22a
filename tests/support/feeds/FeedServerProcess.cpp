#include "support/feeds/FeedServerProcess.h"

#include <windows.h>

namespace test {

namespace {

bool WaitReadable(SOCKET s, unsigned timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &wait) > 0;
}

SOCKET Connect(uint16_t port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

}  // namespace

FeedServerProcess::FeedServerProcess(double intervalSeconds) {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listener_, 1);
  int length = sizeof(address);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);

  // Wine starts a Linux program named by its Unix path; the arguments reach it as written.
  std::wstring command = L"\"" PELLORA_TEST_PYTHON L"\" \"" PELLORA_FEED_SERVER_SCRIPT L"\" --control-port " +
                         std::to_wstring(ntohs(address.sin_port)) + L" --interval " +
                         std::to_wstring(intervalSeconds);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return;
  if (process.hProcess) ::CloseHandle(process.hProcess);
  if (process.hThread) ::CloseHandle(process.hThread);
  if (!WaitReadable(listener_, 20000)) return;
  control_ = ::accept(listener_, nullptr, nullptr);
  std::string line;
  while (control_ != INVALID_SOCKET && line.find('\n') == std::string::npos && WaitReadable(control_, 20000)) {
    char chunk[64];
    int n = ::recv(control_, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    line.append(chunk, n);
  }
  if (line.rfind("PORT ", 0) == 0) port_ = static_cast<uint16_t>(std::stoi(line.substr(5)));
}

FeedServerProcess::~FeedServerProcess() {
  if (control_ != INVALID_SOCKET) ::closesocket(control_);
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
}

std::wstring FeedServerProcess::Url(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/" + path;
}

std::string FeedServerProcess::Control(const std::string& request) const {
  SOCKET s = Connect(port_);
  if (s == INVALID_SOCKET) return {};
  std::string get = "GET /control/" + request + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  ::send(s, get.data(), static_cast<int>(get.size()), 0);
  std::string answer;
  while (WaitReadable(s, 10000)) {
    char chunk[4096];
    int n = ::recv(s, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    answer.append(chunk, n);
  }
  ::closesocket(s);
  size_t body = answer.find("\r\n\r\n");
  return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

}  // namespace test
