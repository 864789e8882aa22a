#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"
#include "display/NotifyStack.h"
#include "display/NotifyWnd.h"
#include "display/VersionNotifyWnd.h"
#include "res/resource.h"
#include "support/TraceCapture.h"
#include "support/win/WinTest.h"

using test::Picture;

namespace {

constexpr int kWidth = 150;
constexpr int kHeight = 60;

// The frame's side of the stack: every event with the time it came.
class RecordingStack : public NotifyStack {
 public:
  struct Event {
    CTrayWndItem* popup;
    int code;
    DWORD at;
  };
  std::vector<Event> events;
  int Count(int code) const {
    int n = 0;
    for (const auto& e : events) n += e.code == code;
    return n;
  }
  const Event* Find(int code) const {
    for (const auto& e : events)
      if (e.code == code) return &e;
    return nullptr;
  }

 protected:
  void OnPopupEvent(CTrayWndItem* popup, int code) override { events.push_back({popup, code, ::GetTickCount()}); }
};

// A news popup that says when it is gone.
class WatchedNotifyWnd : public NotifyWnd {
 public:
  WatchedNotifyWnd(HWND frame, std::wstring category, std::wstring body, bool* gone)
      : NotifyWnd(frame, L"Channel", std::move(body), L"http://news.example/item", std::move(category)), gone_(gone) {}
  ~WatchedNotifyWnd() override { *gone_ = true; }

 private:
  bool* gone_;
};

// A version popup whose shell is a list.
class RecordingVersionWnd : public VersionNotifyWnd {
 public:
  RecordingVersionWnd(std::wstring link, std::vector<std::wstring>* opened)
      : VersionNotifyWnd(std::move(link), L"9.9.9.9"), opened_(opened) {}

 protected:
  bool OpenLink(const std::wstring& link) override {
    opened_->push_back(link);
    return true;
  }

 private:
  std::vector<std::wstring>* opened_;
};

class NotifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen.Held());
    ASSERT_TRUE(frame.Create());
    stack.Configure(false, kWidth, kHeight, frame.Hwnd(), IDB_CLOSE);
    test::MoveCursor(300, 700);  // away from the corner where popups appear
  }
  WatchedNotifyWnd* News(bool* gone, std::wstring category = L"", std::wstring body = L"Item title") {
    return new WatchedNotifyWnd(frame.Hwnd(), std::move(category), std::move(body), gone);
  }
  RECT Slot(int row, int column = 0) const {
    RECT work = win::PrimaryWorkArea();
    LONG left = work.right - (column + 1) * kWidth;
    LONG top = work.top + row * kHeight;
    return RECT{left, top, left + kWidth, top + kHeight};
  }
  static void Click(CTrayWndItem* popup, UINT msg, int x, int y) {
    ::SendMessageW(popup->Hwnd(), msg, 0, MAKELPARAM(x, y));
  }

  test::ScreenLock screen;  // first: held until everything below is gone
  test::ScopedConfig config{test::ScopedConfig::Backend::Ini};
  test::RecordingFrame frame;
  RecordingStack stack;
};

bool SameRect(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != 0; }

}  // namespace

