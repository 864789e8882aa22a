#include <gtest/gtest.h>
#include <winsock2.h>

#include <atomic>
#include <thread>

#include "version.h"
#include "app/FrameFixture.h"
#include "display/NotifyWnd.h"
#include "display/VersionNotifyWnd.h"
#include "net/FeedFetcher.h"
#include "res/resource.h"
#include "support/TraceCapture.h"
#include "support/net/Loopback.h"

using test::PostedMessageSpy;

namespace {

class FrameDispatchTest : public test::FrameTest {
 protected:
  size_t RunsAfterTick() {
    PostedMessageSpy spy(frame.Hwnd(), WM_USER);
    Tick();
    test::PumpFor(30);
    return spy.Count(frame_code::kRun);
  }
  void EndedAgo(unsigned ms) { frame.SetLastFetchEndForTest(::GetTickCount() - ms); }
  // A tick at a moment when a refresh is due by the clock (a refresh started by an
  // earlier tick has ended first, and its end moved a minute back).
  size_t RunsWhenDue() {
    EXPECT_TRUE(test::PumpUntil([&] { return !frame.Fetching(); }));
    EndedAgo(60000);
    return RunsAfterTick();
  }
};

// A server that accepts connections and never answers: a fetch against it stays running.
class SilentServer {
 public:
  SilentServer() {
    listener_ = test::ListenOnLoopback(8, port_);
    thread_ = std::thread([this] {
      for (;;) {
        SOCKET s = ::accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        ++connections_;
        accepted_.push_back(s);
      }
    });
  }
  ~SilentServer() {
    ::closesocket(listener_);
    thread_.join();
    for (SOCKET s : accepted_) ::closesocket(s);
  }
  int Port() const { return port_; }
  int Connections() const { return connections_; }

 private:
  SOCKET listener_;
  uint16_t port_ = 0;
  std::atomic<int> connections_{0};
  std::vector<SOCKET> accepted_;
  std::thread thread_;
};

}  // namespace

TEST_F(FrameDispatchTest, TheFirstTickAfterStartRequestsARefresh) {
  ASSERT_EQ(frame.LastFetchEnd(), 0u);
  if (::GetTickCount() < 10000) GTEST_SKIP() << "the system started less than 10 s ago";
  EXPECT_EQ(RunsAfterTick(), 1u);
}

TEST_F(FrameDispatchTest, TheIntervalCountsFromTheEndOfTheLastFetchAndIsAtLeastTenSeconds) {
  Config().SetInt(L"CONFIG", L"RSS_TIMER", 5);
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, 0);
  EXPECT_EQ(RunsAfterTick(), 0u);
  EndedAgo(9500);
  EXPECT_EQ(RunsAfterTick(), 0u);
  EndedAgo(10100);
  EXPECT_EQ(RunsAfterTick(), 1u);
  Config().SetInt(L"CONFIG", L"RSS_TIMER", 11);
  EndedAgo(10500);
  EXPECT_EQ(RunsAfterTick(), 0u);
  EndedAgo(11100);
  EXPECT_EQ(RunsAfterTick(), 1u);
  Config().SetInt(L"CONFIG", L"RSS_TIMER", 0);
  EndedAgo(9500);
  EXPECT_EQ(RunsAfterTick(), 0u);
  EndedAgo(10100);
  EXPECT_EQ(RunsAfterTick(), 1u);
}

TEST_F(FrameDispatchTest, FocusInTheMainWindowBlocksAutomaticRefreshButNotTheCommand) {
  EndedAgo(60000);
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  ::SetForegroundWindow(frame.Hwnd());
  ::SetFocus(frame.Tree().Hwnd());
  ASSERT_EQ(::GetFocus(), frame.Tree().Hwnd());
  EXPECT_EQ(RunsAfterTick(), 0u);
  ::SetFocus(frame.Hwnd());
  EXPECT_EQ(RunsAfterTick(), 0u);
  PostedMessageSpy spy(frame.Hwnd(), WM_USER);
  ::SendMessageW(frame.Hwnd(), WM_COMMAND, IDM_REFRESH, 0);
  test::PumpFor(30);
  EXPECT_EQ(spy.Count(frame_code::kRun), 1u);
  ::SetFocus(nullptr);
  EXPECT_EQ(RunsWhenDue(), 1u);
}

