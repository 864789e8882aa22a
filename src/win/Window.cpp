#include "win/Window.h"

#include <windowsx.h>

#include <new>
#include <utility>

namespace win {

namespace {
constexpr UINT_PTR kSubclassId = 0x70656C6C;  // any constant unique to this framework
// Subclassed controls carry their object in a window property (not every import library
// offers GetWindowSubclass to read it back from the subclass).
const wchar_t kObjectProperty[] = L"win.Window";

// The message being dispatched on this thread, for Default(). It lives on Dispatch's stack
// (nested messages stack up), never in the object, which a handler may delete.
struct CurrentMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  bool subclassed;
  bool defaulted = false;
  LRESULT answer = 0;
};
thread_local CurrentMessage* current = nullptr;

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }
UINT KeysOf(WPARAM wParam) { return GET_KEYSTATE_WPARAM(wParam); }
}

Window::~Window() { Destroy(); }

Window* Window::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Our own classes: the class procedure is ours and the object sits in GWLP_USERDATA.
  if (::GetClassLongPtrW(hwnd, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(&Window::WindowProc))
    return reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // Controls of system classes that we subclassed.
  return static_cast<Window*>(::GetPropW(hwnd, kObjectProperty));
}

bool Window::RegisterWindowClass(const wchar_t* className, UINT style, HCURSOR cursor,
                                 HBRUSH background, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (::GetClassInfoExW(instance, className, &wc)) return wc.lpfnWndProc == &Window::WindowProc;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = &Window::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = className;
  return ::RegisterClassExW(&wc) != 0;
}

bool Window::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                      int x, int y, int cx, int cy, HWND parent, HMENU menuOrId) {
  if (hwnd_) return false;
  created_ = false;
  HWND hwnd = ::CreateWindowExW(exStyle, className, title, style, x, y, cx, cy, parent, menuOrId,
                                ::GetModuleHandleW(nullptr), this);
  if (!hwnd) return false;
  // hwnd_ was set at WM_NCCREATE; the window may already be gone again if it destroyed
  // itself while being created.
  created_ = hwnd_ == hwnd;
  return created_;
}

