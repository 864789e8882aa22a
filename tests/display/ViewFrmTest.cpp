#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include <string>

#include "DisplayTestSupport.h"
#include "config/ConfigStore.h"
#include "display/ViewFrm.h"
#include "res/resource.h"
#include "support/win/WinTest.h"

namespace {

int Stored(const wchar_t* name) { return Config().GetInt(section::kWindow, name, -99999); }

class ViewFrmTest : public ::testing::Test {
 protected:
  // The program's main does this for the UI thread; the control needs it.
  void SetUp() override {
    ASSERT_TRUE(screen.Held());
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
  }
  void TearDown() override {
    view.Destroy();
    ::OleUninitialize();
  }
  // As the frame's 'VIEW' shows it from hidden.
  void ShowFromHidden() {
    ::ShowWindow(view.Hwnd(), SW_SHOWMINIMIZED);
    ::ShowWindow(view.Hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(view.Hwnd());
    test::PumpUntil([&] { return ::GetActiveWindow() == view.Hwnd(); }, 1000);
  }
  static void Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &in, sizeof(in));
  }

  test::ScreenLock screen;  // first: held until everything below is gone
  test::ScopedConfig config{test::ScopedConfig::Backend::Ini};
  CViewFrm view;
};

}  // namespace

TEST_F(ViewFrmTest, IsCreatedHiddenWithoutMenuAtTheDefaultPlacementWithTheControlInside) {
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  HWND w = view.Hwnd();
  EXPECT_FALSE(::IsWindowVisible(w));
  EXPECT_EQ(::GetMenu(w), nullptr);
  EXPECT_EQ(::GetParent(w), nullptr);
  EXPECT_EQ(::GetWindow(w, GW_OWNER), nullptr);
  RECT r = win::WindowRect(w);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(win::Width(r), 800);
  EXPECT_EQ(win::Height(r), 600);
  EXPECT_FALSE(::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_EQ(::GetWindowLongW(w, GWL_STYLE) & WS_OVERLAPPEDWINDOW, LONG(WS_OVERLAPPEDWINDOW));
  EXPECT_NE(::SendMessageW(w, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(::GetWindowTextLengthW(w), 0);

  // The control fills the client area with 2 pixels to spare on every side.
  CWebBrowser2& browser = view.Browser();
  ASSERT_TRUE(browser.IsAlive());
  EXPECT_EQ(::GetParent(browser.Hwnd()), w);
  ASSERT_TRUE(browser.HasControl()) << "the system web-browser control could not be hosted";
  RECT client = win::ClientRect(w);
  RECT host = win::WindowRect(browser.Hwnd());
  ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&host), 2);
  EXPECT_EQ(host.left, -2);
  EXPECT_EQ(host.top, -2);
  EXPECT_EQ(host.right, client.right + 2);
  EXPECT_EQ(host.bottom, client.bottom + 2);
  HWND control = browser.ControlWindow();
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(::IsChild(browser.Hwnd(), control));

  // A resize reaches the control through its in-place object.
  ::MoveWindow(w, 120, 110, 640, 480, TRUE);
  test::PumpFor(50);
  RECT inner = win::ClientRect(control);
  RECT hostClient = win::ClientRect(browser.Hwnd());
  EXPECT_EQ(win::Width(inner), win::Width(hostClient));
  EXPECT_EQ(win::Height(inner), win::Height(hostClient));
  EXPECT_EQ(win::Width(hostClient), win::Width(win::ClientRect(w)) + 4);
}

TEST_F(ViewFrmTest, StoredPlacementIsClampedIntoThePrimaryWorkArea) {
  Config().SetInt(section::kWindow, L"VIEW_X", -50);
  Config().SetInt(section::kWindow, L"VIEW_Y", 20);
  Config().SetInt(section::kWindow, L"VIEW_CX", 500);
  Config().SetInt(section::kWindow, L"VIEW_CY", 400);
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  RECT r = win::WindowRect(view.Hwnd());
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(win::Width(r), 500);
  EXPECT_EQ(Stored(L"VIEW_X"), 0);
  view.Destroy();

  // Past the right and bottom edges: pulled left and up, the size kept.
  RECT work = win::PrimaryWorkArea();
  Config().SetInt(section::kWindow, L"VIEW_X", work.right - 100);
  Config().SetInt(section::kWindow, L"VIEW_Y", work.bottom - 50);
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  r = win::WindowRect(view.Hwnd());
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(win::Width(r), 500);
  EXPECT_EQ(win::Height(r), 400);
}

TEST_F(ViewFrmTest, CtrlWAndEscapeHideTheFrameAndParkTheControlOnABlankPage) {
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  CWebBrowser2& browser = view.Browser();
  ::SetWindowTextW(view.Hwnd(), L"An item");
  const DWORD before = ::GetTickCount();
  browser.Navigate(L"http://127.0.0.1:9/item");
  EXPECT_LT(::GetTickCount() - before, 3000u) << "navigating must not block";
  ShowFromHidden();
  ASSERT_EQ(::GetActiveWindow(), view.Hwnd());
  RECT shownAt = win::WindowRect(view.Hwnd());

  // W alone is just a key.
  Key('W', false);
  Key('W', true);
  test::PumpFor(200);
  EXPECT_TRUE(::IsWindowVisible(view.Hwnd()));
  EXPECT_EQ(browser.StopCount(), 0);

  Key(VK_CONTROL, false);
  Key('W', false);
  Key('W', true);
  Key(VK_CONTROL, true);
  ASSERT_TRUE(test::PumpUntil([&] { return !::IsWindowVisible(view.Hwnd()); }, 2000));
  EXPECT_TRUE(::IsWindow(view.Hwnd())) << "closing only hides";
  EXPECT_EQ(browser.StopCount(), 1);
  EXPECT_EQ(browser.LastUrl(), L"about:blank");
  // The control itself took the request and is parked on the blank page, not only our
  // wrapper's record of the call.
  ASSERT_TRUE(browser.HasControl());
  EXPECT_EQ(browser.LastResult(), S_OK);
  EXPECT_TRUE(test::PumpUntil([&] { return browser.LocationUrl() == L"about:blank"; }, 3000)) << browser.LocationUrl();

  // Shown again by the next link: same frame, same place.
  browser.Navigate(L"http://127.0.0.1:9/next");
  ShowFromHidden();
  RECT again = win::WindowRect(view.Hwnd());
  EXPECT_TRUE(::EqualRect(&shownAt, &again));
  ASSERT_EQ(::GetActiveWindow(), view.Hwnd());
  Key(VK_ESCAPE, false);
  Key(VK_ESCAPE, true);
  ASSERT_TRUE(test::PumpUntil([&] { return !::IsWindowVisible(view.Hwnd()); }, 2000));
  EXPECT_EQ(browser.StopCount(), 2);
  EXPECT_EQ(browser.LastUrl(), L"about:blank");

  // The close box does the same.
  ShowFromHidden();
  ::SendMessageW(view.Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(view.Hwnd()));
  EXPECT_EQ(browser.StopCount(), 3);
}

TEST_F(ViewFrmTest, MovesSnapToThePrimaryWorkAreaEdgesAndAreStored) {
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  RECT work = win::PrimaryWorkArea();
  const LONG wd = work.right - work.left, ht = work.bottom - work.top;
  HWND w = view.Hwnd();
  ::ShowWindow(w, SW_SHOWNORMAL);

  ::MoveWindow(w, 10, 200, 600, 400, TRUE);
  RECT r = win::WindowRect(w);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(win::Width(r), 600);
  EXPECT_EQ(Stored(L"VIEW_X"), 0);
  EXPECT_EQ(Stored(L"VIEW_Y"), 200);

  ::MoveWindow(w, wd - 600 - 10, 14, 600, 400, TRUE);  // right edge 10 short, top 14 down
  r = win::WindowRect(w);
  EXPECT_EQ(r.right, wd);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(Stored(L"VIEW_X"), wd - 600);
  EXPECT_EQ(Stored(L"VIEW_Y"), 0);

  ::MoveWindow(w, 15, ht - 400 + 9, 600, 400, TRUE);  // 15 does not snap; bottom does
  r = win::WindowRect(w);
  EXPECT_EQ(r.left, 15);
  EXPECT_EQ(r.bottom, ht);
  EXPECT_EQ(Stored(L"VIEW_X"), 15);
  EXPECT_EQ(Stored(L"VIEW_Y"), ht - 400);
  EXPECT_EQ(Stored(L"VIEW_CX"), 600);
  EXPECT_EQ(Stored(L"VIEW_CY"), 400);
}

TEST_F(ViewFrmTest, ResizingWhileMaximisedOrMinimisedDoesNotOverwriteTheStoredPlacement) {
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  HWND w = view.Hwnd();
  ::ShowWindow(w, SW_SHOWNORMAL);
  ::MoveWindow(w, 200, 150, 700, 500, TRUE);
  ASSERT_EQ(Stored(L"VIEW_CX"), 700);

  ::ShowWindow(w, SW_MAXIMIZE);
  test::PumpFor(50);
  ASSERT_TRUE(::IsZoomed(w));
  ::SetWindowPos(w, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);  // resized while maximised
  test::PumpFor(50);
  EXPECT_EQ(Stored(L"VIEW_X"), 200);
  EXPECT_EQ(Stored(L"VIEW_Y"), 150);
  EXPECT_EQ(Stored(L"VIEW_CX"), 700);
  EXPECT_EQ(Stored(L"VIEW_CY"), 500);

  ::ShowWindow(w, SW_RESTORE);
  ::ShowWindow(w, SW_MINIMIZE);
  test::PumpFor(50);
  EXPECT_EQ(Stored(L"VIEW_X"), 200);
  EXPECT_EQ(Stored(L"VIEW_CX"), 700);

  ::ShowWindow(w, SW_RESTORE);
  ::MoveWindow(w, 210, 160, 720, 510, TRUE);
  EXPECT_EQ(Stored(L"VIEW_X"), 210);
  EXPECT_EQ(Stored(L"VIEW_CX"), 720);
  EXPECT_EQ(Stored(L"VIEW_CY"), 510);
}

TEST_F(ViewFrmTest, TheFocusGoesToTheControl) {
  ASSERT_TRUE(view.Create(IDR_VIEWFRAME, IDI_TRAY));
  HWND control = view.Browser().ControlWindow();
  ASSERT_NE(control, nullptr);
  auto inControl = [&] {
    HWND focus = ::GetFocus();
    return focus && (focus == control || ::IsChild(control, focus));
  };
  ShowFromHidden();
  EXPECT_TRUE(test::PumpUntil(inControl, 1000));
  ::SetFocus(nullptr);
  ::SetFocus(view.Hwnd());
  EXPECT_TRUE(test::PumpUntil(inControl, 1000));
}
