#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainFrame.h"
#include "res/resource.h"
#include "support/win/WinTest.h"
#include "win/Window.h"

using test::MessageBoxAnswerer;
using test::ScopedConfig;

namespace {

int Stored(const wchar_t* name) { return Config().GetInt(section::kWindow, name, -99999); }

RECT Work() { return win::NearestWorkArea(::GetDesktopWindow()); }

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(MainFrameFirstStart, AnswerNoCreatesTheIniFileButThisRunKeepsTheRegistry) {
  ScopedConfig config;
  MessageBoxAnswerer boxes(IDNO);
  {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, L"\xD658\xACBD\xC124\xC815\xC744 \xB808\xC9C0\xC2A4\xD2B8\xB9AC\xC5D0 "
                                 L"\xC800\xC7A5\xD558\xC2DC\xACA0\xC2B5\xB2C8\xAE4C?\n\nYes(Registry), No(ini)");
    EXPECT_EQ(boxes.Last().type, UINT(MB_YESNO));
    EXPECT_TRUE(FileExists(config.IniPath()));
    EXPECT_FALSE(config.Store().UsesIni());
    ::MoveWindow(frame.Hwnd(), 300, 200, 200, 300, TRUE);
    EXPECT_EQ(config.Store().GetInt(L"WINDOW", L"MAIN_X", -1), 300);
    EXPECT_EQ(config.Reopen()->GetInt(L"WINDOW", L"MAIN_X", -1), -1);  // the file got nothing
  }
  config.Restart();
  EXPECT_TRUE(Config().UsesIni());
  CMainFrame again;
  ASSERT_TRUE(again.Create());
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST(MainFrameFirstStart, AnswerYesLeavesNoFileAndTheNextStartAsksNothing) {
  ScopedConfig config;
  MessageBoxAnswerer boxes(IDYES);
  {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(FileExists(config.IniPath()));
    // The key exists at once, so the answer holds even if this run writes nothing.
    EXPECT_EQ(Config().CheckRegistryKey(), ConfigStore::StoreState::RegistryKey);
  }
  config.Restart();
  EXPECT_FALSE(Config().UsesIni());
  CMainFrame again;
  ASSERT_TRUE(again.Create());
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST(MainFrameFirstStart, AnExistingIniFileMeansNoQuestion) {
  ScopedConfig config(ScopedConfig::Backend::Ini);
  MessageBoxAnswerer boxes(IDYES);
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  EXPECT_EQ(boxes.Count(), 0u);
}

class MainFrameTest : public ::testing::Test {
 protected:
  ScopedConfig config{ScopedConfig::Backend::Ini};
  MessageBoxAnswerer boxes{IDYES};
};

TEST_F(MainFrameTest, StartsHiddenAtTheDefaultPlacement) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  EXPECT_FALSE(::IsWindowVisible(frame.Hwnd()));
  RECT work = win::PrimaryWorkArea();
  RECT r = win::WindowRect(frame.Hwnd());
  EXPECT_EQ(r.left, (work.right - work.left) - 200);
  EXPECT_EQ(r.top, work.bottom - 300);
  EXPECT_EQ(win::Width(r), 200);
  EXPECT_EQ(win::Height(r), 300);
  LONG ex = ::GetWindowLongW(frame.Hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_FALSE(ex & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(ex & WS_EX_TOPMOST);
  wchar_t title[64];
  ::GetWindowTextW(frame.Hwnd(), title, 64);
  EXPECT_STREQ(title, L"pellora");
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(frame.Hwnd(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 255);
}

TEST_F(MainFrameTest, StoredTopMostAndPlacementAreUsed) {
  Config().SetInt(L"WINDOW", L"MAIN_TOPMOST", 1);
  Config().SetInt(L"WINDOW", L"MAIN_X", 100);
  Config().SetInt(L"WINDOW", L"MAIN_Y", 120);
  Config().SetInt(L"WINDOW", L"MAIN_CX", 260);
  Config().SetInt(L"WINDOW", L"MAIN_CY", 310);
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  EXPECT_TRUE(::GetWindowLongW(frame.Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT r = win::WindowRect(frame.Hwnd());
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 120);
  EXPECT_EQ(win::Width(r), 260);
  EXPECT_EQ(win::Height(r), 310);
}

TEST_F(MainFrameTest, APositionOutsideTheWorkAreaMovesToItsBottomRightCorner) {
  Config().SetInt(L"WINDOW", L"MAIN_X", -5000);
  Config().SetInt(L"WINDOW", L"MAIN_Y", 40);
  Config().SetInt(L"WINDOW", L"MAIN_CX", 250);
  Config().SetInt(L"WINDOW", L"MAIN_CY", 320);
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  RECT work = Work();
  RECT r = win::WindowRect(frame.Hwnd());
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(win::Width(r), 250);
  EXPECT_EQ(win::Height(r), 320);
  EXPECT_EQ(Stored(L"MAIN_X"), work.right - 250);
  EXPECT_EQ(Stored(L"MAIN_Y"), work.bottom - 320);
}

TEST_F(MainFrameTest, MovesSnapToEdgesWithin14PixelsAndAreStored) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  RECT work = Work();
  ::MoveWindow(frame.Hwnd(), work.left + 14, work.top + 200, 200, 300, TRUE);
  EXPECT_EQ(win::WindowRect(frame.Hwnd()).left, work.left);
  EXPECT_EQ(Stored(L"MAIN_X"), work.left);
  EXPECT_EQ(Stored(L"MAIN_Y"), work.top + 200);
  ::MoveWindow(frame.Hwnd(), work.left + 15, work.top + 200, 200, 300, TRUE);
  EXPECT_EQ(win::WindowRect(frame.Hwnd()).left, work.left + 15);
  EXPECT_EQ(Stored(L"MAIN_X"), work.left + 15);
  // Near the bottom-right corner: both right and bottom snap.
  ::MoveWindow(frame.Hwnd(), work.right - 200 - 10, work.bottom - 300 + 9, 200, 300, TRUE);
  RECT r = win::WindowRect(frame.Hwnd());
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(Stored(L"MAIN_X"), work.right - 200);
  EXPECT_EQ(Stored(L"MAIN_Y"), work.bottom - 300);
}

TEST_F(MainFrameTest, ResizingStoresThePlacementButMinimiseAndMaximiseDoNot) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  ::MoveWindow(frame.Hwnd(), 300, 200, 240, 360, TRUE);
  EXPECT_EQ(Stored(L"MAIN_CX"), 240);
  EXPECT_EQ(Stored(L"MAIN_CY"), 360);
  ::ShowWindow(frame.Hwnd(), SW_MINIMIZE);
  test::PumpFor(50);
  ::ShowWindow(frame.Hwnd(), SW_RESTORE);
  ::ShowWindow(frame.Hwnd(), SW_MAXIMIZE);
  test::PumpFor(50);
  EXPECT_TRUE(::IsZoomed(frame.Hwnd()));
  EXPECT_EQ(Stored(L"MAIN_X"), 300);
  EXPECT_EQ(Stored(L"MAIN_Y"), 200);
  EXPECT_EQ(Stored(L"MAIN_CX"), 240);
  EXPECT_EQ(Stored(L"MAIN_CY"), 360);
}

TEST_F(MainFrameTest, CloseAndEscapeHideTheWindowWhichStaysAlive) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  ::SendMessageW(frame.Hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(frame.Hwnd()));
  EXPECT_TRUE(::IsWindow(frame.Hwnd()));

  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  ::SetForegroundWindow(frame.Hwnd());
  ::SetActiveWindow(frame.Hwnd());
  ASSERT_EQ(::GetActiveWindow(), frame.Hwnd());
  ::PostMessageW(frame.Hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return !::IsWindowVisible(frame.Hwnd()); }, 2000));
  EXPECT_TRUE(::IsWindow(frame.Hwnd()));
}

TEST_F(MainFrameTest, ExitRemovesTheTrayIconAndDestroysTheWindow) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  HWND trayWindow = frame.Tray()->Hwnd();
  ::SendMessageW(frame.Hwnd(), WM_COMMAND, IDM_EXIT, 0);
  EXPECT_EQ(frame.Tray(), nullptr);
  EXPECT_FALSE(::IsWindow(trayWindow));
  EXPECT_EQ(frame.Hwnd(), nullptr);
}

TEST_F(MainFrameTest, TaskbarRestartBuildsANewTrayIcon) {
  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  HWND oldTray = frame.Tray()->Hwnd();
  ::SendMessageW(frame.Hwnd(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_TRUE(test::PumpUntil([&] { return frame.Tray() && frame.Tray()->Hwnd() != oldTray; }));
  EXPECT_FALSE(::IsWindow(oldTray));
  EXPECT_NE(frame.Tray()->Data().hIcon, nullptr);
  EXPECT_STREQ(frame.Tray()->Data().szTip, L"pellora");
  EXPECT_EQ(frame.Tray()->Data().hWnd, frame.Tray()->Hwnd());
}
