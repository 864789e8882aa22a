// CPU cost of the display windows while they run: the ticker scrolling 100 entries
// (repainted every 40 ms), the same strip painted the way that makes a new memory DC,
// bitmap and font and measures every title on every tick (for comparison), one
// notification popup's whole life (7 ms animation timer) and a pinned popup at rest.
//
// usage: bench_displaybench.exe [ticker|fresh|popup|pinned|all] [seconds]   (default: all 10)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "config/ConfigStore.h"
#include "display/NotifyStack.h"
#include "display/NotifyWnd.h"
#include "display/PointFont.h"
#include "win/Dpi.h"
#include "display/TickerWnd.h"
#include "res/resource.h"
#include "win/Handles.h"
#include "win/Window.h"

namespace {

// A settings store in a profile file of its own in the temporary folder, installed as the
// program's store while it lives, so the benchmark never touches real settings.
class ScratchConfig {
 public:
  ScratchConfig() {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"pellora-bench-" + std::to_wstring(::GetCurrentProcessId()) + L".ini";
    win::FileHandle file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.Get(), bom, 2, &written, nullptr);
    file.Reset();
    store_ = std::make_unique<ConfigStore>(L"pellora-bench", HKEY_CURRENT_USER, path_);
    SetConfigOverride(store_.get());
  }
  ~ScratchConfig() {
    SetConfigOverride(nullptr);
    ::DeleteFileW(path_.c_str());
  }

 private:
  std::wstring path_;
  std::unique_ptr<ConfigStore> store_;
};

// A message loop that sleeps until the next message (or the deadline), as the program's
// own loop does, so that the loop itself costs next to nothing.
template <typename Done>
void PumpUntil(Done done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) win::Window::ProcessMessage(msg);
    const DWORD elapsed = ::GetTickCount() - start;
    if (done() || elapsed >= timeoutMs) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// CPU used by the process and by this (the UI) thread, user + kernel in 100 ns units;
// the UI thread's cycle count where the system keeps one (Wine reports 0); wall clock.
struct CpuSample {
  ULONGLONG processTime = 0;
  ULONGLONG threadTime = 0;
  ULONG64 threadCycles = 0;
  LARGE_INTEGER wall{};

  static ULONGLONG Value(const FILETIME& f) { return (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime; }
  static CpuSample Now() {
    CpuSample s;
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    s.processTime = Value(kernel) + Value(user);
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    s.threadTime = Value(kernel) + Value(user);
    ::QueryThreadCycleTime(::GetCurrentThread(), &s.threadCycles);
    ::QueryPerformanceCounter(&s.wall);
    return s;
  }
};

void Report(const char* what, const CpuSample& a, const CpuSample& b) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  const double seconds = double(b.wall.QuadPart - a.wall.QuadPart) / double(frequency.QuadPart);
  const double processMs = double(b.processTime - a.processTime) / 10000.0;
  const double threadMs = double(b.threadTime - a.threadTime) / 10000.0;
  std::printf("%-32s %6.2f s  process CPU %6.2f ms/s (%5.2f %% of a core)  UI thread %6.2f ms/s", what, seconds,
              processMs / seconds, processMs / seconds / 10.0, threadMs / seconds);
  if (b.threadCycles != a.threadCycles)
    std::printf("  %7.2f Mcycles/s", double(b.threadCycles - a.threadCycles) / 1e6 / seconds);
  std::printf("\n");
  std::fflush(stdout);
}

// 100 feed titles of mixed lengths, Hangul and Latin.
std::vector<std::wstring> Titles() {
  static const wchar_t* const words[] = {L"새 소식", L"업데이트", L"Release", L"notes", L"서울", L"날씨",
                                         L"뉴스", L"pellora", L"ticker", L"feed", L"오늘의", L"기사"};
  std::vector<std::wstring> titles;
  for (int i = 0; i < 100; ++i) {
    std::wstring t = std::to_wstring(i + 1) + L".";
    for (int w = 0; w <= i % 7 + 1; ++w) t += L" " + std::wstring(words[(i * 5 + w * 3) % 12]);
    titles.push_back(t);
  }
  return titles;
}

class OwnerWindow : public win::Window {
 public:
  bool Create() {
    RegisterWindowClass(L"pellora.bench.Owner", 0, nullptr);
    return CreateEx(0, L"pellora.bench.Owner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr);
  }
};

// The strip painted without keeping anything between ticks: a new DC, bitmap and font
// every 40 ms and every drawn title measured again. The same picture as the ticker's.
class FreshPaintTicker : public win::Window {
 public:
  explicit FreshPaintTicker(const std::vector<std::wstring>& titles) : titles_(titles.begin(), titles.end()) {
    current_ = titles_.begin();
  }
  bool Create(HWND owner, int x, int y) {
    RegisterWindowClass(L"pellora.bench.FreshTicker", 0, nullptr);
    return CreateEx(WS_EX_TOPMOST, L"pellora.bench.FreshTicker", nullptr, WS_POPUP, x, y, 200, TickerWnd::kHeight,
                    owner, nullptr);
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_CREATE:
        ::SetTimer(Hwnd(), 0, TickerWnd::kPeriodMs, nullptr);
        return 0;
      case WM_TIMER:
        ++offset_;
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
        return 0;
      case WM_ERASEBKGND:
        return 0;
      case WM_PAINT:
        Paint();
        return 0;
    }
    return Window::OnMessage(msg, wParam, lParam);
  }