bool Window::CreateControl(DWORD exStyle, const wchar_t* className, DWORD style, const RECT& rect,
                           HWND parent, UINT_PTR id) {
  if (hwnd_) return false;
  HWND hwnd = ::CreateWindowExW(exStyle, className, nullptr, style, rect.left, rect.top,
                                Width(rect), Height(rect), parent, reinterpret_cast<HMENU>(id),
                                ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return false;
  if (!::SetWindowSubclass(hwnd, &Window::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    ::DestroyWindow(hwnd);
    return false;
  }
  ::SetPropW(hwnd, kObjectProperty, this);
  hwnd_ = hwnd;
  subclassed_ = true;
  created_ = true;
  // The control's own WM_CREATE has already run; the object does its creation work now.
  if (!OnAttached()) {
    ::DestroyWindow(hwnd);
    return false;
  }
  return true;
}

void Window::Destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

bool Window::PreTranslateChain(MSG& msg) {
  for (HWND h = msg.hwnd; h; h = ::GetParent(h)) {
    if (Window* w = FromHandle(h))
      if (w->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void Window::ProcessMessage(MSG& msg) {
  if (PreTranslateChain(msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

LRESULT Window::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      if (DefaultMessage(msg, wParam, lParam) == -1) return -1;
      return OnCreate();
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_SIZE:
      DefaultMessage(msg, wParam, lParam);
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_MOVE:
      DefaultMessage(msg, wParam, lParam);
      OnMove();
      return 0;
    case WM_SETFOCUS:
      DefaultMessage(msg, wParam, lParam);
      OnSetFocus();
      return 0;
    case WM_TIMER:
      DefaultMessage(msg, wParam, lParam);
      OnTimer(wParam);
      return 0;
    case WM_CLOSE:
      if (OnClose()) return 0;
      break;
    case WM_DPICHANGED:
      if (lParam && OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam))) return 0;
      break;
    case WM_USER:
      return OnFrameMessage(static_cast<uint32_t>(wParam), lParam);
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
      break;
    case WM_INITMENUPOPUP:
      UpdateMenuCommands(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (!header) break;
      Window* source = FromHandle(header->hwndFrom);
      LRESULT result = 0;
      if (source && source != this && source->OnReflectedNotify(*header, result)) return result;
      if (OnNotify(*header, result)) return result;
      break;
    }
    case WM_PAINT:
      if (subclassed_) break;
      return OnPaintMessage();
    case WM_ERASEBKGND:
      return OnEraseBackground(reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    case WM_MOUSEMOVE:
      return AfterMouseHandler(OnMouseMove(PointOf(lParam), KeysOf(wParam)));
    case WM_LBUTTONDOWN:
      return AfterMouseHandler(OnLButtonDown(PointOf(lParam), KeysOf(wParam)));
    case WM_LBUTTONUP:
      return AfterMouseHandler(OnLButtonUp(PointOf(lParam), KeysOf(wParam)));
    case WM_LBUTTONDBLCLK:
      return AfterMouseHandler(OnLButtonDblClk(PointOf(lParam), KeysOf(wParam)));
    case WM_RBUTTONDOWN:
      return AfterMouseHandler(OnRButtonDown(PointOf(lParam), KeysOf(wParam)));
    case WM_RBUTTONUP:
      return AfterMouseHandler(OnRButtonUp(PointOf(lParam), KeysOf(wParam)));
    case WM_MOUSEWHEEL:
      return AfterMouseHandler(OnMouseWheel(PointOf(lParam), KeysOf(wParam), GET_WHEEL_DELTA_WPARAM(wParam)));
    case WM_MOUSEHOVER:
      return AfterMouseHandler(OnMouseHover(PointOf(lParam), KeysOf(wParam)));
    case WM_MOUSELEAVE:
      return AfterMouseHandler(OnMouseLeave());
    case WM_CAPTURECHANGED:
      return AfterMouseHandler(OnCaptureChanged(reinterpret_cast<HWND>(lParam)));
    case WM_CONTEXTMENU:
      return AfterMouseHandler(OnContextMenu(reinterpret_cast<HWND>(wParam), PointOf(lParam)));
  }
  return DefaultMessage(msg, wParam, lParam);
}

LRESULT Window::DefaultMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return ::DefSubclassProc(hwnd_, msg, wParam, lParam);
  return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Window::Default() {
  CurrentMessage* m = current;
  if (!m) return 0;
  if (!m->defaulted) {
    m->defaulted = true;
    m->answer = m->subclassed ? ::DefSubclassProc(m->hwnd, m->msg, m->wParam, m->lParam)
                              : ::DefWindowProcW(m->hwnd, m->msg, m->wParam, m->lParam);
  }
  return m->answer;
}

LRESULT Window::AfterMouseHandler(bool handled) {
  if (!handled) return Default();
  return current && current->defaulted ? current->answer : 0;
}

LRESULT Window::OnPaintMessage() {
  {
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(hwnd_, &ps);
    if (dc) OnPaint(dc, ps.rcPaint);
    ::EndPaint(hwnd_, &ps);
  }
  OnPaintEnded();
  return 0;
}

void Window::UpdateMenuCommands(HMENU menu) {
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
    if (!::GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
    if (info.hSubMenu || (info.fType & MFT_SEPARATOR) || info.wID == 0) continue;
    CommandState state;
    state.enabled = (info.fState & MFS_DISABLED) == 0;
    state.checked = (info.fState & MFS_CHECKED) != 0;
    if (!OnUpdateCommand(info.wID, state)) continue;
    ::EnableMenuItem(menu, i, MF_BYPOSITION | (state.enabled ? MF_ENABLED : MF_GRAYED));
    ::CheckMenuItem(menu, i, MF_BYPOSITION | (state.checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

LRESULT Window::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  CurrentMessage message{hwnd_, msg, wParam, lParam, subclassed_};
  CurrentMessage* const outer = std::exchange(current, &message);
  struct Restore {
    CurrentMessage* outer;
    ~Restore() { current = outer; }
  } restore{outer};
  // No C++ exception may cross the system's window procedure.
  try {
    return OnMessage(msg, wParam, lParam);
  } catch (const std::bad_alloc&) {
    ::OutputDebugStringW(L"window procedure: out of memory\n");
  } catch (...) {
    ::OutputDebugStringW(L"window procedure: unexpected exception\n");
  }
  return 0;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (self) {
      self->hwnd_ = hwnd;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);

  LRESULT result = self->Dispatch(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    // A window that failed during creation belongs to its creator, which sees the failure.
    if (std::exchange(self->created_, false)) self->OnFinalMessage();
  }
  return result;
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR refData) {
  auto* self = reinterpret_cast<Window*>(refData);
  LRESULT result = self->Dispatch(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &Window::SubclassProc, kSubclassId);
    ::RemovePropW(hwnd, kObjectProperty);
    self->hwnd_ = nullptr;
    self->subclassed_ = false;
    if (std::exchange(self->created_, false)) self->OnFinalMessage();
  }
  return result;
}

RECT WindowRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

RECT ClientRect(HWND hwnd) {
  RECT r{};
  ::GetClientRect(hwnd, &r);
  return r;
}

RECT NearestWorkArea(HWND hwnd) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
  if (monitor && ::GetMonitorInfoW(monitor, &info)) return info.rcWork;
  return PrimaryWorkArea();
}

RECT PrimaryWorkArea() {
  RECT r{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

}  // namespace win
