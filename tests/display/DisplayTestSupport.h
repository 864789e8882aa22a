#pragma once
// Shared pieces of the display window tests: a stand-in frame that records what the
// windows send it, pixel captures of real windows, and the cursor.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "win/Handles.h"
#include "win/Window.h"

namespace test {

// A hidden top-level window that plays the main frame: keeps a copy of every 'VIEW'.
class RecordingFrame : public win::Window {
 public:
  bool Create();
  const std::vector<ViewRequest>& Views() const { return views_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  std::vector<ViewRequest> views_;
};

// A ViewRequest that writes its title into a log when destroyed.
struct LoggedRequest : ViewRequest {
  LoggedRequest(std::wstring title, std::wstring link, std::vector<std::wstring>* log)
      : ViewRequest(std::move(title), std::move(link)), log(log) {}
  ~LoggedRequest() override { log->push_back(title); }
  std::vector<std::wstring>* log;
};

// 32-bit pixels of a picture, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  static uint32_t Rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }
};

// What the window's client area holds now (read from its own device context).
Picture CaptureClient(HWND hwnd);
// What the window draws when asked to erase its background into a DC of ours.
Picture RenderErase(HWND hwnd);

// Held by tests that need the one cursor, the foreground or a screen corner to
// themselves: ctest runs test processes side by side on the same desktop. Waits at most
// 100 s (a test that crashed while holding it leaves it abandoned, which counts as free).
class ScreenLock {
 public:
  ScreenLock();
  ~ScreenLock();
  ScreenLock(const ScreenLock&) = delete;
  ScreenLock& operator=(const ScreenLock&) = delete;
  bool Held() const { return held_; }

 private:
  win::KernelHandle mutex_;
  bool held_ = false;
};

// Moves the cursor and lets the windows hear of it.
void MoveCursor(int x, int y);
// The centre of a window, in screen coordinates.
POINT CenterOf(HWND hwnd);

// The constant alpha of a layered window; -1 when it has none.
int LayeredAlpha(HWND hwnd);

// Text extent in the 9-point font of the given face, as the display windows draw it.
SIZE TextExtent(const std::wstring& text, const std::wstring& face = L"Tahoma");

}  // namespace test
