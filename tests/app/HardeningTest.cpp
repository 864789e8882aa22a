// Floods and odd settings: the frame stays usable whatever a feed or the settings hold.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/FrameFixture.h"
#include "res/resource.h"

using test::FeedEntry;
using test::PostedMessageSpy;

namespace {

class FrameHardening : public test::FrameTest {};

std::vector<FeedEntry> Items(int n, const std::wstring& prefix) {
  std::vector<FeedEntry> items;
  items.reserve(n);
  for (int i = 0; i < n; ++i) items.push_back({prefix + std::to_wstring(i), L"http://f.example/" + prefix + std::to_wstring(i), L""});
  return items;
}

bool OnSomeWorkArea(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  RECT common{};
  return ::IntersectRect(&common, &r, &info.rcWork) && ::EqualRect(&common, &r);
}

}  // namespace

// 20,000 new items: the ticker gets them in one post (a post per item would pass the
// 10,000 messages a thread's queue holds and lose 'END'), the run's 'END' arrives, the
// window answers, the next refresh starts as usual, and a feed that replaces them all
// removes 20,000 items in one pass.
TEST_F(FrameHardening, AFloodOfNewItemsIsFollowedByANormalRefresh) {
  constexpr int kItems = 20000;
  const std::wstring url = L"http://f.example/rss";
  {
    PostedMessageSpy tickerPosts(frame.Ticker().Hwnd(), WM_USER);
    PostFrameCode(frame.Hwnd(), frame_code::kRun, 0);  // the frame is fetching (nothing is stored: the run ends at once)
    Deliver(L"c1", url, test::Rss(L"flood", Items(kItems, L"a")));
    EXPECT_EQ(tickerPosts.Count(frame_code::kAdd), 1u);
  }
  EXPECT_EQ(frame.FeedItems().size(), size_t(kItems));
  EXPECT_EQ(frame.Ticker().EntryCount(), 1000u);  // a hidden strip keeps ten times its capacity
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.Fetching(); }, 10000));
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutW(frame.Hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);

  frame.SetLastFetchEndForTest(::GetTickCount() - 60000);
  PostedMessageSpy framePosts(frame.Hwnd(), WM_USER);
  Tick();
  test::PumpFor(30);
  EXPECT_EQ(framePosts.Count(frame_code::kRun), 1u);

  const auto start = std::chrono::steady_clock::now();
  Deliver(L"c1", url, test::Rss(L"flood", Items(10, L"b")));
  EXPECT_EQ(frame.FeedItems().size(), 10u);
  EXPECT_EQ(frame.Tree().ItemCount(), 11u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// A channel address of 100 KB and a feed title of 100 KB are taken like any other.
TEST_F(FrameHardening, HugeAddressesAndTitlesAreTakenWithoutHarm) {
  const std::wstring url = L"http://f.example/" + std::wstring(100 * 1024, L'u');
  Deliver(L"c1", url, test::Rss(std::wstring(100 * 1024, L't'), Items(2, L"x")));
  CChannel* channel = Channel(url);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->title.size(), size_t(100 * 1024));
  EXPECT_EQ(frame.FeedItems().size(), 2u);
}

// Whatever numbers the settings hold, the windows come up whole on a screen and the
// ticker keeps a usable list.
TEST_F(FrameHardening, OddWindowSettingsStillPlaceEveryWindowOnAScreen) {
  struct Case {
    int x, y, cx, cy;
  };
  const Case cases[] = {
      {-5000, -5000, -100, -100}, {2147483647, 2147483647, 2147483647, 2147483647},
      {100, 100, 0, 0},           {-2147483647 - 1, 40, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    for (const wchar_t* prefix : {L"MAIN_", L"TICKER_", L"VIEW_"}) {
      const std::wstring p(prefix);
      Config().SetInt(section::kWindow, (p + L"X").c_str(), c.x);
      Config().SetInt(section::kWindow, (p + L"Y").c_str(), c.y);
      Config().SetInt(section::kWindow, (p + L"CX").c_str(), c.cx);
      Config().SetInt(section::kWindow, (p + L"CY").c_str(), c.cy);
    }
    Config().SetInt(section::kConfig, L"TICKER_CNT", c.cx);
    CMainFrame other;
    ASSERT_TRUE(other.Create());
    ::KillTimer(other.Hwnd(), 0);
    EXPECT_TRUE(OnSomeWorkArea(other.Hwnd()));
    EXPECT_TRUE(OnSomeWorkArea(other.Ticker().Hwnd()));
    EXPECT_TRUE(OnSomeWorkArea(other.ViewFrame().Hwnd()));
    for (int i = 0; i < 3; ++i)
      ::SendMessageW(other.Ticker().Hwnd(), WM_USER, frame_code::kAdd,
                     reinterpret_cast<LPARAM>(new ViewRequest(L"t", L"http://t/")));
    EXPECT_GE(other.Ticker().EntryCount(), 1u);
    ::SendMessageW(other.Hwnd(), WM_COMMAND, IDM_EXIT, 0);
  }
}

// A frame gives back every window and icon it made: frames made and ended in a row leave
// the process's USER and GDI object counts where they were.
TEST(FrameObjects, AFrameEndsWithoutLeavingObjectsBehind) {
  test::ScopedConfig config{test::ScopedConfig::Backend::Ini};
  test::MessageBoxAnswerer boxes{IDOK};
  Config().SetString(L"CONFIG", L"UPDATE_SERVER", L"127.0.0.1:9");
  auto cycle = [] {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    ::KillTimer(frame.Hwnd(), 0);
    test::PumpFor(30);
    ::SendMessageW(frame.Hwnd(), WM_COMMAND, IDM_EXIT, 0);
    test::PumpFor(30);
  };
  cycle();  // classes, fonts and caches made once
  const test::GuiObjects before = test::CountGuiObjects();
  for (int i = 0; i < 5; ++i) cycle();
  const test::GuiObjects after = test::CountGuiObjects();
  EXPECT_LE(after.user, before.user + 1);
  EXPECT_LE(after.gdi, before.gdi + 1);
}
