#include "app/MainTrayIcon.h"

#include "res/resource.h"

void MainTrayIcon::OnTrayClick() {
  HWND frame = ::GetParent(Hwnd());
  if (!::IsWindowVisible(frame)) {
    // Through the minimised state so that the window animates up from the taskbar.
    ::ShowWindow(frame, SW_SHOWMINIMIZED);
    ::ShowWindow(frame, SW_SHOWNORMAL);
  } else if (::IsIconic(frame)) {
    ::ShowWindow(frame, SW_SHOWNORMAL);
  }
  ::SetForegroundWindow(frame);
  ::SetFocus(frame);
}

void MainTrayIcon::FillTrayMenu(HMENU menu) {
  ::AppendMenuW(menu, MF_STRING, ID_APP_ABOUT, L"Pellora About");
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, IDM_RSS_TICKER, L"Show Ticker");
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, IDM_EXIT, L"Exit(&X)");
}
