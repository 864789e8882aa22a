#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"
#include "config/ConfigStore.h"
#include "display/TickerWnd.h"
#include "support/win/WinTest.h"

using test::Picture;

namespace {

int Stored(const wchar_t* name) { return Config().GetInt(section::kWindow, name, -99999); }

class TickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.Held());
    ASSERT_TRUE(frame.Create());
  }

  void CreateTicker() {
    ASSERT_TRUE(ticker.Create(frame.Hwnd()));
    SendFrameCode(ticker.Hwnd(), frame_code::kMain, reinterpret_cast<LPARAM>(frame.Hwnd()));
  }
  void Add(const std::wstring& title, const std::wstring& link = {}) {
    PostFrameCode(ticker.Hwnd(), frame_code::kAdd, reinterpret_cast<LPARAM>(new test::LoggedRequest(title, link, &destroyed)));
  }
  // Shows the ticker and lets the first paints (and any late exposure) pass.
  void Show() {
    ::ShowWindow(ticker.Hwnd(), SW_SHOWNOACTIVATE);
    test::PumpFor(300);
  }
  void CursorOnTicker() {
    RECT r = win::WindowRect(ticker.Hwnd());
    test::MoveCursor(r.right - 3, r.top + 3);
  }
  void CursorAway() { test::MoveCursor(400, 500); }
  void Wheel(int delta) { ::SendMessageW(ticker.Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0); }
  void Mouse(UINT msg, int x, int y, WPARAM keys = 0) {
    ::SendMessageW(ticker.Hwnd(), msg, keys, MAKELPARAM(x, y));
  }

  test::ScreenLock screen;  // first: held until everything below is gone
  test::ScopedConfig config{test::ScopedConfig::Backend::Ini};
  test::RecordingFrame frame;
  std::vector<std::wstring> destroyed;
  TickerWnd ticker;
};

// Left edges of the titles in the strip: runs of columns holding dark pixels inside the
// frame, with runs closer than half a gap taken as one title.
std::vector<int> TitleStarts(const Picture& p) {
  std::vector<int> starts;
  int lastInk = -1000;
  for (int x = 1; x < p.width - 1; ++x) {
    bool ink = false;
    for (int y = 1; y < p.height - 1 && !ink; ++y) ink = (p.At(x, y) & 0xFF) < 0x80;
    if (!ink) continue;
    if (x - lastInk > TickerWnd::kGap / 2) starts.push_back(x);
    lastInk = x;
  }
  return starts;
}

}  // namespace

