#pragma once
// The refresh run: a worker thread that downloads every channel in turn, turns each
// document into UTF-16 text by the encoding it declares, and hands each result to the
// main frame ('XML', sent, one per channel), then posts 'END'. It reaches the program
// only through the frame's window handle.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/Records.h"

// Starts one run on a thread of its own (_beginthread) that receives `frame` and a copy of
// `known`, the validators of the feeds the frame shows: those channels are asked whether
// their feed changed, and a 304 is sent as a result marked not modified. False when the
// thread could not be started (then no 'END' will come). Once started, 'END' always comes
// while the frame exists: a channel whose download or conversion fails in any way (an
// exception included) is sent with an empty text. A channel whose server asked with
// Retry-After to wait is skipped until then, as a disabled one is.
bool StartFeedFetcher(HWND frame, KnownFeeds known = {});

// The long parameter of 'END' when the run found the machine offline (0 otherwise).
inline constexpr LPARAM kEndOffline = 1;

// Whether the platform reports an internet connection (InternetGetConnectedState, or the
// test's probe).
bool IsInternetConnected();

// A downloaded document as text, read as DetectFeedEncoding says (up to the first zero
// byte or unit), with the charset of the answer's Content-Type in its place; empty, with a
// trace, for an encoding that cannot be read. A charset naming nothing known is traced
// and ignored.
std::wstring FeedText(std::string_view bytes, std::string_view headerCharset = {});

// The connection check of a run. Tests replace it to run offline; null restores the
// platform's InternetGetConnectedState.
using ConnectionProbe = bool (*)();
void SetConnectionProbeForTesting(ConnectionProbe probe);

// Called on the fetch thread before each download, with the channel's address; a test
// makes it throw to stand for a failure deep inside the download. Null: none.
using FetchFault = void (*)(const std::wstring& url);
void SetFetchFaultForTesting(FetchFault fault);
