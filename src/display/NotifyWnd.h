#pragma once
// The popup of a new feed item: the channel's title as header, the item's category (if
// any) and its title as body. A left click asks the frame to open the item ('VIEW').
#include <string>

#include "display/TrayWndItem.h"

class NotifyWnd : public CTrayWndItem {
 public:
  static constexpr int kDefaultDisplayTime = 5000;

  NotifyWnd(HWND frame, std::wstring channelTitle, std::wstring itemTitle, std::wstring link,
            std::wstring category);

  // 0 pins the popup until it is clicked (the item matched a keyword).
  void SetDisplayTime(int ms) { displayTime_ = ms; }
  int DisplayTime() override { return displayTime_; }

  void fun(int button) override;
  std::wstring BodyText() override { return itemTitle_; }
  UINT CloseBitmap() override;
  void DrawContent(HDC dc) override;

  const std::wstring& ChannelTitle() const { return channelTitle_; }
  const std::wstring& Link() const { return link_; }
  const std::wstring& Category() const { return category_; }

 private:
  HWND frame_;
  std::wstring channelTitle_;
  std::wstring itemTitle_;
  std::wstring link_;
  std::wstring category_;
  int displayTime_ = kDefaultDisplayTime;
};