TEST_F(TickerTest, IsCreatedAtTheDefaultPlaceWithItsStyleAndTitle) {
  CreateTicker();
  RECT work = win::PrimaryWorkArea();
  RECT r = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(r.left, work.right - 200);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(win::Width(r), 200);
  EXPECT_EQ(win::Height(r), 18);
  EXPECT_FALSE(::IsWindowVisible(ticker.Hwnd()));
  LONG ex = ::GetWindowLongW(ticker.Hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_EQ(::GetWindowLongW(ticker.Hwnd(), GWL_STYLE) & (WS_POPUP | WS_CAPTION), LONG(WS_POPUP));
  EXPECT_EQ(::GetWindow(ticker.Hwnd(), GW_OWNER), frame.Hwnd());
  EXPECT_EQ(ticker.Owner(), frame.Hwnd());
  wchar_t title[64];
  ::GetWindowTextW(ticker.Hwnd(), title, 64);
  EXPECT_STREQ(title, L"Pellora Ticker");
  EXPECT_EQ(::GetClassLongPtrW(ticker.Hwnd(), GCL_STYLE), ULONG_PTR(CS_OWNDC));  // only its own DC
  EXPECT_EQ(reinterpret_cast<HCURSOR>(::GetClassLongPtrW(ticker.Hwnd(), GCLP_HCURSOR)),
            ::LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(test::LayeredAlpha(ticker.Hwnd()), 255);
  EXPECT_FALSE(ticker.HasEntries());
}

TEST_F(TickerTest, AStoredPositionOffEveryScreenComesBackToTheTopRightCorner) {
  Config().SetInt(section::kWindow, L"TICKER_X", -5000);
  Config().SetInt(section::kWindow, L"TICKER_Y", 4000);
  Config().SetInt(section::kWindow, L"TICKER_CX", 180);
  CreateTicker();
  RECT work = win::NearestWorkArea(ticker.Hwnd());
  RECT r = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(r.left, work.right - 180);
  EXPECT_EQ(r.top, work.top);
  EXPECT_EQ(win::Width(r), 180);
  EXPECT_EQ(win::Height(r), 18);
  EXPECT_EQ(Stored(L"TICKER_X"), work.right - 180);
  EXPECT_EQ(Stored(L"TICKER_Y"), work.top);
  EXPECT_EQ(Config().GetInt(section::kWindow, L"TICKER_CX", -1), 180);  // read, never written
}

TEST_F(TickerTest, AShortSingleEntryIsDrawnAgainAndAgainAcrossTheStrip) {
  CreateTicker();
  CursorOnTicker();  // paused: the picture holds still
  Add(L"Hi");
  Show();
  ASSERT_EQ(ticker.EntryCount(), 1u);
  const int period = test::TextExtent(L"Hi").cx + TickerWnd::kGap;
  Picture p = test::CaptureClient(ticker.Hwnd());
  ASSERT_EQ(p.width, 200);
  // The frame: black edges, white field.
  EXPECT_EQ(p.At(0, 5), 0u);
  EXPECT_EQ(p.At(199, 5), 0u);
  EXPECT_EQ(p.At(100, 0), 0u);
  EXPECT_EQ(p.At(100, 17), 0u);
  EXPECT_EQ(p.At(20, 9), Picture::Rgb(255, 255, 255));
  std::vector<int> starts = TitleStarts(p);
  ASSERT_GE(starts.size(), 3u) << "one entry must fill the strip";
  EXPECT_GE(starts[0], 40);  // the first title begins 40 pixels in
  EXPECT_LE(starts[0], 42);
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], period) << i;

  // The wheel steps to the next entry, which is the same one again, from 5 pixels in.
  Wheel(-120);
  EXPECT_EQ(ticker.CurrentTitle(), L"Hi");
  starts = TitleStarts(test::CaptureClient(ticker.Hwnd()));
  ASSERT_GE(starts.size(), 3u);
  EXPECT_GE(starts[0], 5);
  EXPECT_LE(starts[0], 7);
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], period) << i;
}

