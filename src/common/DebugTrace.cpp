#include "common/DebugTrace.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

// Platform part: writes one formatted line to the debugger, and tells whether one listens.
void DebugTraceWrite(const wchar_t* text);
bool DebugTraceDebuggerPresent();

namespace {
std::mutex sinkMutex;
DebugTraceSink sinkFunction = nullptr;
void* sinkContext = nullptr;
std::atomic<bool> sinkInstalled{false};

std::wstring FormatV(const wchar_t* format, va_list args) {
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
    // vswprintf gives no size hint on overflow: grow until it fits (bounded by memory).
    if (buffer.size() > (1u << 26)) return std::wstring(format);
    buffer.resize(buffer.size() * 4);
  }
}
}  // namespace

void DebugTrace(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatV(format, args);
  va_end(args);
  DebugTraceWrite(text.c_str());
  if (sinkInstalled.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    if (sinkFunction) sinkFunction(text.c_str(), sinkContext);
  }
}

bool DebugTraceActive() {
  return sinkInstalled.load(std::memory_order_acquire) || DebugTraceDebuggerPresent();
}

void SetDebugTraceSink(DebugTraceSink sink, void* context) {
  std::lock_guard<std::mutex> lock(sinkMutex);
  sinkFunction = sink;
  sinkContext = context;
  sinkInstalled.store(sink != nullptr, std::memory_order_release);
}