TEST_F(NotifyTest, APopupFadesInStaysFiveSecondsFadesOutAndFreesItsSlotForTheNext) {
  bool gone = false;
  WatchedNotifyWnd* popup = News(&gone);
  const DWORD start = ::GetTickCount();
  stack.ShowPopup(popup);
  HWND hwnd = popup->Hwnd();
  ASSERT_TRUE(::IsWindow(hwnd));
  EXPECT_EQ(stack.Count(NotifyStack::kPlaced), 2);  // once by ShowPopup, once by the placement
  EXPECT_TRUE(::IsWindowVisible(hwnd));
  EXPECT_NE(::GetActiveWindow(), hwnd);
  EXPECT_TRUE(SameRect(win::WindowRect(hwnd), Slot(0)));
  EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), frame.Hwnd());
  EXPECT_TRUE(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // Fading in by elapsed time: part-way after 0.3 s, complete after about 0.7 s.
  test::PumpUntil([&] { return ::GetTickCount() - start >= 300; });
  const int midway = test::LayeredAlpha(hwnd);
  EXPECT_GT(midway, 255 * 20 / 100);
  EXPECT_LT(midway, 255 * 80 / 100);
  ASSERT_TRUE(test::PumpUntil([&] { return stack.Count(NotifyStack::kShown) == 1; }, 3000));
  const DWORD shown = stack.Find(NotifyStack::kShown)->at;
  EXPECT_GE(shown - start, 600u);
  EXPECT_LE(shown - start, 1300u);
  EXPECT_EQ(test::LayeredAlpha(hwnd), 255);
  EXPECT_EQ(popup->Phase(), CTrayWndItem::kShown);

  // Still there, fully shown, 4.5 s later.
  test::PumpUntil([&] { return ::GetTickCount() - shown >= 4500; }, 6000);
  ASSERT_FALSE(gone);
  EXPECT_EQ(popup->Phase(), CTrayWndItem::kShown);
  EXPECT_EQ(test::LayeredAlpha(hwnd), 255);
  EXPECT_TRUE(stack.IsPlaced(popup));

  // Then it fades out (about 0.7 s) and deletes itself, window first.
  ASSERT_TRUE(test::PumpUntil([&] { return gone; }, 4000));
  const DWORD removed = stack.Find(NotifyStack::kRemoved)->at;
  EXPECT_GE(removed - shown, 5000u + 600u);
  EXPECT_LE(removed - shown, 5000u + 1500u);
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_EQ(stack.PlacedCount(), 0u);

  bool nextGone = false;
  WatchedNotifyWnd* next = News(&nextGone);
  stack.ShowPopup(next);
  EXPECT_EQ(next->Slot(), 0);
  EXPECT_TRUE(SameRect(win::WindowRect(next->Hwnd()), Slot(0)));
}

TEST_F(NotifyTest, PinnedAndVersionPopupsStayUntilClickedAndTheSecondTakesSlotOne) {
  bool gone = false;
  WatchedNotifyWnd* pinned = News(&gone);
  pinned->SetDisplayTime(0);
  std::vector<std::wstring> opened;
  auto* version = new RecordingVersionWnd(L"http://update.example/get", &opened);
  stack.ShowPopup(pinned);
  stack.ShowPopup(version);
  EXPECT_EQ(pinned->Slot(), 0);
  EXPECT_EQ(version->Slot(), 1);
  EXPECT_TRUE(SameRect(version->TargetRect(), Slot(1)));  // the row under the first
  EXPECT_TRUE(SameRect(win::WindowRect(version->Hwnd()), Slot(1)));

  test::PumpFor(6500);  // longer than a news popup's whole life
  ASSERT_FALSE(gone);
  EXPECT_EQ(pinned->Phase(), CTrayWndItem::kShown);
  EXPECT_EQ(version->Phase(), CTrayWndItem::kShown);
  EXPECT_EQ(test::LayeredAlpha(pinned->Hwnd()), 255);
  EXPECT_EQ(test::LayeredAlpha(version->Hwnd()), 255);
  EXPECT_EQ(stack.PlacedCount(), 2u);

  // A click on the version popup opens its link and frees slot 1.
  Click(version, WM_LBUTTONUP, 40, 40);
  EXPECT_EQ(opened, (std::vector<std::wstring>{L"http://update.example/get"}));
  EXPECT_EQ(stack.PlacedCount(), 1u);
  EXPECT_TRUE(frame.Views().empty());
}