TEST_F(TickerTest, TheRowMovesOnWhileTheWindowsThreadIsBusyAndStaysWhereItWasLeft) {
  CreateTicker();
  CursorAway();
  Add(L"A title long enough to fill the whole strip while it scrolls");
  Show();
  const std::vector<int> before = TitleStarts(test::CaptureClient(ticker.Hwnd()));
  ::Sleep(400);  // no message is handled meanwhile: ten ticks' worth
  const std::vector<int> after = TitleStarts(test::CaptureClient(ticker.Hwnd()));
  ASSERT_FALSE(before.empty());
  ASSERT_FALSE(after.empty());
  EXPECT_GE(before[0] - after[0], 5);
  EXPECT_LE(before[0] - after[0], 12);

  // Paused, the row holds still, and the window's own paint shows it where the other
  // thread left it.
  CursorOnTicker();
  test::PumpFor(100);
  const std::vector<int> paused = TitleStarts(test::CaptureClient(ticker.Hwnd()));
  test::PumpFor(200);
  ::RedrawWindow(ticker.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(TitleStarts(test::CaptureClient(ticker.Hwnd())), paused);
}

TEST_F(TickerTest, CapacityThreeKeepsAllFiveEntriesUntilTheScrollPassesTheEndOfTheList) {
  Config().SetInt(section::kConfig, L"TICKER_CNT", 3);
  CreateTicker();
  CursorOnTicker();
  for (const wchar_t* t : {L"a", L"b", L"c", L"d", L"e"}) Add(t);
  Show();
  ASSERT_EQ(ticker.EntryCount(), 5u);
  EXPECT_EQ(ticker.CurrentTitle(), L"a");
  // Step to "d" so that the end comes soon; stepping alone trims nothing.
  for (int i = 0; i < 3; ++i) Wheel(-120);
  ASSERT_EQ(ticker.CurrentTitle(), L"d");
  EXPECT_EQ(ticker.EntryCount(), 5u);

  CursorAway();
  ASSERT_TRUE(test::PumpUntil([&] { return ticker.CurrentTitle() == L"e"; }, 3000));
  EXPECT_EQ(ticker.EntryCount(), 5u) << "the list may exceed the capacity until the end is passed";
  ASSERT_TRUE(test::PumpUntil([&] { return ticker.EntryCount() == 3u; }, 5000));
  EXPECT_EQ(ticker.Titles(), (std::vector<std::wstring>{L"c", L"d", L"e"}));  // the oldest went
  EXPECT_EQ(ticker.CurrentTitle(), L"c");
}

TEST_F(TickerTest, ACapacityBelowOneStillKeepsOneEntry) {
  Config().SetInt(section::kConfig, L"TICKER_CNT", 0);
  CreateTicker();
  CursorOnTicker();
  Add(L"a");
  Add(L"b");
  Show();
  Wheel(-120);
  ASSERT_EQ(ticker.CurrentTitle(), L"b");
  CursorAway();
  ASSERT_TRUE(test::PumpUntil([&] { return ticker.EntryCount() < 2u; }, 3000));
  EXPECT_EQ(ticker.EntryCount(), 1u);
  EXPECT_EQ(ticker.CurrentTitle(), L"b");
  test::PumpFor(300);
  EXPECT_TRUE(ticker.HasEntries());
}

TEST_F(TickerTest, AClickOpensTheTitleUnderItOnlyOnceTheCursorHasLeft) {
  CreateTicker();
  CursorOnTicker();
  Add(L"first", L"http://a.example/1");
  Add(L"second", L"http://a.example/2");
  Add(L"third", L"http://a.example/3");
  Show();
  ASSERT_EQ(ticker.CurrentTitle(), L"first");
  // "first" starts 40 pixels in; click inside "second".
  const int x = 40 + test::TextExtent(L"first").cx + TickerWnd::kGap + 4;
  Mouse(WM_LBUTTONDOWN, x, 9, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, x, 9);
  test::PumpFor(400);
  EXPECT_TRUE(frame.Views().empty()) << "nothing opens while the cursor is over the strip";

  CursorAway();
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.Views().empty(); }, 2000));
  EXPECT_EQ(frame.Views()[0].title, L"second");
  EXPECT_EQ(frame.Views()[0].link, L"http://a.example/2");
  test::PumpFor(300);
  EXPECT_EQ(frame.Views().size(), 1u) << "one click opens once";
  EXPECT_EQ(ticker.EntryCount(), 3u) << "the entry stays the ticker's";
}

TEST_F(TickerTest, TheRightButtonAndTheWheelResolveAPendingClickAtOnce) {
  CreateTicker();
  CursorOnTicker();
  Add(L"one", L"http://a.example/1");
  Add(L"two", L"http://a.example/2");
  Show();
  // Right button: the current title starts again 5 pixels in and the click is resolved
  // against that picture.
  Mouse(WM_LBUTTONDOWN, 8, 9, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 8, 9);
  EXPECT_TRUE(frame.Views().empty());
  Mouse(WM_RBUTTONDOWN, 100, 9);
  ASSERT_EQ(frame.Views().size(), 1u);
  EXPECT_EQ(frame.Views()[0].title, L"one");
  // Wheel away from the user: the previous title (wrapping to the last).
  Wheel(120);
  EXPECT_EQ(ticker.CurrentTitle(), L"two");
  Wheel(120);
  EXPECT_EQ(ticker.CurrentTitle(), L"one");
  EXPECT_EQ(frame.Views().size(), 1u);
}

