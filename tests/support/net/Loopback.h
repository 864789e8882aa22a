#pragma once
// Sockets on 127.0.0.1 for the tests' servers, and the start of a Python server as a
// native Linux process from inside the Wine test process. Header-only: suites that do not
// link the network test support use it too.
//
// The Python servers connect back to a port of ours (--control-port), report
// "PORT <port>" there and end as soon as that connection closes, so a test (which has no
// handle on a Linux process) cannot leave one running.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace test {

// True when `s` has something to read (or a connection to accept) within the time-out.
inline bool WaitReadable(SOCKET s, unsigned timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &wait) > 0;
}

// A listening socket on 127.0.0.1 at a port the system picks, written to `port`.
inline SOCKET ListenOnLoopback(int backlog, uint16_t& port) {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
  SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::listen(listener, backlog);
  int length = sizeof(address);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

// Starts `"python" "script" --control-port <ours> <arguments>` and returns the connection
// the server made back (its lifeline), or INVALID_SOCKET with `error` set.
inline SOCKET StartLifelinedServer(const std::wstring& python, const std::wstring& script,
                                   const std::wstring& arguments, unsigned timeoutMs, std::string& error) {
  uint16_t controlPort = 0;
  SOCKET listener = ListenOnLoopback(1, controlPort);
  // Wine starts a Linux program named by its Unix path; the arguments reach it as written.
  std::wstring command =
      L"\"" + python + L"\" \"" + script + L"\" --control-port " + std::to_wstring(controlPort) + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  SOCKET control = INVALID_SOCKET;
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    error = "could not start the server: error " + std::to_string(::GetLastError());
  } else {
    if (process.hProcess) ::CloseHandle(process.hProcess);
    if (process.hThread) ::CloseHandle(process.hThread);
    if (WaitReadable(listener, timeoutMs)) control = ::accept(listener, nullptr, nullptr);
    if (control == INVALID_SOCKET) error = "the server did not connect back";
  }
  ::closesocket(listener);
  return control;
}

}  // namespace test
