#pragma once
// The refresh run: a worker thread that downloads every channel in turn, turns each
// document into UTF-16 text by the encoding it declares, and hands each result to the
// main frame ('XML', sent, one per channel), then posts 'END'. It reaches the program
// only through the frame's window handle.
#include <windows.h>

#include <string>
#include <string_view>

// Starts one run on a thread of its own (_beginthread) that receives only `frame`.
// False when the thread could not be started (then no 'END' will come). Once started,
// 'END' always comes while the frame exists: a channel whose download or conversion
// fails in any way (an exception included) is sent with an empty text.
bool StartFeedFetcher(HWND frame);

// A downloaded document as text, read as DetectFeedEncoding says (up to the first zero
// byte or unit); empty, with a trace, for an encoding that cannot be read.
std::wstring FeedText(std::string_view bytes);

// The connection check of a run. Tests replace it to run offline; null restores the
// platform's InternetGetConnectedState.
using ConnectionProbe = bool (*)();
void SetConnectionProbeForTesting(ConnectionProbe probe);

// Called on the fetch thread before each download, with the channel's address; a test
// makes it throw to stand for a failure deep inside the download. Null: none.
using FetchFault = void (*)(const std::wstring& url);
void SetFetchFaultForTesting(FetchFault fault);