TEST_F(TickerTest, CtrlDragMovesSnapsWithin14PixelsStoresAndNeverOpens) {
  CreateTicker();
  CursorOnTicker();
  Add(L"first", L"http://a.example/1");
  Show();
  RECT work = win::NearestWorkArea(ticker.Hwnd());
  auto dragTo = [&](int left, int top) {
    RECT r = win::WindowRect(ticker.Hwnd());
    const int x = 50, y = 9;
    Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(::GetCapture(), ticker.Hwnd());
    Mouse(WM_MOUSEMOVE, x + (left - r.left), y + (top - r.top), MK_LBUTTON | MK_CONTROL);
    Mouse(WM_LBUTTONUP, x + (left - r.left), y + (top - r.top), MK_CONTROL);
    EXPECT_NE(::GetCapture(), ticker.Hwnd());
  };
  // 14 pixels from the left and top edges: snapped onto both.
  dragTo(work.left + 14, work.top + 14);
  RECT r = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(r.left, work.left);
  EXPECT_EQ(r.top, work.top);
  EXPECT_EQ(win::Width(r), 200);
  EXPECT_EQ(Stored(L"TICKER_X"), work.left);
  EXPECT_EQ(Stored(L"TICKER_Y"), work.top);
  // 15 pixels: no snap.
  dragTo(work.left + 15, work.top + 300);
  r = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(r.left, work.left + 15);
  EXPECT_EQ(r.top, work.top + 300);
  EXPECT_EQ(Stored(L"TICKER_X"), work.left + 15);
  EXPECT_EQ(Stored(L"TICKER_Y"), work.top + 300);
  // Near the bottom-right corner: the right and bottom edges.
  dragTo(work.right - 200 + 10, work.bottom - 18 - 9);
  r = win::WindowRect(ticker.Hwnd());
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(Stored(L"TICKER_X"), work.right - 200);
  EXPECT_EQ(Stored(L"TICKER_Y"), work.bottom - 18);

  CursorAway();
  test::PumpFor(600);
  EXPECT_TRUE(frame.Views().empty()) << "a drag is never a click";
}

TEST_F(TickerTest, IsOpaqueUnderTheCursorAndTickerAlphaOutside) {
  CreateTicker();
  Add(L"entry");
  CursorAway();
  Show();
  ASSERT_TRUE(test::PumpUntil([&] { return test::LayeredAlpha(ticker.Hwnd()) == 153; }, 1000));
  CursorOnTicker();
  ASSERT_TRUE(test::PumpUntil([&] { return test::LayeredAlpha(ticker.Hwnd()) == 255; }, 1000));
  // The setting is read when the cursor leaves, not once at creation.
  Config().SetInt(section::kConfig, L"TICKER_ALPHA", 30);
  CursorAway();
  EXPECT_TRUE(test::PumpUntil([&] { return test::LayeredAlpha(ticker.Hwnd()) == 76; }, 1000));
}

TEST_F(TickerTest, OwnsItsEntriesAndIgnoresUnknownCodes) {
  CreateTicker();
  Add(L"a");
  Add(L"b");
  PostFrameCode(ticker.Hwnd(), frame_code::kAdd, 0);
  PostFrameCode(ticker.Hwnd(), frame_code::kView, 12345);
  test::PumpFor(50);
  EXPECT_EQ(ticker.EntryCount(), 2u);
  // A hidden ticker neither scrolls nor paints: nothing has started yet.
  CursorAway();
  test::PumpFor(200);
  EXPECT_EQ(ticker.CurrentTitle(), L"");
  ticker.Destroy();
  EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_FALSE(ticker.HasEntries());
}

TEST_F(TickerTest, AnEmptyTickerIgnoresTheWheelAndTheButtons) {
  CreateTicker();
  CursorAway();
  Show();
  Wheel(-120);
  Wheel(120);
  Mouse(WM_RBUTTONDOWN, 10, 9);
  Mouse(WM_LBUTTONDOWN, 10, 9, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 10, 9);
  test::PumpFor(200);
  EXPECT_EQ(ticker.CurrentTitle(), L"");
  // The first title, arriving later, still begins at the left gap, not scrolled away.
  CursorOnTicker();
  Add(L"late");
  test::PumpUntil([&] { return ticker.HasEntries(); }, 500);
  ::InvalidateRect(ticker.Hwnd(), nullptr, FALSE);
  test::PumpFor(100);
  std::vector<int> starts = TitleStarts(test::CaptureClient(ticker.Hwnd()));
  ASSERT_FALSE(starts.empty());
  EXPECT_GE(starts[0], 36);
  EXPECT_LE(starts[0], 42);
}

