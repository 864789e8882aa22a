#pragma once
// The program's icon in the notification area: a hidden child window that owns the
// icon's NOTIFYICONDATAW, adds, changes and removes the icon, receives its mouse
// notifications, shows the right-click menu and can alternate two icons on a timer.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "win/Window.h"

class TrayIcon : public win::Window {
 public:
  TrayIcon() = default;
  ~TrayIcon() override;

  bool Create(HWND parent);
  // Takes ownership of the icon; adds the icon to the notification area the first time.
  void SetIcon(HICON icon);
  void SetIcon(UINT resourceId);
  void SetTip(const wchar_t* text);
  // Alternates the two icon resources every periodMs from the first tick on.
  void Animate(UINT firstId, UINT secondId, UINT periodMs);

  const NOTIFYICONDATAW& Data() const { return nid_; }
  bool Animating() const { return !frames_.empty(); }

 protected:
  virtual void OnTrayClick();
  virtual void FillTrayMenu(HMENU menu);
  int OnCreate() override;
  void OnDestroy() override;
  void OnTimer(UINT_PTR id) override;
  // The shell's callback message (WM_USER here, not a frame code) with the mouse message.
  LRESULT OnFrameMessage(uint32_t code, LPARAM arg) override;

 private:
  void StopAnimation();
  void ShowIcon(HICON icon);
  void OnNotify(UINT mouseMessage);

  std::vector<UINT> frames_;  // empty: no animation
  int frameIndex_ = 0;
  int frameCount_ = 0;
  NOTIFYICONDATAW nid_{};
};
