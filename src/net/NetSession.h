#pragma once
// The internet sessions of the program: one per request or check, always with the same
// agent, the system's proxy settings and explicit time-outs.
#include <windows.h>

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

// The time-out the next sessions get: `ms`, or kNetworkTimeoutMs again when `ms` is 0.
// For tests, which cannot wait 30 seconds for a silent server.
void SetNetworkTimeoutForTesting(DWORD ms);

// The network worker threads (fetch runs, update checks). A thread cut off inside
// WinINet when the process ends can leave a lock held that WinINet's own clean-up then
// waits on for good, so the program and the tests let their workers finish first.
//
// Runs `body(frame)` on a thread of its own (_beginthread) and counts it as live until
// `body` has returned and released everything. False when the thread could not start.
bool StartNetWorker(void (*body)(HWND frame), HWND frame);

// The workers started and not yet finished.
int RunningNetWorkers();

// Waits up to `timeoutMs` for every worker to finish; true when none is left. Never call
// it from a thread whose windows a worker sends to while it waits without pumping.
bool WaitForNetWorkers(DWORD timeoutMs);
