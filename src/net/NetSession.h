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
