#include "win/FrameWindow.h"

#include "win/Module.h"

namespace win {

FrameWindow* FrameWindow::mainWindow_ = nullptr;

const wchar_t* FrameWindow::PlainClass() {
  static const wchar_t* const name = L"win.PlainFrame";
  RegisterWindowClass(name, 0, nullptr);
  return name;
}

bool FrameWindow::PreCreateWindow(CREATESTRUCTW& cs) {
  static const wchar_t* const name = L"win.Frame";
  if (!RegisterWindowClass(name, CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)))
    return false;
  cs.lpszClass = name;
  cs.dwExStyle |= WS_EX_CLIENTEDGE;
  return true;
}

bool FrameWindow::LoadFrame(UINT resourceId, DWORD style, HWND parent) {
  HINSTANCE instance = Instance();
  // The title is the first line of the frame's string resource.
  std::wstring title = LoadResString(resourceId);
  if (size_t nl = title.find(L'\n'); nl != std::wstring::npos) title.resize(nl);

  CREATESTRUCTW cs{};
  cs.style = style;
  cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
  cs.hwndParent = parent;
  cs.hInstance = instance;
  cs.lpszName = title.c_str();
  cs.hMenu = ::LoadMenuW(instance, MAKEINTRESOURCEW(resourceId));
  if (!PreCreateWindow(cs)) {
    if (cs.hMenu) ::DestroyMenu(cs.hMenu);
    return false;
  }
  accelerators_.Reset(::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(resourceId)));
  if (!CreateEx(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                cs.hwndParent, cs.hMenu)) {
    // A menu given to a window that failed to be created stays ours to destroy.
    if (cs.hMenu && ::IsMenu(cs.hMenu)) ::DestroyMenu(cs.hMenu);
    return false;
  }
  if (HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(resourceId)))
    ::SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  return true;
}

bool FrameWindow::PreTranslateMessage(MSG& msg) {
  if (accelerators_ && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)
    return ::TranslateAcceleratorW(Hwnd(), accelerators_.Get(), &msg) != 0;
  return false;
}

LRESULT FrameWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCDESTROY && mainWindow_ == this) {
    mainWindow_ = nullptr;
    ::PostQuitMessage(0);
  }
  return Window::OnMessage(msg, wParam, lParam);
}

}  // namespace win
