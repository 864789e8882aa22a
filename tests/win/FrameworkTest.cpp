#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"
#include "support/win/WinTest.h"
#include "win/Dialog.h"
#include "win/Handles.h"
#include "win/Window.h"

namespace {

const wchar_t kClass[] = L"test.FrameworkWindow";

class ProbeWindow : public win::Window {
 public:
  bool Create(HWND parent = nullptr, bool failCreate = false) {
    failCreate_ = failCreate;
    RegisterWindowClass(kClass, 0, ::LoadCursorW(nullptr, IDC_ARROW));
    return CreateEx(0, kClass, L"probe", parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, parent,
                    nullptr);
  }
  int finalCalls = 0;
  int creates = 0;
  std::vector<UINT> commands;
  std::vector<UINT> preTranslated;
  int keyDowns = 0;
  bool consumeKeys = false;
  UINT lastNotifyCode = 0;
  LRESULT notifyResult = 0;

  bool PreTranslateMessage(MSG& msg) override {
    if (msg.message == WM_KEYDOWN) preTranslated.push_back(static_cast<UINT>(msg.wParam));
    return consumeKeys && msg.message == WM_KEYDOWN;
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_CREATE:
        ++creates;
        return failCreate_ ? -1 : 0;
      case WM_KEYDOWN:
        ++keyDowns;
        return 0;
    }
    return Window::OnMessage(msg, wParam, lParam);
  }
  bool OnCommand(UINT id, UINT, HWND) override {
    commands.push_back(id);
    return true;
  }
  bool OnUpdateCommand(UINT id, win::CommandState& state) override {
    if (id == 100) {
      state.Enable(false);
      state.SetCheck(true);
      return true;
    }
    if (id == 101) {
      state.SetCheck(true);
      return true;
    }
    return false;  // 102 keeps what the menu says
  }
  void OnFinalMessage() override { ++finalCalls; }

 private:
  bool failCreate_ = false;
};

class ProbeTree : public win::Window {
 public:
  bool attached = false;
  std::vector<UINT> notifyCodes;

 protected:
  bool OnAttached() override {
    attached = true;
    return true;
  }
  bool OnReflectedNotify(NMHDR& header, LRESULT& result) override {
    notifyCodes.push_back(header.code);
    result = 42;
    return true;
  }
};

}  // namespace

TEST(Window, FindsItselfAndEndsWithOneFinalMessage) {
  ProbeWindow w;
  ASSERT_TRUE(w.Create());
  HWND hwnd = w.Hwnd();
  EXPECT_EQ(win::Window::FromHandle(hwnd), &w);
  EXPECT_EQ(w.creates, 1);
  EXPECT_EQ(win::Window::FromHandle(::GetDesktopWindow()), nullptr);
  ::DestroyWindow(hwnd);
  EXPECT_EQ(w.Hwnd(), nullptr);
  EXPECT_EQ(w.finalCalls, 1);
  EXPECT_EQ(win::Window::FromHandle(hwnd), nullptr);
}

TEST(Window, FailedCreationLeavesTheObjectToItsCreator) {
  ProbeWindow w;
  EXPECT_FALSE(w.Create(nullptr, /*failCreate=*/true));
  EXPECT_EQ(w.Hwnd(), nullptr);
  EXPECT_EQ(w.finalCalls, 0);
  // The object is reusable.
  EXPECT_TRUE(w.Create());
}

TEST(Window, DestructorDestroysALiveWindow) {
  HWND hwnd;
  {
    ProbeWindow w;
    ASSERT_TRUE(w.Create());
    hwnd = w.Hwnd();
  }
  EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Window, SubclassedControlsAreFoundAndGetTheirNotificationsReflected) {
  ProbeWindow parent;
  ASSERT_TRUE(parent.Create());
  ProbeTree tree;
  RECT r{0, 0, 100, 100};
  ASSERT_TRUE(tree.CreateControl(0, WC_TREEVIEWW, WS_CHILD | WS_VISIBLE, r, parent.Hwnd(), 7));
  EXPECT_TRUE(tree.attached);
  EXPECT_EQ(win::Window::FromHandle(tree.Hwnd()), &tree);
  NMHDR header{tree.Hwnd(), 7, TVN_ITEMEXPANDEDW};
  EXPECT_EQ(::SendMessageW(parent.Hwnd(), WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)), 42);
  EXPECT_EQ(tree.notifyCodes, std::vector<UINT>{TVN_ITEMEXPANDEDW});
  HWND treeHwnd = tree.Hwnd();
  ::DestroyWindow(parent.Hwnd());
  EXPECT_FALSE(::IsWindow(treeHwnd));
  EXPECT_EQ(tree.Hwnd(), nullptr);
}

