#include "DisplayTestSupport.h"

#include <optional>

#include "display/PointFont.h"
#include "win/Dpi.h"
#include "support/win/WinTest.h"

namespace test {

bool RecordingFrame::Create() {
  static const wchar_t kClass[] = L"pellora.test.RecordingFrame";
  RegisterWindowClass(kClass, 0, ::LoadCursorW(nullptr, IDC_ARROW));
  return CreateEx(0, kClass, L"frame", WS_OVERLAPPEDWINDOW, 10, 600, 200, 150, nullptr, nullptr);
}

LRESULT RecordingFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) {
    if (static_cast<FrameCode>(wParam) == frame_code::kView && lParam)
      views_.push_back(*reinterpret_cast<const ViewRequest*>(lParam));
    return 0;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

namespace {
// A top-down 32-bit DIB section selected into a memory DC.
struct Canvas {
  Canvas(int width, int height) : width(width), height(height) {
    win::WindowDC screen(nullptr);
    dc.Reset(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap.Reset(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    select.emplace(dc.Get(), bitmap.Get());
  }
  Picture Take() const {
    ::GdiFlush();
    Picture p;
    p.width = width;
    p.height = height;
    const auto* src = static_cast<const uint32_t*>(bits);
    p.pixels.assign(src, src + static_cast<size_t>(width) * height);
    for (auto& px : p.pixels) px &= 0xFFFFFF;
    return p;
  }
  int width, height;
  void* bits = nullptr;
  win::MemoryDC dc;
  win::Bitmap bitmap;
  std::optional<win::SelectScope> select;
};
}  // namespace

Picture CaptureClient(HWND hwnd) {
  RECT client = win::ClientRect(hwnd);
  Canvas canvas(client.right, client.bottom);
  win::WindowDC source(hwnd);
  // A window's own DC may be busy in another thread's copy for a moment (the ticker's).
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::BitBlt(canvas.dc.Get(), 0, 0, client.right, client.bottom, source.Get(), 0, 0, SRCCOPY)) break;
    ::Sleep(1);
  }
  return canvas.Take();
}

Picture RenderErase(HWND hwnd) {
  RECT client = win::ClientRect(hwnd);
  Canvas canvas(client.right, client.bottom);
  ::SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc.Get()), 0);
  return canvas.Take();
}

ScreenLock::ScreenLock() : mutex_(::CreateMutexW(nullptr, FALSE, L"pellora.test.screen")) {
  if (!mutex_) return;
  const DWORD result = ::WaitForSingleObject(mutex_.Get(), 100000);
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

ScreenLock::~ScreenLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
}

void MoveCursor(int x, int y) {
  // Under Wine a pointer event of an earlier move can arrive late and put the cursor
  // back; the move counts once the cursor has stayed where it was put.
  const ULONGLONG until = ::GetTickCount64() + 3000;
  int stable = 0;
  while (stable < 2 && ::GetTickCount64() < until) {
    POINT now{};
    ::GetCursorPos(&now);
    if (now.x == x && now.y == y) {
      ++stable;
    } else {
      stable = 0;
      ::SetCursorPos(x, y);
    }
    PumpFor(40);
  }
}

POINT CenterOf(HWND hwnd) {
  RECT r = win::WindowRect(hwnd);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int LayeredAlpha(HWND hwnd) {
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
  return alpha;
}

SIZE TextExtent(const std::wstring& text, const std::wstring& face) {
  win::Font font = display::CreatePointFont(90, face, win::SystemDpi());
  win::WindowDC screen(nullptr);
  win::SelectScope select(screen.Get(), font.Get());
  SIZE size{};
  ::GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

}  // namespace test
