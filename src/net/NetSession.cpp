#include "net/NetSession.h"

#include <atomic>

namespace {
std::atomic<DWORD> timeoutOverride{0};
}  // namespace

win::InternetHandle OpenInternetSession() {
  win::InternetHandle session(::InternetOpenW(L"pellora", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (session) SetNetworkTimeouts(session.Get());
  return session;
}

void SetNetworkTimeouts(HINTERNET handle) {
  DWORD timeout = timeoutOverride.load();
  if (timeout == 0) timeout = kNetworkTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
}

void SetNetworkTimeoutForTesting(DWORD ms) { timeoutOverride.store(ms); }
