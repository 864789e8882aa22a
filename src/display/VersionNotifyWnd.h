#pragma once
// The popup that announces a newer program version. It stays until clicked; a left click
// opens the address the update server gave (web addresses only).
#include <string>

#include "display/TrayWndItem.h"

class VersionNotifyWnd : public CTrayWndItem {
 public:
  VersionNotifyWnd(std::wstring link, std::wstring version);

  int DisplayTime() override { return 0; }
  void fun(int button) override;
  UINT CloseBitmap() override;
  void DrawContent(HDC dc) override;

  const std::wstring& Link() const { return link_; }
  const std::wstring& Version() const { return version_; }

 protected:
  // Opens the address with the shell; true when it was handed over.
  virtual bool OpenLink(const std::wstring& link);

 private:
  std::wstring link_;
  std::wstring version_;
};
