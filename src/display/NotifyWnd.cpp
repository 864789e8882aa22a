#include "display/NotifyWnd.h"

#include <utility>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "common/TextUtil.h"

NotifyWnd::NotifyWnd(HWND frame, std::wstring channelTitle, std::wstring itemTitle, std::wstring link,
                     std::wstring category)
    : frame_(frame),
      channelTitle_(std::move(channelTitle)),
      itemTitle_(std::move(itemTitle)),
      link_(std::move(link)),
      category_(std::move(category)) {}

UINT NotifyWnd::CloseBitmap() { return StackCloseBitmap(); }

void NotifyWnd::fun(int button) {
  if (button != 1) return;
  ViewRequest request(itemTitle_, link_, L"");
  SendFrameCode(frame_, frame_code::kView, &request);
}

void NotifyWnd::DrawContent(HDC dc) {
  const std::wstring body = TrimSet(BodyText(), L"\r\n ");
  RECT r = win::ClientRect(Hwnd());
  ::MoveToEx(dc, Px(3), Px(20), nullptr);
  ::LineTo(dc, r.right - Px(3), Px(20));

  // Room for the close button on the right of the first line.
  RECT box{r.left + Px(5), r.top + Px(4), r.right - Px(5) - Px(16), r.bottom - Px(4)};
  constexpr UINT kOneLine = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
  ::DrawTextW(dc, channelTitle_.c_str(), static_cast<int>(channelTitle_.size()), &box, kOneLine);
  box.top += Px(16);
  box.right += Px(16);
  if (!category_.empty()) {
    box.top += Px(2);
    ::DrawTextW(dc, category_.c_str(), static_cast<int>(category_.size()), &box, kOneLine);
    box.top += Px(12);
  }
  DrawBody(dc, body, box);
}