TEST(Window, CommandsRouteAndMenusAskForTheirStateWhenTheyOpen) {
  ProbeWindow w;
  ASSERT_TRUE(w.Create());
  ::SendMessageW(w.Hwnd(), WM_COMMAND, MAKEWPARAM(32782, 0), 0);
  EXPECT_EQ(w.commands, std::vector<UINT>{32782});

  test::MenuProbe probe;
  win::Menu menu(::CreatePopupMenu());
  ::AppendMenuW(menu.Get(), MF_STRING, 100, L"off and checked");
  ::AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED, 101, L"checked, keeps gray");
  ::AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED | MF_CHECKED, 102, L"unhandled");
  ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
  ::SetForegroundWindow(w.Hwnd());
  ::TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, 10, 10, 0, w.Hwnd(), nullptr);
  ASSERT_EQ(probe.Menus().size(), 1u);
  const auto& items = probe.Menus()[0];
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[0].grayed);
  EXPECT_TRUE(items[0].checked);
  EXPECT_TRUE(items[1].grayed);
  EXPECT_TRUE(items[1].checked);
  EXPECT_TRUE(items[2].grayed);
  EXPECT_TRUE(items[2].checked);
  EXPECT_TRUE(items[3].separator);
}

TEST(Window, PreTranslationWalksUpFromTheTargetWindow) {
  ProbeWindow parent, child;
  ASSERT_TRUE(parent.Create());
  ASSERT_TRUE(child.Create(parent.Hwnd()));
  ::PostMessageW(child.Hwnd(), WM_KEYDOWN, VK_F2, 0);
  test::PumpUntil([&] { return child.keyDowns == 1; }, 2000);
  EXPECT_EQ(child.preTranslated, std::vector<UINT>{VK_F2});
  EXPECT_EQ(parent.preTranslated, std::vector<UINT>{VK_F2});
  // A window that consumes the key stops it before its parent and its target.
  child.consumeKeys = true;
  ::PostMessageW(child.Hwnd(), WM_KEYDOWN, VK_F3, 0);
  test::PumpFor(100);
  EXPECT_EQ(child.keyDowns, 1);
  EXPECT_EQ(parent.preTranslated.size(), 1u);
}

TEST(Handles, SelectScopePutsThePreviousObjectBackIntoItsOwnDC) {
  win::MemoryDC a(::CreateCompatibleDC(nullptr)), b(::CreateCompatibleDC(nullptr));
  LOGFONTW lf{};
  lf.lfHeight = -12;
  win::Font font(::CreateFontIndirectW(&lf));
  HGDIOBJ originalA = ::GetCurrentObject(a.Get(), OBJ_FONT);
  HGDIOBJ originalB = ::GetCurrentObject(b.Get(), OBJ_FONT);
  {
    win::SelectScope scope(a.Get(), font.Get());
    EXPECT_EQ(::GetCurrentObject(a.Get(), OBJ_FONT), font.Get());
    win::SelectScope other(b.Get(), ::GetStockObject(SYSTEM_FIXED_FONT));
  }
  EXPECT_EQ(::GetCurrentObject(a.Get(), OBJ_FONT), originalA);
  EXPECT_EQ(::GetCurrentObject(b.Get(), OBJ_FONT), originalB);
}

TEST(Handles, OwnersReleaseExactlyOnceAndMoveOwnership) {
  win::KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE raw = event.Get();
  DWORD flags;
  ASSERT_TRUE(::GetHandleInformation(raw, &flags));
  win::KernelHandle moved(std::move(event));
  EXPECT_FALSE(event);
  EXPECT_EQ(moved.Get(), raw);
  EXPECT_TRUE(::GetHandleInformation(raw, &flags));
  moved.Reset();
  EXPECT_FALSE(::GetHandleInformation(raw, &flags));
  win::FileHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);
}

TEST(Dialog, ModalDialogsAreDrivenByTheAutomation) {
  {
    test::DialogAnswerer answer(/*pressOk=*/true);
    win::Dialog about(IDD_ABOUTBOX);
    EXPECT_EQ(about.DoModal(nullptr), IDOK);
    ASSERT_EQ(answer.SeenDialogs().size(), 1u);
    EXPECT_EQ(answer.SeenDialogs()[0].caption, L"pellora \xC815\xBCF4");
  }
  test::DialogAnswerer cancel(/*pressOk=*/false);
  win::Dialog input(IDD_INPUT);
  EXPECT_EQ(input.DoModal(nullptr), IDCANCEL);
}

TEST(Dialog, MessageBoxesGoThroughTheHook) {
  test::MessageBoxAnswerer boxes(IDNO);
  EXPECT_EQ(win::ShowMessageBox(nullptr, L"q?", L"pellora", MB_YESNO), IDNO);
  ASSERT_EQ(boxes.Count(), 1u);
  EXPECT_EQ(boxes.Last().text, L"q?");
  EXPECT_EQ(boxes.Last().type, UINT(MB_YESNO));
}

TEST(GuiObjectCount, SeesObjectsComeAndGo) {
  // The soak test's leak check relies on this count.
  const test::GuiObjects before = test::CountGuiObjects();
  std::vector<win::Brush> brushes;
  for (int i = 0; i < 10; ++i) brushes.emplace_back(::CreateSolidBrush(RGB(i, 2, 3)));
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  win::Menu menu(::CreatePopupMenu());
  const test::GuiObjects during = test::CountGuiObjects();
  EXPECT_EQ(during.gdi, before.gdi + 10);
  EXPECT_GE(during.user, before.user + 2);
  brushes.clear();
  menu.Reset();
  ::DestroyWindow(window);
  const test::GuiObjects after = test::CountGuiObjects();
  EXPECT_EQ(after.gdi, before.gdi);
  EXPECT_LE(after.user, during.user - 2);
}
