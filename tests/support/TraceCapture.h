#pragma once
// Captures every DebugTrace line while it lives (one capture at a time).
#include <mutex>
#include <string>
#include <vector>

#include "common/DebugTrace.h"

class TraceCapture {
 public:
  TraceCapture() { SetDebugTraceSink(&TraceCapture::Receive, this); }
  ~TraceCapture() { SetDebugTraceSink(nullptr, nullptr); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::wstring> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  bool Contains(const std::wstring& line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : lines_)
      if (l == line) return true;
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  static void Receive(const wchar_t* text, void* self) {
    auto* capture = static_cast<TraceCapture*>(self);
    std::lock_guard<std::mutex> lock(capture->mutex_);
    capture->lines_.emplace_back(text);
  }
  mutable std::mutex mutex_;
  std::vector<std::wstring> lines_;
};