TEST_F(FrameDispatchTest, AFullScreenWindowInFrontBlocksRefreshUnlessItIsTheDesktop) {
  HWND cover = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"game", WS_POPUP | WS_VISIBLE, 0, 0,
                                 ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr,
                                 nullptr, nullptr, nullptr);
  ::SetForegroundWindow(cover);
  ASSERT_EQ(::GetForegroundWindow(), cover);
  TraceCapture trace;
  EXPECT_EQ(RunsWhenDue(), 0u);
  EXPECT_TRUE(trace.Contains(L"Full\n"));
  ::SetWindowTextW(cover, L"Program Manager");
  EXPECT_EQ(RunsWhenDue(), 1u);
  // Moved elsewhere with the screen's size, it still counts as full screen.
  ::SetWindowTextW(cover, L"video");
  ::MoveWindow(cover, 40, 40, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), FALSE);
  EXPECT_EQ(RunsWhenDue(), 0u);
  // One pixel narrower, it does not.
  ::MoveWindow(cover, 0, 0, ::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN), FALSE);
  EXPECT_EQ(RunsWhenDue(), 1u);
  ::DestroyWindow(cover);

  // The shell's window behind the desktop icons has no title: it is the desktop all the same.
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.lpszClassName = L"WorkerW";
  ::RegisterClassW(&wc);
  HWND worker = ::CreateWindowExW(0, L"WorkerW", L"", WS_POPUP | WS_VISIBLE, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                  ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(worker);
  ASSERT_EQ(::GetForegroundWindow(), worker);
  EXPECT_EQ(RunsWhenDue(), 1u);
  ::DestroyWindow(worker);
}

TEST_F(FrameDispatchTest, RunStartsOneFetchAndIsIgnoredWhileItRuns) {
  SilentServer server;
  Config().SetString(L"CONFIG\\aaaa0001", L"URL", L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/rss");
  PostFrameCode(frame.Hwnd(), frame_code::kRun, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return server.Connections() == 1; }, 5000));
  EXPECT_TRUE(frame.Fetching());
  EXPECT_TRUE(frame.Tray()->Animating());
  test::MenuProbe probe;
  win::Menu menu(::CreatePopupMenu());
  ::AppendMenuW(menu.Get(), MF_STRING, IDM_REFRESH, L"refresh");
  ::TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, 0, 0, 0, frame.Hwnd(), nullptr);
  ASSERT_EQ(probe.Menus().size(), 1u);
  EXPECT_TRUE(probe.Menus()[0][0].grayed);
  PostFrameCode(frame.Hwnd(), frame_code::kRun, 0);
  ::SendMessageW(frame.Hwnd(), WM_COMMAND, IDM_REFRESH, 0);
  test::PumpFor(500);
  EXPECT_EQ(server.Connections(), 1);
  // 'END' stops the animation and notes the time.
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, 0);
  EXPECT_FALSE(frame.Fetching());
  EXPECT_FALSE(frame.Tray()->Animating());
  EXPECT_NEAR(double(frame.LastFetchEnd()), double(::GetTickCount()), 1000.0);
}