TEST_F(NotifyTest, SlotsTakeTheLowestFreeNumberAndFillColumnsRightToLeft) {
  bool gone[3] = {};
  WatchedNotifyWnd* first = News(&gone[0]);
  WatchedNotifyWnd* second = News(&gone[1]);
  stack.ShowPopup(first);
  stack.ShowPopup(second);
  ASSERT_EQ(second->Slot(), 1);
  Click(first, WM_RBUTTONUP, 40, 40);  // frees slot 0
  WatchedNotifyWnd* third = News(&gone[2]);
  stack.ShowPopup(third);
  EXPECT_EQ(third->Slot(), 0);
  EXPECT_TRUE(SameRect(third->TargetRect(), Slot(0)));

  // Placement alone (no windows): past the last row the next column starts at the top.
  RECT work = win::PrimaryWorkArea();
  const int rows = (work.bottom - work.top) / kHeight;
  std::vector<std::unique_ptr<CTrayWndItem>> items;
  RECT rect{};
  int slot = -1;
  for (int i = 0; i <= rows; ++i) {
    items.push_back(std::make_unique<CTrayWndItem>());
    slot = stack.Place(items.back().get(), rect);
  }
  EXPECT_EQ(slot, rows + 2);  // slots 0 and 1 are held by windows
  EXPECT_TRUE(SameRect(rect, Slot((rows + 2) % rows, (rows + 2) / rows)));
  items.clear();  // never shown: plain delete gives the slots back
  EXPECT_EQ(stack.PlacedCount(), 2u);

  // Rows counted up from the bottom.
  RecordingStack bottom;
  bottom.Configure(true, kWidth, kHeight, frame.Hwnd(), IDB_CLOSE);
  CTrayWndItem a, b;
  bottom.Place(&a, rect);
  EXPECT_EQ(rect.bottom, work.bottom);
  bottom.Place(&b, rect);
  EXPECT_EQ(rect.bottom, work.bottom - kHeight);
  EXPECT_EQ(rect.right, work.right);
  bottom.Remove(&a);
  bottom.Remove(&b);
}

TEST_F(NotifyTest, TheCursorBringsADisappearingPopupBackAndTurnsItsTextBlue) {
  bool gone = false;
  WatchedNotifyWnd* popup = News(&gone, L"", L"Blue when hovered");
  popup->SetDisplayTime(200);
  stack.ShowPopup(popup);
  HWND hwnd = popup->Hwnd();
  auto countBlue = [&] {
    Picture p = test::RenderErase(hwnd);
    int n = 0;
    for (uint32_t px : p.pixels) n += px == Picture::Rgb(0, 0, 255);
    return n;
  };
  EXPECT_EQ(countBlue(), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return popup->Phase() == CTrayWndItem::kDisappearing && popup->Alpha() < 80; }, 3000));
  ASSERT_FALSE(gone);

  POINT centre = test::CenterOf(hwnd);
  test::MoveCursor(centre.x, centre.y);
  ASSERT_TRUE(test::PumpUntil([&] { return popup->Hovered(); }, 1000)) << "no hover notification";
  ASSERT_TRUE(test::PumpUntil([&] { return popup->Phase() == CTrayWndItem::kShown; }, 2000));
  EXPECT_EQ(test::LayeredAlpha(hwnd), 255);
  EXPECT_GT(countBlue(), 5);
  test::PumpFor(600);  // well past its display time: stays while the cursor is there
  EXPECT_EQ(popup->Phase(), CTrayWndItem::kShown);

  // Its display time is long over, so it goes as soon as the cursor leaves.
  test::MoveCursor(300, 700);
  EXPECT_TRUE(test::PumpUntil([&] { return gone; }, 2500));
  EXPECT_TRUE(frame.Views().empty());
}

