#include "support/feeds/FeedServerProcess.h"

#include <windows.h>

#include "support/net/Loopback.h"

namespace test {

namespace {

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
  std::string error;
  control_ = StartLifelinedServer(PELLORA_TEST_PYTHON, PELLORA_FEED_SERVER_SCRIPT,
                                  L" --interval " + std::to_wstring(intervalSeconds), 20000, error);
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
