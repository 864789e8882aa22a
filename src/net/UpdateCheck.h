#pragma once
// The update check: a short-lived worker thread that asks the update server for the
// latest published version and sends the answer text to the main frame ('VER', sent).
#include <windows.h>

// The update server when setting "UPDATE_SERVER" in "CONFIG" is empty. The setting may
// name another host, optionally followed by ":" and a port (80 otherwise).
inline constexpr wchar_t kDefaultUpdateServer[] = L"update.pellora.org";

// The most answer bytes the check reads, whatever the server says is available.
inline constexpr DWORD kMaxUpdateAnswer = 64 * 1024;

// Starts one check on a thread of its own (_beginthread) that receives only `frame`.
// False when the thread could not be started.
bool StartUpdateCheck(HWND frame);