TEST_F(NotifyTest, ALeftClickSendsViewOnceAndClosesTheCloseButtonAndRightClicksOnlyClose) {
  bool gone[3] = {};
  WatchedNotifyWnd* clicked = News(&gone[0], L"", L"Clicked item");
  stack.ShowPopup(clicked);
  HWND hwnd = clicked->Hwnd();
  const int w = win::ClientRect(hwnd).right;
  ASSERT_EQ(clicked->CloseSize().cx, 15);
  ASSERT_EQ(clicked->CloseSize().cy, 15);
  Click(clicked, WM_LBUTTONUP, w - 16, 16);  // just outside the close button
  ASSERT_EQ(frame.Views().size(), 1u);
  EXPECT_EQ(frame.Views()[0].title, L"Clicked item");
  EXPECT_EQ(frame.Views()[0].link, L"http://news.example/item");
  EXPECT_EQ(frame.Views()[0].extra, L"");
  EXPECT_FALSE(::IsWindowVisible(hwnd));
  EXPECT_EQ(stack.Count(NotifyStack::kRemoved), 1);  // at once, not after the fade
  EXPECT_FALSE(stack.IsPlaced(clicked));
  Click(clicked, WM_LBUTTONUP, 40, 40);  // a closed popup ignores clicks
  EXPECT_EQ(frame.Views().size(), 1u);

  WatchedNotifyWnd* closeButton = News(&gone[1]);
  stack.ShowPopup(closeButton);
  Click(closeButton, WM_LBUTTONUP, w - 15, 15);
  EXPECT_FALSE(::IsWindowVisible(closeButton->Hwnd()));

  WatchedNotifyWnd* right = News(&gone[2]);
  stack.ShowPopup(right);
  Click(right, WM_RBUTTONUP, 40, 40);
  EXPECT_FALSE(::IsWindowVisible(right->Hwnd()));
  EXPECT_EQ(frame.Views().size(), 1u) << "the close button and the right button open nothing";
  EXPECT_EQ(stack.PlacedCount(), 0u);

  // All three run out unseen and go, the removal not repeated.
  EXPECT_TRUE(test::PumpUntil([&] { return gone[0] && gone[1] && gone[2]; }, 3000));
  EXPECT_EQ(stack.Count(NotifyStack::kRemoved), 3);
  EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(NotifyTest, TheVersionPopupOpensOnlyWebLinksAndOnlyOnALeftClickOutsideTheCloseButton) {
  std::vector<std::wstring> opened;
  auto* right = new RecordingVersionWnd(L"http://update.example/a", &opened);
  stack.ShowPopup(right);
  Click(right, WM_RBUTTONUP, 40, 40);
  auto* closeButton = new RecordingVersionWnd(L"http://update.example/b", &opened);
  stack.ShowPopup(closeButton);
  Click(closeButton, WM_LBUTTONUP, win::ClientRect(closeButton->Hwnd()).right - 5, 5);
  EXPECT_TRUE(opened.empty());

  TraceCapture trace;
  auto* unsafe = new VersionNotifyWnd(L"file:///c:/windows/system32/calc.exe", L"9.9");
  EXPECT_EQ(unsafe->DisplayTime(), 0);
  stack.ShowPopup(unsafe);
  Click(unsafe, WM_LBUTTONUP, 40, 40);
  EXPECT_TRUE(trace.Contains(L"not a web link, not opened : file:///c:/windows/system32/calc.exe\n"));
}

TEST_F(NotifyTest, TheCategoryLinePushesTheBodyDownAndLineFeedsWrapTheBody) {
  bool gone[4] = {};
  WatchedNotifyWnd* plain = News(&gone[0], L"", L"X");
  WatchedNotifyWnd* withCategory = News(&gone[1], L"c", L"X");
  WatchedNotifyWnd* twoLines = News(&gone[2], L"", L"\r\n Hg\nHg \r\n");
  WatchedNotifyWnd* twoLinesCategory = News(&gone[3], L"c", L"Hg\nHg");
  stack.ShowPopup(plain);
  stack.ShowPopup(withCategory);
  stack.ShowPopup(twoLines);
  stack.ShowPopup(twoLinesCategory);
  const uint32_t back = Picture::Rgb(240, 248, 255);
  auto ink = [&](const Picture& p, int x0, int x1, int y0, int y1) {
    std::vector<int> rows;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (p.At(x, y) != back) {
          rows.push_back(y);
          break;
        }
    return rows;
  };
  Picture a = test::RenderErase(plain->Hwnd());
  Picture b = test::RenderErase(withCategory->Hwnd());
  ASSERT_EQ(a.width, kWidth);
  ASSERT_EQ(a.height, kHeight);
  // Frame, background, the line under the header, the close button with magenta gone.
  EXPECT_EQ(a.At(0, 30), 0u);
  EXPECT_EQ(a.At(kWidth - 1, 30), 0u);
  EXPECT_EQ(a.At(3, 20), 0u);
  EXPECT_EQ(a.At(kWidth - 4, 20), 0u);
  EXPECT_EQ(a.At(2, 20), back);
  EXPECT_EQ(a.At(10, 50), back);
  EXPECT_EQ(a.At(kWidth - 16, 2), back);  // a transparent corner of the close button
  EXPECT_NE(a.At(kWidth - 9, 9), back);   // its middle
  for (uint32_t px : a.pixels) ASSERT_NE(px, Picture::Rgb(255, 0, 255));

  // The category is drawn at the left under the line; without one nothing is there.
  EXPECT_TRUE(ink(a, 5, 20, 21, 34).empty());
  EXPECT_FALSE(ink(b, 5, 20, 21, 34).empty());
  // The body, centred in the box that starts 14 pixels lower with a category.
  std::vector<int> bodyA = ink(a, 60, 90, 21, kHeight - 1);
  std::vector<int> bodyB = ink(b, 60, 90, 21, kHeight - 1);
  ASSERT_FALSE(bodyA.empty());
  ASSERT_FALSE(bodyB.empty());
  EXPECT_EQ(bodyB.front() - bodyA.front(), 7);  // half of 14: the body is centred in the box

  // Two lines, trimmed of blanks and line breaks at the ends: two bands of ink.
  Picture c = test::RenderErase(twoLines->Hwnd());
  std::vector<int> rows = ink(c, 20, kWidth - 20, 21, kHeight - 1);
  ASSERT_FALSE(rows.empty());
  auto bandHeights = [](const std::vector<int>& inkRows) {
    std::vector<int> heights;
    for (size_t i = 0; i < inkRows.size(); ++i) {
      if (i > 0 && inkRows[i] == inkRows[i - 1] + 1) {
        ++heights.back();
      } else {
        heights.push_back(1);
      }
    }
    return heights;
  };
  const std::vector<int> bands = bandHeights(rows);
  ASSERT_EQ(bands.size(), 2u);
  // Both lines whole (the same text, the same height) and the block centred under the line.
  EXPECT_EQ(bands[0], bands[1]);
  EXPECT_LE(rows.back(), kHeight - 5);
  EXPECT_NEAR((rows.front() - 21) - (kHeight - 4 - rows.back()), 0, 4);
  // Under a category two lines do not fit: the first is shown whole, nothing of the second.
  Picture d = test::RenderErase(twoLinesCategory->Hwnd());
  const std::vector<int> cut = bandHeights(ink(d, 20, kWidth - 20, 34, kHeight - 1));
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0], bands[0]);
}

