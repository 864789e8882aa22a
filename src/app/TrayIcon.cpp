#include "app/TrayIcon.h"

#include <cwchar>

#include "win/Handles.h"
#include "win/Module.h"

namespace {
const wchar_t kClass[] = L"pellora.TrayIcon";
constexpr UINT_PTR kTimer = 0;
}  // namespace

TrayIcon::~TrayIcon() {
  if (nid_.hIcon) {
    nid_.uFlags = NIF_ICON;
    ::Shell_NotifyIconW(NIM_DELETE, &nid_);
    ::DestroyIcon(nid_.hIcon);
    nid_.hIcon = nullptr;
  }
  Destroy();
}

bool TrayIcon::Create(HWND parent) {
  frames_.clear();
  RegisterWindowClass(kClass, 0, nullptr);
  return CreateEx(0, kClass, L"", WS_CHILD, 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)));
}

void TrayIcon::StopAnimation() {
  if (Hwnd()) ::KillTimer(Hwnd(), kTimer);
  frames_.clear();
}

void TrayIcon::ShowIcon(HICON icon) {
  DWORD verb = NIM_ADD;
  if (nid_.hIcon) {
    ::DestroyIcon(nid_.hIcon);
    verb = NIM_MODIFY;
  }
  nid_.hIcon = icon;
  ::Shell_NotifyIconW(verb, &nid_);
}

void TrayIcon::SetIcon(HICON icon) {
  StopAnimation();
  ShowIcon(icon);
}

void TrayIcon::SetIcon(UINT resourceId) { SetIcon(win::LoadSmallIcon(static_cast<WORD>(resourceId))); }

void TrayIcon::SetTip(const wchar_t* text) {
  const size_t capacity = sizeof(nid_.szTip) / sizeof(nid_.szTip[0]);
  std::wmemset(nid_.szTip, 0, capacity);
  std::wcsncpy(nid_.szTip, text, capacity - 1);
  ::Shell_NotifyIconW(NIM_MODIFY, &nid_);
}

void TrayIcon::Animate(UINT firstId, UINT secondId, UINT periodMs) {
  StopAnimation();
  frames_ = {firstId, secondId};
  frameCount_ = 2;
  frameIndex_ = 0;
  ::SetTimer(Hwnd(), kTimer, periodMs, nullptr);
}

void TrayIcon::OnTrayClick() { ::SetForegroundWindow(::GetParent(Hwnd())); }

void TrayIcon::FillTrayMenu(HMENU menu) {
  ::InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING | MF_GRAYED, 0, L"Exit(&X)");
}

void TrayIcon::OnNotify(UINT mouseMessage) {
  if (mouseMessage == WM_LBUTTONUP) {
    OnTrayClick();
    return;
  }
  if (mouseMessage != WM_RBUTTONUP) return;
  win::Menu menu(::CreatePopupMenu());
  FillTrayMenu(menu.Get());
  if (::GetMenuItemCount(menu.Get()) <= 0) return;
  POINT at{};
  ::GetCursorPos(&at);
  // The menu's owner must be the foreground window, or the menu does not close when the
  // user clicks elsewhere; the owner is the frame, whose commands the menu carries.
  HWND owner = ::GetParent(Hwnd());
  ::SetForegroundWindow(owner);
  ::TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
  ::PostMessageW(owner, WM_NULL, 0, 0);
}

int TrayIcon::OnCreate() {
  nid_ = NOTIFYICONDATAW{};
  // The version-2 form (up to the balloon fields): 936 bytes on x86. The icon needs
  // nothing newer, and older shells accept this size.
  nid_.cbSize = NOTIFYICONDATAW_V2_SIZE;
  nid_.hWnd = Hwnd();
  nid_.uID = 0;
  nid_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid_.uCallbackMessage = WM_USER;
  return 0;
}

void TrayIcon::OnDestroy() {
  if (!frames_.empty()) ::KillTimer(Hwnd(), kTimer);
}

void TrayIcon::OnTimer(UINT_PTR) {
  if (frameCount_ > 0 && !frames_.empty()) {
    ShowIcon(win::LoadSmallIcon(static_cast<WORD>(frames_[frameIndex_])));
    frameIndex_ = (frameIndex_ + 1) % frameCount_;
  }
}

LRESULT TrayIcon::OnFrameMessage(uint32_t, LPARAM arg) {
  OnNotify(static_cast<UINT>(arg));
  return 0;
}

#if defined(__i386__) || defined(_M_IX86)
static_assert(NOTIFYICONDATAW_V2_SIZE == 936);
#endif