TEST_F(FrameDispatchTest, PopupsShowOneAtATimeAndTheTickerComesBackAfterTheLast) {
  auto* entry = new ViewRequest(L"ticker entry", L"http://n/t");
  ::PostMessageW(frame.Ticker().Hwnd(), WM_USER, frame_code::kAdd, reinterpret_cast<LPARAM>(entry));
  test::PumpFor(30);
  ::ShowWindow(frame.Ticker().Hwnd(), SW_SHOWNOACTIVATE);
  auto* first = new NotifyWnd(frame.Hwnd(), L"channel", L"first", L"http://n/1", L"");
  auto* second = new NotifyWnd(frame.Hwnd(), L"channel", L"second", L"http://n/2", L"");
  frame.QueuePopup(std::unique_ptr<CTrayWndItem>(first));
  frame.QueuePopup(std::unique_ptr<CTrayWndItem>(second));
  test::PumpFor(50);
  EXPECT_EQ(frame.PopupsShown(), 1);
  EXPECT_EQ(frame.QueuedPopups(), 2u);
  EXPECT_TRUE(first->Hwnd() && ::IsWindowVisible(first->Hwnd()));
  EXPECT_EQ(second->Hwnd(), nullptr);
  EXPECT_FALSE(::IsWindowVisible(frame.Ticker().Hwnd()));

  // A right click closes the first; the second appears; the ticker stays hidden.
  ::SendMessageW(first->Hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(40, 40));
  ASSERT_TRUE(test::PumpUntil([&] { return second->Hwnd() != nullptr; }, 3000));
  EXPECT_EQ(frame.QueuedPopups(), 1u);
  EXPECT_EQ(frame.PopupsShown(), 1);
  EXPECT_FALSE(::IsWindowVisible(frame.Ticker().Hwnd()));

  ::SendMessageW(second->Hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(40, 40));
  ASSERT_TRUE(test::PumpUntil([&] { return frame.QueuedPopups() == 0; }, 3000));
  EXPECT_EQ(frame.PopupsShown(), 0);
  EXPECT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(frame.Ticker().Hwnd()) != FALSE; }, 1000));
}

TEST_F(FrameDispatchTest, VersionRepliesAreJudgedAgainstTheRunningVersion) {
  auto reply = [&](const wchar_t* text) {
    ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kVer, reinterpret_cast<LPARAM>(text));
  };
  TraceCapture trace;
  reply(L"VER " PELLORA_VERSION_TEXT " http://pellora.example/download");
  EXPECT_TRUE(trace.Contains(L"Ver : VER " PELLORA_VERSION_TEXT " http://pellora.example/download\n"));
  EXPECT_EQ(boxes.Count(), 0u);  // the check at start is silent
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_EQ(frame.LastVersion(), L"" PELLORA_VERSION_TEXT);
  reply(L"\r\nVER\r\n" PELLORA_VERSION_TEXT "\r\nhttp://pellora.example/download\r\n");
  ASSERT_EQ(boxes.Count(), 1u);  // a later check confirms
  EXPECT_EQ(boxes.Last().text, CMainFrame::kLatestVersionText);
  EXPECT_EQ(boxes.Last().type & MB_ICONMASK, UINT(MB_ICONINFORMATION));

  reply(L"ver 2.5.0.0 http://x/");
  reply(L"<html>404</html>");
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_EQ(frame.LastVersion(), L"" PELLORA_VERSION_TEXT);

  reply(L"VER 2.5.0.0 http://pellora.example/new");
  reply(L"VER 2.3.0.0 http://pellora.example/old");
  ASSERT_EQ(frame.QueuedPopups(), 2u);
  EXPECT_NE(dynamic_cast<VersionNotifyWnd*>(frame.QueuedPopup(0)), nullptr);
  EXPECT_NE(dynamic_cast<VersionNotifyWnd*>(frame.QueuedPopup(1)), nullptr);
  EXPECT_EQ(frame.LastVersion(), L"2.3.0.0");
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(FrameDispatchTest, ViewClearsTheBoldStateAndOpensOnlyWebLinks) {
  FeedResult result{L"c1", L"http://n/rss",
                    test::Rss(L"N", {{L"web", L"http://n/web", L""}, {L"file", L"file:///C:/windows/notepad.exe", L""}})};
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
  CFeedItem* web = Item(L"http://n/web");
  CFeedItem* file = Item(L"file:///C:/windows/notepad.exe");
  ASSERT_TRUE(web && file);
  ASSERT_TRUE(web->unread);
  Config().SetInt(L"CONFIG", L"INTERNAL", 1);
  TraceCapture trace;
  ViewRequest openFile(file->title, file->key);
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kView, reinterpret_cast<LPARAM>(&openFile));
  EXPECT_FALSE(file->unread);
  EXPECT_FALSE(::IsWindowVisible(frame.ViewFrame().Hwnd()));
  EXPECT_TRUE(trace.Contains(L"not a web link, not opened : file:///C:/windows/notepad.exe\n"));

  ViewRequest openWeb(web->title, web->key);
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kView, reinterpret_cast<LPARAM>(&openWeb));
  EXPECT_FALSE(web->unread);
  EXPECT_FALSE(TreeView_GetItemState(frame.Tree().Hwnd(), web->treeHandle, TVIS_BOLD) & TVIS_BOLD);
  EXPECT_TRUE(::IsWindowVisible(frame.ViewFrame().Hwnd()));
  wchar_t title[64];
  ::GetWindowTextW(frame.ViewFrame().Hwnd(), title, 64);
  EXPECT_STREQ(title, L"web");
}

