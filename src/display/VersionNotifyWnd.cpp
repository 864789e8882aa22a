#include "display/VersionNotifyWnd.h"

#include <utility>

#include "common/Links.h"

VersionNotifyWnd::VersionNotifyWnd(std::wstring link, std::wstring version)
    : link_(std::move(link)), version_(std::move(version)) {}

UINT VersionNotifyWnd::CloseBitmap() { return StackCloseBitmap(); }

bool VersionNotifyWnd::OpenLink(const std::wstring& link) { return OpenLinkInShell(link); }

void VersionNotifyWnd::fun(int button) {
  // A copy: the shell may pump messages during which this popup is deleted.
  if (button == 1) OpenLink(std::wstring(link_));
}

void VersionNotifyWnd::DrawContent(HDC dc) {
  RECT r = win::ClientRect(Hwnd());
  ::MoveToEx(dc, Px(3), Px(20), nullptr);
  ::LineTo(dc, r.right - Px(3), Px(20));

  RECT box{r.left + Px(5), r.top + Px(4), r.right - Px(5), r.bottom - Px(4)};
  RECT header = box;
  header.right -= Px(16);  // room for the close button
  ::DrawTextW(dc, L"Pellora", -1, &header, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  RECT line = box;
  line.top += Px(16);
  const std::wstring text = L"최신버젼 : " + version_;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
              DT_SINGLELINE | DT_END_ELLIPSIS | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}
