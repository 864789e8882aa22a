#include "net/NetSession.h"

#include <process.h>

#include <atomic>

namespace {

std::atomic<DWORD> timeoutOverride{0};
std::atomic<int> runningWorkers{0};

struct WorkerStart {
  void (*body)(HWND);
  HWND frame;
};

void __cdecl WorkerThread(void* argument) {
  const WorkerStart start = *static_cast<WorkerStart*>(argument);
  delete static_cast<WorkerStart*>(argument);
  start.body(start.frame);
  runningWorkers.fetch_sub(1);
}

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

bool StartNetWorker(void (*body)(HWND), HWND frame) {
  auto* start = new WorkerStart{body, frame};
  runningWorkers.fetch_add(1);
  if (::_beginthread(WorkerThread, 0, start) != static_cast<uintptr_t>(-1)) return true;
  runningWorkers.fetch_sub(1);
  delete start;
  return false;
}

int RunningNetWorkers() { return runningWorkers.load(); }

bool WaitForNetWorkers(DWORD timeoutMs) {
  const ULONGLONG until = ::GetTickCount64() + timeoutMs;
  while (runningWorkers.load() > 0) {
    if (::GetTickCount64() >= until) return false;
    ::Sleep(10);
  }
  return true;
}
