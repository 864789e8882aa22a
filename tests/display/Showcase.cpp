// Puts the display windows on screen with sample content for the README's screenshots:
// the ticker, a news popup with a category and a two-line body, the version popup and the
// browser frame. Prints each window's screen rectangle ("name left top width height"),
// then "ready", and keeps running for the given number of seconds (default 20).
//
// usage (inside scripts/wine-session): display_showcase.exe [seconds]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "config/ConfigStore.h"
#include "display/NotifyStack.h"
#include "display/NotifyWnd.h"
#include "display/TickerWnd.h"
#include "display/VersionNotifyWnd.h"
#include "display/ViewFrm.h"
#include "res/resource.h"
#include "win/Handles.h"
#include "win/Window.h"

namespace {

class Owner : public win::Window {
 public:
  bool Create() {
    RegisterWindowClass(L"pellora.showcase.Owner", 0, nullptr);
    return CreateEx(0, L"pellora.showcase.Owner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr);
  }
};

void Pump(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) win::Window::ProcessMessage(msg);
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

void Print(const char* name, HWND hwnd) {
  RECT r = win::WindowRect(hwnd);
  std::printf("%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 20;
  ::OleInitialize(nullptr);
  // A profile of its own in the temporary folder, with the placements of the picture.
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  const std::wstring ini = std::wstring(dir) + L"pellora-showcase.ini";
  {
    win::FileHandle file(
        ::CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    static const BYTE bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.Get(), bom, 2, &written, nullptr);
  }
  auto store = std::make_unique<ConfigStore>(L"pellora-showcase", HKEY_CURRENT_USER, ini);
  SetConfigOverride(store.get());
  RECT work = win::PrimaryWorkArea();
  Config().SetInt(section::kWindow, L"TICKER_X", work.right - 380);
  Config().SetInt(section::kWindow, L"TICKER_Y", 400);  // below three popups, also at 200 %
  Config().SetInt(section::kWindow, L"VIEW_X", 60);
  Config().SetInt(section::kWindow, L"VIEW_Y", 60);
  Config().SetInt(section::kWindow, L"VIEW_CX", 640);
  Config().SetInt(section::kWindow, L"VIEW_CY", 420);

  Owner owner;
  owner.Create();

  CViewFrm view;
  view.Create(IDR_VIEWFRAME, IDI_TRAY);
  ::SetWindowTextW(view.Hwnd(), L"새 버전의 렌더링 엔진 공개");
  view.Browser().Navigate(L"http://127.0.0.1:9/");
  ::ShowWindow(view.Hwnd(), SW_SHOWMINIMIZED);
  ::ShowWindow(view.Hwnd(), SW_SHOWNORMAL);

  TickerWnd ticker;
  ticker.Create(owner.Hwnd());
  SendFrameCode(ticker.Hwnd(), frame_code::kMain, reinterpret_cast<LPARAM>(owner.Hwnd()));
  for (const wchar_t* title : {L"서울 오늘 맑음, 낮 최고 25도", L"pellora 2.5 release notes",
                               L"새 버전의 렌더링 엔진 공개", L"주간 기술 소식 모음"})
    PostFrameCode(ticker.Hwnd(), frame_code::kAdd, reinterpret_cast<LPARAM>(new ViewRequest(title, L"http://127.0.0.1/")));
  RECT t = win::WindowRect(ticker.Hwnd());
  ::SetCursorPos(t.right - 2, t.bottom - 2);  // paused and opaque under the cursor
  ::ShowWindow(ticker.Hwnd(), SW_SHOWNOACTIVATE);

  NotifyStack stack;
  stack.Configure(false, 150, 60, owner.Hwnd(), IDB_CLOSE);
  auto* news = new NotifyWnd(owner.Hwnd(), L"기술 뉴스", L"새 버전의 렌더링 엔진 공개\n성능이 두 배로", L"http://127.0.0.1/",
                             L"소프트웨어");
  news->SetDisplayTime(0);
  stack.ShowPopup(news);
  auto* version = new VersionNotifyWnd(L"http://127.0.0.1/download", L"2.5.0.0");
  stack.ShowPopup(version);
  // Without a category the body has room for both of its lines.
  auto* twoLines = new NotifyWnd(owner.Hwnd(), L"World News", L"Museum opens a hall\nof old computers",
                                 L"http://127.0.0.1/", L"");
  twoLines->SetDisplayTime(0);
  stack.ShowPopup(twoLines);

  Pump(300);
  ::SendMessageW(ticker.Hwnd(), WM_RBUTTONDOWN, 0, 0);  // the first title from its start: two in view
  Pump(1200);  // the popups fade in
  Print("ticker", ticker.Hwnd());
  Print("popup-news", news->Hwnd());
  Print("popup-version", version->Hwnd());
  Print("popup-two-lines", twoLines->Hwnd());
  Print("browser-frame", view.Hwnd());
  std::printf("ready\n");
  std::fflush(stdout);
  Pump(seconds * 1000);
  SetConfigOverride(nullptr);
  ::DeleteFileW(ini.c_str());
  return 0;
}