TEST_F(NotifyTest, AWindowThatCannotBeCreatedGivesItsSlotBackAndGoes) {
  class Failing : public NotifyWnd {
   public:
    Failing(HWND frame, bool* gone) : NotifyWnd(frame, L"c", L"t", L"l", L""), gone_(gone) {}
    ~Failing() override { *gone_ = true; }

   protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
      if (msg == WM_CREATE) return -1;
      return NotifyWnd::OnMessage(msg, wParam, lParam);
    }

   private:
    bool* gone_;
  };
  bool gone = false;
  stack.ShowPopup(new Failing(frame.Hwnd(), &gone));
  EXPECT_TRUE(gone);
  EXPECT_EQ(stack.PlacedCount(), 0u);
  EXPECT_EQ(stack.Count(NotifyStack::kRemoved), 1);
}

TEST_F(NotifyTest, TheStackDestroysPlacedPopupsAndPopupsMayOutliveIt) {
  bool gone[3] = {};
  auto owned = std::make_unique<RecordingStack>();
  owned->Configure(false, kWidth, kHeight, frame.Hwnd(), IDB_CLOSE);
  WatchedNotifyWnd* placed = News(&gone[0]);
  WatchedNotifyWnd* clicked = News(&gone[1]);
  owned->ShowPopup(placed);
  owned->ShowPopup(clicked);
  HWND placedWindow = placed->Hwnd();
  Click(clicked, WM_RBUTTONUP, 40, 40);
  owned.reset();
  EXPECT_TRUE(gone[0]);
  EXPECT_FALSE(::IsWindow(placedWindow));
  EXPECT_FALSE(gone[1]);
  // The clicked one runs out on its own without its stack.
  EXPECT_TRUE(test::PumpUntil([&] { return gone[1]; }, 3000));

  // A queued popup that was never shown is deleted plainly; one on screen can be too
  // (the frame does that at exit), and its window goes with it.
  delete News(&gone[2]);
  EXPECT_TRUE(gone[2]);
  bool shownGone = false;
  WatchedNotifyWnd* shown = News(&shownGone);
  stack.ShowPopup(shown);
  HWND shownWindow = shown->Hwnd();
  delete shown;
  EXPECT_TRUE(shownGone);
  EXPECT_FALSE(::IsWindow(shownWindow));
  EXPECT_EQ(stack.PlacedCount(), 0u);
}

