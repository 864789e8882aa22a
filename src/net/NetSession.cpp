#include "net/NetSession.h"

#include <process.h>

#include <atomic>
#include <memory>

namespace {

std::atomic<DWORD> timeoutOverride{0};
std::atomic<DWORD> deadlineOverride{0};
std::atomic<int> runningWorkers{0};

struct WorkerStart {
  std::function<void()> body;
};

void __cdecl WorkerThread(void* argument) {
  {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    start->body();
  }  // what the body held is released before the worker counts as ended
  runningWorkers.fetch_sub(1);
}

}  // namespace

win::InternetHandle OpenInternetSession() {
  win::InternetHandle session(::InternetOpenW(L"pellora", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (session) SetNetworkTimeouts(session.Get());
  return session;
}

void SkipRevocationCheck(HINTERNET request) {
  DWORD security = 0;
  DWORD size = sizeof(security);
  if (::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
    security |= SECURITY_FLAG_IGNORE_REVOCATION;
    ::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof(security));
  }
}

void SetNetworkTimeouts(HINTERNET handle) {
  DWORD timeout = timeoutOverride.load();
  if (timeout == 0) timeout = kNetworkTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
}

void SetNetworkTimeoutForTesting(DWORD ms) { timeoutOverride.store(ms); }

DWORD DownloadDeadlineMs() {
  const DWORD ms = deadlineOverride.load();
  return ms != 0 ? ms : kDownloadDeadlineMs;
}

NetDeadline::NetDeadline() {
  // A thread-pool timer rather than the default timer queue: Wine keeps the queue's thread
  // (and its megabyte of stack) for the rest of the process, the pool lets its thread go.
  timer_ = ::CreateThreadpoolTimer(&NetDeadline::OnTimer, this, nullptr);
  if (!timer_) return;  // without a timer the per-operation time-outs still bound each wait
  ULARGE_INTEGER due;
  due.QuadPart = static_cast<ULONGLONG>(-10000LL * DownloadDeadlineMs());  // relative, 100 ns units
  FILETIME when{due.LowPart, due.HighPart};
  ::SetThreadpoolTimer(timer_, &when, 0, 0);
}

void CALLBACK NetDeadline::OnTimer(PTP_CALLBACK_INSTANCE, void* self, PTP_TIMER) {
  static_cast<NetDeadline*>(self)->Expire();
}

void NetDeadline::Expire() {
  std::lock_guard<std::mutex> guard(lock_);
  expired_ = true;
  for (auto it = watched_.rbegin(); it != watched_.rend(); ++it)
    if (**it) ::InternetCloseHandle((*it)->Get());
}

void NetDeadline::Watch(win::InternetHandle& handle) {
  std::lock_guard<std::mutex> guard(lock_);
  watched_.push_back(&handle);
  if (expired_ && handle) ::InternetCloseHandle(handle.Get());
}

void NetDeadline::Stop() {
  if (timer_) {
    // No new expiry, then wait for a running one to finish before the timer goes.
    ::SetThreadpoolTimer(timer_, nullptr, 0, 0);
    ::WaitForThreadpoolTimerCallbacks(timer_, FALSE);
    ::CloseThreadpoolTimer(timer_);
    timer_ = nullptr;
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (expired_)
    for (win::InternetHandle* handle : watched_) handle->Release();  // already closed
  watched_.clear();
}

bool NetDeadline::Expired() const {
  std::lock_guard<std::mutex> guard(lock_);
  return expired_;
}

DWORD ArrivedBytes(HINTERNET request, DWORD most) {
  DWORD available = 0;
  if (::InternetQueryDataAvailable(request, &available, 0, 0) && available > 0 && available < most) return available;
  return most;
}

void SetDownloadDeadlineForTesting(DWORD ms) { deadlineOverride.store(ms); }

namespace {

struct BoundedJob {
  std::function<void()> body;
  win::KernelHandle done;
};

DWORD WINAPI BoundedThread(void* argument) {
  std::unique_ptr<std::shared_ptr<BoundedJob>> job(static_cast<std::shared_ptr<BoundedJob>*>(argument));
  try {
    (*job)->body();
  } catch (...) {
    // The caller sees a job that ended with nothing to show; the thread ends normally.
  }
  ::SetEvent((*job)->done.Get());
  job.reset();  // the last owner, if the caller gave up, frees what the body held
  runningWorkers.fetch_sub(1);
  return 0;
}

}  // namespace

Bounded RunWithin(std::function<void()> body, DWORD ms) {
  auto job = std::make_shared<BoundedJob>();
  job->body = std::move(body);
  job->done.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!job->done) return Bounded::NotStarted;
  // The thread's own reference, handed over through the thread's argument.
  auto threadsCopy = std::make_unique<std::shared_ptr<BoundedJob>>(job);
  runningWorkers.fetch_add(1);
  win::KernelHandle thread(::CreateThread(nullptr, 0, &BoundedThread, threadsCopy.get(), 0, nullptr));
  if (!thread) {
    runningWorkers.fetch_sub(1);
    return Bounded::NotStarted;
  }
  threadsCopy.release();  // the thread's now
  return ::WaitForSingleObject(job->done.Get(), ms) == WAIT_OBJECT_0 ? Bounded::Ended : Bounded::GivenUp;
}

bool StartNetWorker(void (*body)(HWND), HWND frame) {
  return StartNetWorker([body, frame] { body(frame); });
}

bool StartNetWorker(std::function<void()> body) {
  auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(body)});
  runningWorkers.fetch_add(1);
  if (::_beginthread(WorkerThread, 0, start.get()) == static_cast<uintptr_t>(-1)) {
    runningWorkers.fetch_sub(1);
    return false;
  }
  start.release();  // the thread's now
  return true;
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