TEST_F(FrameDispatchTest, NullArgumentsAndUnknownCodesAreIgnored) {
  for (FrameCode code : {frame_code::kXml, frame_code::kView, frame_code::kAdd, frame_code::kDel})
    EXPECT_EQ(::SendMessageW(frame.Hwnd(), WM_USER, code, 0), 0);
  EXPECT_EQ(::SendMessageW(frame.Hwnd(), WM_USER, MakeFrameCode("ZZZZ"), 12345), 0);
  // A stray 'NOTI' 2 with no popup shown leaves the count at zero: the next popup still
  // shows at once (a count below zero would hold every later popup back for good).
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kNoti, 2);
  EXPECT_EQ(frame.PopupsShown(), 0);
  auto* popup = new NotifyWnd(frame.Hwnd(), L"channel", L"title", L"http://n/1", L"");
  frame.QueuePopup(std::unique_ptr<CTrayWndItem>(popup));
  EXPECT_EQ(frame.PopupsShown(), 1);
  EXPECT_TRUE(test::PumpUntil([&] { return popup->Hwnd() && ::IsWindowVisible(popup->Hwnd()); }, 2000));
}

TEST_F(FrameDispatchTest, TheMainWindowFadesWhileTheBrowserFrameIsActive) {
  ::ShowWindow(frame.ViewFrame().Hwnd(), SW_SHOWNORMAL);
  ::SetForegroundWindow(frame.ViewFrame().Hwnd());
  ASSERT_EQ(::GetActiveWindow(), frame.ViewFrame().Hwnd());
  Tick();
  EXPECT_EQ(frame.Opacity(), 30);
  BYTE alpha = 0;
  ::GetLayeredWindowAttributes(frame.Hwnd(), nullptr, &alpha, nullptr);
  EXPECT_EQ(alpha, 76);
  // Another program comes to the front: only the tick can give the opacity back (the
  // main window's own focus handler does it too, so the frame must not be activated).
  HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
  ::SetForegroundWindow(other);
  ASSERT_TRUE(test::PumpUntil([&] { return ::GetActiveWindow() == other; }, 2000));
  EXPECT_EQ(frame.Opacity(), 30);
  Tick();
  EXPECT_EQ(frame.Opacity(), 100);
  ::GetLayeredWindowAttributes(frame.Hwnd(), nullptr, &alpha, nullptr);
  EXPECT_EQ(alpha, 255);
  ::DestroyWindow(other);
}

namespace {
bool connected = true;
bool Connected() { return connected; }
}  // namespace

TEST_F(FrameDispatchTest, AWakeFromSleepOrAnOfflineRunRefreshesOnceTheConnectionIsBack) {
  SetConnectionProbeForTesting(&Connected);
  EndedAgo(0);
  EXPECT_EQ(RunsAfterTick(), 0u);  // not due by the clock
  ::SendMessageW(frame.Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(RunsAfterTick(), 1u);
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.Fetching(); }));
  EXPECT_EQ(RunsAfterTick(), 0u);  // back to the usual schedule

  // A run that found no connection: asked at once, then not again within ten seconds.
  connected = false;
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, kEndOffline);
  EXPECT_EQ(RunsAfterTick(), 0u);
  connected = true;
  EXPECT_EQ(RunsAfterTick(), 0u);
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, kEndOffline);
  EXPECT_EQ(RunsAfterTick(), 1u);
  SetConnectionProbeForTesting(nullptr);
}
