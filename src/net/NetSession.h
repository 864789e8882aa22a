#pragma once
// The internet sessions of the program: one per request or check, always with the same
// agent, the system's proxy settings and explicit time-outs.
#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

#include "win/Handles.h"

// Connect, send and receive time-out of every session. Without it a server that accepts
// the connection and then never answers would hold a refresh for good.
inline constexpr DWORD kNetworkTimeoutMs = 30000;

// A new session: agent "pellora", pre-configured access (system proxy), the time-outs
// set. Null on failure.
win::InternetHandle OpenInternetSession();

// Sets the time-outs on a connection or request handle too: Wine's connection handles
// take only the connect time-out over from their session.
void SetNetworkTimeouts(HINTERNET handle);

// On an HTTPS request: leaves revocation alone unchecked. An unreachable revocation server
// would fail every HTTPS request (and Wine cannot check it at all); chain, name and dates
// stay checked.
void SkipRevocationCheck(HINTERNET request);

// The time-out the next sessions get: `ms`, or kNetworkTimeoutMs again when `ms` is 0.
// For tests, which cannot wait 30 seconds for a silent server.
void SetNetworkTimeoutForTesting(DWORD ms);

// The most one download may take, from the connection to the body's last byte. The
// time-outs above bound each wait, but a server that trickles a byte every few seconds
// satisfies every one of them for ever.
inline constexpr DWORD kDownloadDeadlineMs = 60000;

// The overall bound of one download. From its construction a timer runs; when it runs
// out, the watched handles are closed from the timer's thread, which is WinINet's way of
// cancelling a blocked synchronous call: the worker's call then fails at once. Stop (or
// the destructor) must run before the watched handles' owners close them: a handle the
// deadline closed is then taken from its owner, so that it is not closed twice.
class NetDeadline {
 public:
  NetDeadline();
  ~NetDeadline() { Stop(); }
  NetDeadline(const NetDeadline&) = delete;
  NetDeadline& operator=(const NetDeadline&) = delete;

  // Closes `handle` when the time runs out (at once if it already has); `handle` must
  // outlive this object or its Stop.
  void Watch(win::InternetHandle& handle);
  // Ends the watch; waits for a close in progress. Idempotent.
  void Stop();
  bool Expired() const;

 private:
  static void CALLBACK OnTimer(PTP_CALLBACK_INSTANCE, void* self, PTP_TIMER);
  void Expire();

  mutable std::mutex lock_;
  std::vector<win::InternetHandle*> watched_;  // closed in reverse order: request first
  bool expired_ = false;
  PTP_TIMER timer_ = nullptr;
};

// Waits until some of a body has arrived and returns how much to read: what has arrived,
// at most `most`. A read for more would wait for the rest, which under Wine even closing
// the handle does not cut short, so a trickle would outlast the deadline.
DWORD ArrivedBytes(HINTERNET request, DWORD most);

// The deadline of the next downloads: `ms`, or kDownloadDeadlineMs again when `ms` is 0.
void SetDownloadDeadlineForTesting(DWORD ms);
DWORD DownloadDeadlineMs();

// How much longer than its deadline a download's thread is waited for before it is given up.
inline constexpr DWORD kDownloadGraceMs = 2000;

// Runs `body` on a thread of its own and waits at most `ms` for it: Ended in time, GivenUp,
// or NotStarted (no thread could be made; `body` did not run). Closing a request's handles cancels a blocked call on Windows, but Wine's WinINet
// reads a response head to its end whatever is closed meanwhile; so a download whose head
// trickles in is given up here instead: its thread is left to end on its own, `body` must
// own everything it touches, and the thread counts as a network worker until it ends.
enum class Bounded { Ended, GivenUp, NotStarted };
Bounded RunWithin(std::function<void()> body, DWORD ms);

// The network worker threads (fetch runs, update checks). A thread cut off inside
// WinINet when the process ends can leave a lock held that WinINet's own clean-up then
// waits on for good, so the program and the tests let their workers finish first.
//
// Runs `body(frame)` on a thread of its own (_beginthread) and counts it as live until
// `body` has returned and released everything. False when the thread could not start.
bool StartNetWorker(void (*body)(HWND frame), HWND frame);
// The same for a body that carries what it needs.
bool StartNetWorker(std::function<void()> body);

// The workers started and not yet finished.
int RunningNetWorkers();

// Waits up to `timeoutMs` for every worker to finish; true when none is left. Never call
// it from a thread whose windows a worker sends to while it waits without pumping.
bool WaitForNetWorkers(DWORD timeoutMs);
