#include "support/net/PythonTestServer.h"

#include <windows.h>

#include "support/net/Loopback.h"

namespace test {

namespace {

constexpr unsigned kStartTimeoutMs = 20000;

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

PythonTestServer::PythonTestServer(bool tls, bool testCa) {
  control_ = StartLifelinedServer(PELLORA_TEST_PYTHON, PELLORA_TEST_SERVER_SCRIPT,
                                  tls ? (testCa ? L" --tls --test-ca" : L" --tls") : L"",
                                  kStartTimeoutMs, error_);
  if (control_ == INVALID_SOCKET) return;
  std::string line;
  if (!ReadLine(line, kStartTimeoutMs) || line.rfind("PORT ", 0) != 0) {
    error_ = "the server did not report its port";
    return;
  }
  port_ = static_cast<uint16_t>(std::stoi(line.substr(5)));
}

PythonTestServer::~PythonTestServer() {
  if (control_ != INVALID_SOCKET) ::closesocket(control_);
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