 private:
  void Paint() {
    win::PaintScope paint(Hwnd());
    RECT client = win::ClientRect(Hwnd());
    win::MemoryDC dc(::CreateCompatibleDC(paint.Get()));
    win::Bitmap bitmap(::CreateCompatibleBitmap(paint.Get(), client.right, client.bottom));
    win::Font font = display::CreatePointFont(90, L"Tahoma", win::SystemDpi());
    win::SelectScope selectBitmap(dc.Get(), bitmap.Get());
    win::SelectScope selectFont(dc.Get(), font.Get());
    ::SetBkMode(dc.Get(), TRANSPARENT);
    ::Rectangle(dc.Get(), 0, 0, client.right, client.bottom);
    SIZE first{};
    ::GetTextExtentPoint32W(dc.Get(), current_->c_str(), static_cast<int>(current_->size()), &first);
    if (offset_ >= first.cx) {
      offset_ = -TickerWnd::kGap;
      if (++current_ == titles_.end()) current_ = titles_.begin();
    }
    int x = -offset_;
    for (auto it = current_; x < client.right;) {
      ::TextOutW(dc.Get(), x, (client.bottom - first.cy) / 2, it->c_str(), static_cast<int>(it->size()));
      SIZE size{};
      ::GetTextExtentPoint32W(dc.Get(), it->c_str(), static_cast<int>(it->size()), &size);
      x += size.cx + TickerWnd::kGap;
      if (++it == titles_.end()) it = titles_.begin();
    }
    ::BitBlt(paint.Get(), 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
  }

  std::list<std::wstring> titles_;
  std::list<std::wstring>::iterator current_;
  int offset_ = -TickerWnd::kGap;
};

// Cursor well away from the strips, so that they scroll.
void CursorAway() { ::SetCursorPos(20, 600); }

void BenchTicker(HWND owner, DWORD seconds) {
  TickerWnd ticker;
  if (!ticker.Create(owner)) return;
  SendFrameCode(ticker.Hwnd(), frame_code::kMain, reinterpret_cast<LPARAM>(owner));
  for (const auto& t : Titles()) PostFrameCode(ticker.Hwnd(), frame_code::kAdd, reinterpret_cast<LPARAM>(new ViewRequest(t, L"")));
  CursorAway();
  ::ShowWindow(ticker.Hwnd(), SW_SHOWNOACTIVATE);
  PumpFor(1000);
  CpuSample a = CpuSample::Now();
  PumpFor(seconds * 1000);
  CpuSample b = CpuSample::Now();
  Report("ticker, 100 entries", a, b);
}

void BenchFresh(HWND owner, DWORD seconds) {
  FreshPaintTicker fresh(Titles());
  RECT work = win::PrimaryWorkArea();
  if (!fresh.Create(owner, work.right - 200, 80)) return;
  CursorAway();
  ::ShowWindow(fresh.Hwnd(), SW_SHOWNOACTIVATE);
  PumpFor(1000);
  CpuSample a = CpuSample::Now();
  PumpFor(seconds * 1000);
  CpuSample b = CpuSample::Now();
  Report("strip made afresh every tick", a, b);
}

class TimedStack : public NotifyStack {
 public:
  DWORD shownAt = 0, removedAt = 0;
  CpuSample shown, removed;

 protected:
  void OnPopupEvent(CTrayWndItem*, int code) override {
    if (code == kShown) {
      shownAt = ::GetTickCount();
      shown = CpuSample::Now();
    }
    if (code == kRemoved) {
      removedAt = ::GetTickCount();
      removed = CpuSample::Now();
    }
  }
};

class LoggedNotifyWnd : public NotifyWnd {
 public:
  LoggedNotifyWnd(HWND frame, bool* gone)
      : NotifyWnd(frame, L"채널 제목", L"새 글의 제목\n두 번째 줄", L"http://127.0.0.1/", L"분류"), gone_(gone) {}
  ~LoggedNotifyWnd() override { *gone_ = true; }

 private:
  bool* gone_;
};

void BenchPopup(HWND owner) {
  TimedStack stack;
  stack.Configure(false, 150, 60, owner, IDB_CLOSE);
  CursorAway();
  bool gone = false;
  CpuSample start = CpuSample::Now();
  stack.ShowPopup(new LoggedNotifyWnd(owner, &gone));
  PumpUntil([&] { return gone; }, 15000);
  CpuSample end = CpuSample::Now();
  if (!gone || !stack.shownAt) {
    std::printf("popup did not run its course\n");
    return;
  }
  Report("popup, whole life", start, end);
  Report("  fading in", start, stack.shown);
  Report("  shown (5 s) and fading out", stack.shown, end);
}

// A pinned popup (a keyword match) waits on screen until clicked, possibly all day.
void BenchPinned(HWND owner, DWORD seconds) {
  TimedStack stack;
  stack.Configure(false, 150, 60, owner, IDB_CLOSE);
  CursorAway();
  bool gone = false;
  auto* popup = new LoggedNotifyWnd(owner, &gone);
  popup->SetDisplayTime(0);
  stack.ShowPopup(popup);
  PumpUntil([&] { return stack.shownAt != 0; }, 5000);
  CpuSample a = CpuSample::Now();
  PumpFor(seconds * 1000);
  Report("pinned popup, resting", a, CpuSample::Now());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring which = argc > 1 ? argv[1] : L"all";
  const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 10;
  ScratchConfig config;
  OwnerWindow owner;
  if (!owner.Create()) return 1;
  if (which == L"ticker" || which == L"all") BenchTicker(owner.Hwnd(), seconds);
  if (which == L"fresh" || which == L"all") BenchFresh(owner.Hwnd(), seconds);
  if (which == L"popup" || which == L"all") BenchPopup(owner.Hwnd());
  if (which == L"pinned" || which == L"all") BenchPinned(owner.Hwnd(), seconds);
  CpuSample idle0 = CpuSample::Now();
  PumpFor(2000);
  Report("idle message loop (reference)", idle0, CpuSample::Now());
  return 0;
}
