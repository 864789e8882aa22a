#include "display/ViewFrm.h"

#include "common/Dpi.h"
#include "common/Placement.h"
#include "common/SettingRanges.h"
#include "config/Settings.h"
#include "win/Dpi.h"
#include "win/Module.h"

namespace {
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;
// The control's own border lies this far outside the visible client area.
constexpr int kBrowserOverlap = 2;
// Posted to itself to hand the focus on to the control.
constexpr UINT kFocusBrowser = WM_APP + 1;

}  // namespace

CViewFrm::CViewFrm() = default;

CViewFrm::~CViewFrm() {
  // While this class's handlers still run (the control detaches with its window).
  Destroy();
}

bool CViewFrm::Create(UINT frameResource, UINT smallIcon) {
  smallIconId_ = smallIcon;
  if (!LoadFrame(frameResource, WS_OVERLAPPEDWINDOW)) return false;
  ::ShowWindow(Hwnd(), SW_HIDE);
  HMENU menu = ::GetMenu(Hwnd());
  ::SetMenu(Hwnd(), nullptr);
  if (menu) ::DestroyMenu(menu);  // no longer the window's, so ours to free
  return true;
}

bool CViewFrm::PreCreateWindow(CREATESTRUCTW& cs) {
  cs.dwExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  cs.lpszClass = PlainClass();
  const Box work = ToBox(win::PrimaryWorkArea());
  const long x = setting::WindowCoordinate(setting::Get(setting::kViewX));
  const long y = setting::WindowCoordinate(setting::Get(setting::kViewY));
  // The default size scales with the DPI; a stored one is physical pixels.
  const int dpi = win::PrimaryMonitorDpi();
  const long width = ScaleForDpi(kDefaultWidth, dpi);
  const long height = ScaleForDpi(kDefaultHeight, dpi);
  const long cx = setting::WindowExtent(setting::GetOr(setting::kViewCx, width), width,
                                        ::GetSystemMetrics(SM_CXMIN), work.Width());
  const long cy = setting::WindowExtent(setting::GetOr(setting::kViewCy, height), height,
                                        ::GetSystemMetrics(SM_CYMIN), work.Height());
  Box placed = ClampViewPlacement(x, y, cx, cy, work);
  cs.x = placed.left;
  cs.y = placed.top;
  cs.cx = placed.Width();
  cs.cy = placed.Height();
  return true;
}

int CViewFrm::OnCreate() {
  smallIcon_.Reset(win::LoadSmallIcon(smallIconId_));
  if (smallIcon_) ::SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  return 0;
}

CWebBrowser2& CViewFrm::Browser() {
  // The control loads a good part of the system's browser libraries: a run that never
  // opens a link inside the program does not pay for them in memory and start-up time.
  if (!browser_.IsAlive() && Hwnd()) browser_.Create(Hwnd(), BrowserArea(), WS_VISIBLE, static_cast<UINT>(-1));
  return browser_;
}

RECT CViewFrm::BrowserArea() const {
  RECT area = win::ClientRect(Hwnd());
  ::InflateRect(&area, kBrowserOverlap, kBrowserOverlap);
  return area;
}

void CViewFrm::OnSize(UINT type, int, int) {
  if (type == SIZE_RESTORED && !::IsIconic(Hwnd()) && !::IsZoomed(Hwnd())) {
    RECT r = win::WindowRect(Hwnd());
    setting::Set(setting::kViewX, r.left);
    setting::Set(setting::kViewY, r.top);
    setting::Set(setting::kViewCx, r.right - r.left);
    setting::Set(setting::kViewCy, r.bottom - r.top);
  }
  if (browser_.IsAlive()) {
    const RECT area = BrowserArea();
    ::MoveWindow(browser_.Hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
}

void CViewFrm::OnMove() {
  // Minimised and maximised positions are the system's: neither snapped nor stored.
  if (::IsIconic(Hwnd()) || ::IsZoomed(Hwnd())) return;
  RECT work = win::PrimaryWorkArea();
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box snapped = SnapViewFrame(window, work.right - work.left, work.bottom - work.top);
  if (snapped != window) ::MoveWindow(Hwnd(), snapped.left, snapped.top, snapped.Width(), snapped.Height(), TRUE);
  setting::Set(setting::kViewX, snapped.left);
  setting::Set(setting::kViewY, snapped.top);
}

bool CViewFrm::OnClose() {
  // Hidden, never destroyed by the user; the control is parked on a blank page.
  ::ShowWindow(Hwnd(), SW_MINIMIZE);
  ::ShowWindow(Hwnd(), SW_HIDE);
  if (!browser_.IsAlive()) return true;
  browser_.Stop();
  browser_.Navigate(L"about:blank");
  return true;
}

bool CViewFrm::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && ::GetActiveWindow() == Hwnd() &&
      (msg.wParam == VK_ESCAPE || (msg.wParam == 'W' && ::GetKeyState(VK_CONTROL) < 0))) {
    ::PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
    return true;
  }
  // The frame's own keys first; then the control's, when it has the focus.
  if (browser_.IsAlive() && ::IsChild(browser_.Hwnd(), msg.hwnd) && browser_.TranslateAccelerator(msg)) return true;
  return FrameWindow::PreTranslateMessage(msg);
}

LRESULT CViewFrm::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kFocusBrowser) {
    if (::GetFocus() == Hwnd() && browser_.IsAlive()) browser_.Focus();
    return 0;
  }
  return FrameWindow::OnMessage(msg, wParam, lParam);
}

bool CViewFrm::OnDpiChanged(int, const RECT& suggested) {
  win::ApplySuggestedRect(Hwnd(), suggested);
  return true;
}

void CViewFrm::OnSetFocus() {
  if (browser_.IsAlive()) browser_.Focus();
  // Wine keeps the focus on the frame when it moves during WM_SETFOCUS: try again once
  // this message is over.
  if (::GetFocus() == Hwnd()) ::PostMessageW(Hwnd(), kFocusBrowser, 0, 0);
}