TEST_F(TickerTest, TheListKeepsAtMostTenTimesItsCapacityDroppingOnlyWhatIsNotToCome) {
  Config().SetInt(section::kConfig, L"TICKER_CNT", 3);
  CreateTicker();
  for (int i = 0; i < 35; ++i) Add(L"t" + std::to_wstring(i));
  test::PumpFor(100);
  ASSERT_EQ(ticker.EntryCount(), 30u);
  EXPECT_EQ(ticker.Titles().front(), L"t5");
  EXPECT_EQ(ticker.Titles().back(), L"t34");
  CursorOnTicker();
  Show();
  EXPECT_EQ(ticker.CurrentTitle(), L"t5");

  // Shown, only what the scroll has passed goes.
  for (int i = 35; i < 40; ++i) Add(L"t" + std::to_wstring(i));
  test::PumpFor(100);
  EXPECT_EQ(ticker.EntryCount(), 35u);
  for (int i = 0; i < 3; ++i) Wheel(-120);
  ASSERT_EQ(ticker.CurrentTitle(), L"t8");
  Add(L"t40");
  test::PumpFor(100);
  ASSERT_EQ(ticker.EntryCount(), 33u);
  EXPECT_EQ(ticker.Titles().front(), L"t8");
  EXPECT_EQ(ticker.Titles().back(), L"t40");
  EXPECT_EQ(ticker.CurrentTitle(), L"t8");
}

// Trimmed while hidden, the strip starts again from the first entry kept, from that
// entry's beginning: not at the place the scroll had reached in an entry now gone.
TEST_F(TickerTest, TrimmedWhileHiddenItStartsAfreshAtTheFirstEntryKept) {
  Config().SetInt(section::kConfig, L"TICKER_CNT", 3);
  CreateTicker();
  Add(L"a first title long enough to be scrolled into for a while");
  for (int i = 1; i < 30; ++i) Add(L"t" + std::to_wstring(i));
  CursorAway();
  Show();
  test::PumpFor(800);  // about 20 pixels scrolled into the first title
  ::ShowWindow(ticker.Hwnd(), SW_HIDE);
  Add(L"t30");
  test::PumpFor(50);
  ASSERT_EQ(ticker.EntryCount(), 30u);
  CursorOnTicker();  // paused: the picture holds still
  Show();
  EXPECT_EQ(ticker.CurrentTitle(), L"t1");
  // The first title is drawn one gap in from the left edge; nothing before it.
  const test::Picture picture = test::CaptureClient(ticker.Hwnd());
  const uint32_t white = test::Picture::Rgb(255, 255, 255);
  int firstInk = -1;
  for (int x = 2; x < picture.width && firstInk < 0; ++x)
    for (int y = 2; y < picture.height - 2; ++y)
      if (picture.At(x, y) != white) {
        firstInk = x;
        break;
      }
  EXPECT_GE(firstInk, TickerWnd::kGap - 2);
  EXPECT_LE(firstInk, TickerWnd::kGap + 4);
}

TEST_F(TickerTest, WithTheDisplayOffOrTheSessionLockedItHoldsStillUntilItIsBack) {
  CreateTicker();
  CursorAway();
  Add(L"a title that scrolls");
  Show();
  auto display = [&](DWORD state) {  // as the system reports GUID_CONSOLE_DISPLAY_STATE
    alignas(POWERBROADCAST_SETTING) BYTE buffer[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)]{};
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(buffer);
    setting->PowerSetting = GUID{0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
    setting->DataLength = sizeof(DWORD);
    std::memcpy(setting->Data, &state, sizeof(state));
    ::SendMessageW(ticker.Hwnd(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(setting));
  };
  auto session = [&](WPARAM event) { ::SendMessageW(ticker.Hwnd(), WM_WTSSESSION_CHANGE, event, 0); };
  const struct {
    const char* what;
    std::function<void()> pause, resume;
  } cases[] = {{"display off", [&] { display(0); }, [&] { display(1); }},
               {"session locked", [&] { session(WTS_SESSION_LOCK); }, [&] { session(WTS_SESSION_UNLOCK); }}};
  for (const auto& c : cases) {
    c.pause();
    test::PumpFor(100);
    const std::vector<int> still = TitleStarts(test::CaptureClient(ticker.Hwnd()));
    test::PumpFor(400);
    EXPECT_EQ(TitleStarts(test::CaptureClient(ticker.Hwnd())), still) << c.what << ": nothing moves";
    c.resume();
    test::PumpFor(400);
    EXPECT_NE(TitleStarts(test::CaptureClient(ticker.Hwnd())), still) << c.what << ": back, it scrolls on";
  }
}
