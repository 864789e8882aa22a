// Sizes for the screen's DPI. The suite runs at 96 DPI with the others and once more in a
// Wine prefix at 144 DPI (PELLORA_EXPECT_DPI says which, so that run cannot pass at 96).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "channels/ChannelTree.h"
#include "common/Dpi.h"
#include "display/DisplayTestSupport.h"
#include "display/NotifyStack.h"
#include "display/NotifyWnd.h"
#include "display/TickerWnd.h"
#include "res/resource.h"
#include "support/win/WinTest.h"
#include "win/Dpi.h"

namespace {

int ImageCell(const ChannelTree& tree) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageW(tree.Hwnd(), TVM_GETIMAGELIST, TVSIL_NORMAL, 0)),
                        &cx, &cy);
  return cx;
}

SIZE Size(HWND hwnd) {
  const RECT r = win::WindowRect(hwnd);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void SendDpiChanged(HWND hwnd, int dpi, RECT suggested) {
  ::SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

}  // namespace

TEST(DisplayDpi, PopupTickerAndTreeAreMadeForTheDpiAndFollowAMoveToAnother) {
  test::ScreenLock screen;
  ASSERT_TRUE(screen.Held());
  test::ScopedConfig config(test::ScopedConfig::Backend::Ini);
  test::RecordingFrame frame;
  ASSERT_TRUE(frame.Create());
  const int dpi = win::PrimaryMonitorDpi();
  if (const char* expected = std::getenv("PELLORA_EXPECT_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected));
  }
  // The close button and tree strips are drawn at 100, 150 and 200 %.
  const int closeWidth = PictureScaleForDpi(dpi) == 100 ? 15 : PictureScaleForDpi(dpi) == 150 ? 22 : 30;

  NotifyStack stack;
  stack.Configure(false, 150, 60, frame.Hwnd(), IDB_CLOSE);
  auto* popup = new NotifyWnd(frame.Hwnd(), L"채널", L"제목", L"http://x.example/", L"");
  stack.ShowPopup(popup);
  ASSERT_TRUE(popup->Hwnd());
  EXPECT_EQ(Size(popup->Hwnd()).cx, ScaleForDpi(150, dpi));
  EXPECT_EQ(Size(popup->Hwnd()).cy, ScaleForDpi(60, dpi));
  EXPECT_EQ(popup->Dpi(), dpi);
  EXPECT_EQ(popup->CloseSize().cx, closeWidth);

  TickerWnd ticker;
  ASSERT_TRUE(ticker.Create(frame.Hwnd()));
  EXPECT_EQ(Size(ticker.Hwnd()).cx, ScaleForDpi(200, dpi));
  EXPECT_EQ(Size(ticker.Hwnd()).cy, ScaleForDpi(TickerWnd::kHeight, dpi));

  ChannelTree tree;
  ASSERT_TRUE(tree.Create(frame.Hwnd(), WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, RECT{0, 0, 200, 300}, 1));
  tree.LoadImages(IDB_TREE);
  EXPECT_EQ(ImageCell(tree), 16 * PictureScaleForDpi(dpi) / 100);

  // Moved to a 200 % monitor: where the system suggests, with the pictures for 200 %.
  const RECT popupThere{100, 100, 400, 220};
  SendDpiChanged(popup->Hwnd(), 192, popupThere);
  const RECT popupNow = win::WindowRect(popup->Hwnd());
  EXPECT_TRUE(::EqualRect(&popupNow, &popupThere));
  EXPECT_EQ(popup->Dpi(), 192);
  EXPECT_EQ(popup->CloseSize().cx, 30);
  EXPECT_EQ(popup->TargetRect().left, 100);  // it fades out where it is

  // The strip keeps the user's width and takes the height for 200 %.
  const LONG width = Size(ticker.Hwnd()).cx;
  SendDpiChanged(ticker.Hwnd(), 192, RECT{50, 60, 50 + 999, 60 + 999});
  const RECT tickerNow = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(tickerNow.left, 50);
  EXPECT_EQ(tickerNow.top, 60);
  EXPECT_EQ(tickerNow.right - tickerNow.left, width);
  EXPECT_EQ(tickerNow.bottom - tickerNow.top, 36);

  tree.OnDpiChanged(192);
  EXPECT_EQ(ImageCell(tree), 32);
}
