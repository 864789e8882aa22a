#include "support/net/PythonTestServer.h"

#include <windows.h>

#include "support/net/TestHttpServer.h"

namespace test {

namespace {

constexpr unsigned kStartTimeoutMs = 20000;

bool WaitReadable(SOCKET s, unsigned timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &wait) > 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The flat object of hexadecimal strings the server writes: {"key": "hex", ...}.
std::map<std::string, std::string> DecodeEvent(const std::string& line) {
  std::map<std::string, std::string> fields;
  size_t pos = 0;
  for (;;) {
    const size_t keyStart = line.find('"', pos);
    if (keyStart == std::string::npos) break;
    const size_t keyEnd = line.find('"', keyStart + 1);
    const size_t valueStart = line.find('"', keyEnd + 1);
    const size_t valueEnd = line.find('"', valueStart + 1);
    if (keyEnd == std::string::npos || valueStart == std::string::npos || valueEnd == std::string::npos) break;
    std::string value;
    for (size_t i = valueStart + 1; i + 1 < valueEnd; i += 2)
      value.push_back(static_cast<char>(HexValue(line[i]) * 16 + HexValue(line[i + 1])));
    fields[line.substr(keyStart + 1, keyEnd - keyStart - 1)] = value;
    pos = valueEnd + 1;
  }
  return fields;
}

}  // namespace

PythonTestServer::PythonTestServer(bool tls) {
  EnsureWinsock();
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listener_, 1);
  int length = sizeof(address);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);

  // Wine starts a Linux program named by its Unix path; the arguments reach it as written.
  std::wstring command = L"\"" PELLORA_TEST_PYTHON L"\" \"" PELLORA_TEST_SERVER_SCRIPT L"\" --control-port " +
                         std::to_wstring(ntohs(address.sin_port)) + (tls ? L" --tls" : L"");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    error_ = "could not start the server: error " + std::to_string(::GetLastError());
    return;
  }
  if (process.hProcess) ::CloseHandle(process.hProcess);
  if (process.hThread) ::CloseHandle(process.hThread);

  if (!WaitReadable(listener_, kStartTimeoutMs)) {
    error_ = "the server did not connect back";
    return;
  }
  control_ = ::accept(listener_, nullptr, nullptr);
  std::string line;
  if (control_ == INVALID_SOCKET || !ReadLine(line, kStartTimeoutMs) || line.rfind("PORT ", 0) != 0) {
    error_ = "the server did not report its port";
    return;
  }
  port_ = static_cast<uint16_t>(std::stoi(line.substr(5)));
}

PythonTestServer::~PythonTestServer() {
  if (control_ != INVALID_SOCKET) ::closesocket(control_);
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
}

bool PythonTestServer::ReadLine(std::string& line, unsigned timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (size_t end = pending_.find('\n'); end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs || !WaitReadable(control_, timeoutMs - elapsed)) return false;
    char chunk[4096];
    int n = ::recv(control_, chunk, sizeof(chunk), 0);
    if (n <= 0) return false;
    pending_.append(chunk, static_cast<size_t>(n));
  }
}

std::map<std::string, std::string> PythonTestServer::NextEvent(unsigned timeoutMs) {
  std::string line;
  if (control_ == INVALID_SOCKET || !ReadLine(line, timeoutMs)) return {};
  return DecodeEvent(line);
}

}  // namespace test
