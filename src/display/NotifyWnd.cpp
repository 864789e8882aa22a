#include "display/NotifyWnd.h"

#include <utility>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "common/TextUtil.h"
#include "res/resource.h"

NotifyWnd::NotifyWnd(HWND frame, std::wstring channelTitle, std::wstring itemTitle, std::wstring link,
                     std::wstring category)
    : frame_(frame),
      channelTitle_(std::move(channelTitle)),
      itemTitle_(std::move(itemTitle)),
      link_(std::move(link)),
      category_(std::move(category)) {}

UINT NotifyWnd::CloseBitmap() { return IDB_CLOSE; }

void NotifyWnd::fun(int button) {
  if (button != 1) return;
  ViewRequest request(itemTitle_, link_, L"");
  ::SendMessageW(frame_, WM_USER, frame_code::kView, reinterpret_cast<LPARAM>(&request));
}

void NotifyWnd::DrawContent(HDC dc) {
  const std::wstring body = TrimSet(BodyText(), L"\r\n ");
  RECT r = win::ClientRect(Hwnd());
  ::MoveToEx(dc, 3, 20, nullptr);
  ::LineTo(dc, r.right - 3, 20);

  RECT box{r.left + 5, r.top + 4, r.right - 5 - 16, r.bottom - 4};  // room for the close button
  constexpr UINT kOneLine = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
  ::DrawTextW(dc, channelTitle_.c_str(), static_cast<int>(channelTitle_.size()), &box, kOneLine);
  box.top += 16;
  box.right += 16;
  if (!category_.empty()) {
    box.top += 2;
    ::DrawTextW(dc, category_.c_str(), static_cast<int>(category_.size()), &box, kOneLine);
    box.top += 12;
  }
  DrawBody(dc, body, box);
}
