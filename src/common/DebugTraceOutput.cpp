// Where trace lines go: the debugger on Windows; on other systems (the native test and
// fuzz builds of the portable core) standard error, when PELLORA_TRACE is set.
#ifdef _WIN32
#include <windows.h>

void DebugTraceWrite(const wchar_t* text) { OutputDebugStringW(text); }
bool DebugTraceDebuggerPresent() { return IsDebuggerPresent() != FALSE; }
#else
#include <cstdio>
#include <cstdlib>

namespace {
const bool toStderr = std::getenv("PELLORA_TRACE") != nullptr;
}
void DebugTraceWrite(const wchar_t* text) {
  if (toStderr) std::fprintf(stderr, "%ls", text);
}
bool DebugTraceDebuggerPresent() { return toStderr; }
#endif