TEST_F(NotifyTest, PopupsStayWhenTheOwnerIsMinimised) {
  bool gone = false;
  WatchedNotifyWnd* popup = News(&gone);
  popup->SetDisplayTime(0);
  stack.ShowPopup(popup);
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  ::ShowWindow(frame.Hwnd(), SW_MINIMIZE);
  test::PumpFor(100);
  EXPECT_TRUE(::IsIconic(frame.Hwnd()));
  EXPECT_TRUE(::IsWindowVisible(popup->Hwnd()));
  // What Windows tells owned popups of a window being minimised (Wine does not send it):
  // the default handling would hide the popup.
  ::SendMessageW(popup->Hwnd(), WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
  EXPECT_TRUE(::IsWindowVisible(popup->Hwnd()));
  // Any other reason gets the default handling.
  ::SendMessageW(popup->Hwnd(), WM_SHOWWINDOW, FALSE, SW_OTHERZOOM);
  EXPECT_FALSE(::IsWindowVisible(popup->Hwnd()));
}

namespace {

// A popup whose memory becomes unreadable when it is deleted (a guard page by hand): any
// use of the object after its deletion ends the test process with an access violation.
class GuardedNotifyWnd : public NotifyWnd {
 public:
  GuardedNotifyWnd(HWND frame, bool* clicked)
      : NotifyWnd(frame, L"Channel", L"title", L"http://news.example/item", L""), clicked_(clicked) {}
  static void* operator new(size_t size) {
    void* block = ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block) throw std::bad_alloc();
    return block;
  }
  static void operator delete(void* block, size_t size) {
    DWORD old = 0;
    ::VirtualProtect(block, size, PAGE_NOACCESS, &old);  // kept reserved: never reused
  }

 protected:
  // Whatever the frame does with 'VIEW' may end the popup; here it ends at once.
  void fun(int button) override {
    *clicked_ = true;
    ::DestroyWindow(Hwnd());
  }

 private:
  bool* clicked_;
};

}  // namespace

TEST_F(NotifyTest, APopupDeletedByItsOwnClickIsNotTouchedAgain) {
  for (UINT button : {WM_LBUTTONUP, WM_RBUTTONUP}) {
    bool clicked = false;
    auto* popup = new GuardedNotifyWnd(frame.Hwnd(), &clicked);
    stack.ShowPopup(popup);
    HWND hwnd = popup->Hwnd();
    ASSERT_TRUE(::IsWindow(hwnd));
    Click(popup, button, 40, 40);  // not on the close button
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(::IsWindow(hwnd));
    test::PumpFor(50);
  }
}
