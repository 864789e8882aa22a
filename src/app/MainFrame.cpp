#include "app/MainFrame.h"

#include <cstdlib>
#include <ctime>

#include "common/Placement.h"
#include "common/WindowAlpha.h"
#include "config/ConfigStore.h"
#include "res/resource.h"
#include "win/Dialog.h"
#include "win/Module.h"

namespace {
constexpr UINT_PTR kTimer = 0;

Box ToBox(const RECT& r) { return Box{r.left, r.top, r.right, r.bottom}; }
}  // namespace

const wchar_t* const CMainFrame::kFirstStartQuestion =
    L"환경설정을 레지스트리에 저장하시겠습니까?\n\nYes(Registry), No(ini)";

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
  // Destroy while the overrides still run, so members go in a known order.
  Destroy();
}

bool CMainFrame::Create() { return LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW); }

bool CMainFrame::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!FrameWindow::PreCreateWindow(cs)) return false;
  cs.dwExStyle |= WS_EX_LAYERED;
  cs.dwExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  if (Config().GetInt(section::kWindow, L"MAIN_TOPMOST", 0)) cs.dwExStyle |= WS_EX_TOPMOST;
  cs.lpszClass = PlainClass();
  // Defaults: the left edge from the work area's width, the top edge from its bottom.
  RECT work = win::PrimaryWorkArea();
  cs.x = Config().GetInt(section::kWindow, L"MAIN_X", (work.right - work.left) - 200);
  cs.y = Config().GetInt(section::kWindow, L"MAIN_Y", work.bottom - 300);
  cs.cx = Config().GetInt(section::kWindow, L"MAIN_CX", 200);
  cs.cy = Config().GetInt(section::kWindow, L"MAIN_CY", 300);
  return true;
}

int CMainFrame::OnCreate() {
  // First start: neither the registry key nor the .ini file exists yet.
  if (Config().CheckRegistryKey() == -1) {
    if (win::ShowMessageBox(Hwnd(), kFirstStartQuestion, win::LoadResString(IDS_APP_TITLE), MB_YESNO) == IDNO)
      Config().CreateIniFile();
    else
      Config().CreateRegistryKey();  // remembered even if this run writes nothing
  }
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");

  CreateTrayIcon();
  std::wstring title = win::LoadResString(IDR_MAINFRAME);
  ::SetWindowTextW(Hwnd(), title.c_str());
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadSmallIcon(IDI_TRAY)));
  trayIcon_->SetTip(title.c_str());
  trayIcon_->SetIcon(IDI_TRAY);

  fetching_ = false;
  opacity_ = 100;
  lastFetchEnd_ = 0;
  arrivalCounter_ = 0;
  popupsShown_ = 0;
  SetWindowAlpha(Hwnd(), opacity_);

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  PostUser(frame_code::kVer, 0);
  ::SetTimer(Hwnd(), kTimer, 1000, nullptr);

  // Keep the window inside the work area of its monitor, with its size.
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box work = ToBox(win::NearestWorkArea(Hwnd()));
  if (StickOut(window, work)) {
    Box moved = IntoBottomRight(window, work);
    ::MoveWindow(Hwnd(), moved.left, moved.top, moved.Width(), moved.Height(), TRUE);
  }
  return 0;
}

void CMainFrame::CreateTrayIcon() {
  trayIcon_ = std::make_unique<MainTrayIcon>();
  trayIcon_->Create(Hwnd());
}

void CMainFrame::OnSetFocus() {
  if (opacity_ != 100) {
    opacity_ = 100;
    SetWindowAlpha(Hwnd(), 100);
  }
}

void CMainFrame::OnSize(UINT type) {
  if (type == SIZE_RESTORED && !::IsIconic(Hwnd()) && !::IsZoomed(Hwnd())) {
    RECT r = win::WindowRect(Hwnd());
    Config().SetInt(section::kWindow, L"MAIN_X", r.left);
    Config().SetInt(section::kWindow, L"MAIN_Y", r.top);
    Config().SetInt(section::kWindow, L"MAIN_CX", r.right - r.left);
    Config().SetInt(section::kWindow, L"MAIN_CY", r.bottom - r.top);
  }
}

void CMainFrame::OnMove() {
  // Minimised and maximised windows have system-made positions: neither snapped nor stored.
  if (::IsIconic(Hwnd()) || ::IsZoomed(Hwnd())) return;
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box snapped = SnapMainWindow(window, ToBox(win::NearestWorkArea(Hwnd())));
  if (snapped != window)
    ::MoveWindow(Hwnd(), snapped.left, snapped.top, snapped.Width(), snapped.Height(), TRUE);
  Config().SetInt(section::kWindow, L"MAIN_X", snapped.left);
  Config().SetInt(section::kWindow, L"MAIN_Y", snapped.top);
}

void CMainFrame::OnClose() {
  // The frame hides instead of closing; only the exit command ends the program.
  ::ShowWindow(Hwnd(), SW_SHOWMINIMIZED);
  ::ShowWindow(Hwnd(), SW_HIDE);
}

void CMainFrame::OnExit() {
  if (trayIcon_) {
    trayIcon_->Destroy();
    trayIcon_.reset();  // removes the icon from the notification area
  }
  Destroy();
}

bool CMainFrame::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && ::GetActiveWindow() == Hwnd()) {
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
    return true;
  }
  return FrameWindow::PreTranslateMessage(msg);
}

bool CMainFrame::OnCommand(UINT id, UINT code, HWND control) {
  switch (id) {
    case IDM_EXIT:
      OnExit();
      return true;
  }
  return FrameWindow::OnCommand(id, code, control);
}

LRESULT CMainFrame::OnFrameMessage(FrameCode code, LPARAM arg) {
  switch (code) {
    case frame_code::kTray:
      // The taskbar was (re)created and our icon is gone: build a new one.
      if (trayIcon_) trayIcon_->Destroy();
      CreateTrayIcon();
      trayIcon_->SetIcon(IDI_TRAY);
      trayIcon_->SetTip(win::LoadResString(IDR_MAINFRAME).c_str());
      break;
  }
  return 0;
}

LRESULT CMainFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // "TaskbarCreated" is a registered message, known only at run time.
  if (taskbarCreated_ && msg == taskbarCreated_) PostUser(frame_code::kTray, 0);

  switch (msg) {
    case WM_CREATE:
      if (FrameWindow::OnMessage(msg, wParam, lParam) == -1) return -1;
      return OnCreate();
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_SIZE:
      FrameWindow::OnMessage(msg, wParam, lParam);
      OnSize(static_cast<UINT>(wParam));
      return 0;
    case WM_MOVE:
      FrameWindow::OnMessage(msg, wParam, lParam);
      OnMove();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_USER:
      return OnFrameMessage(static_cast<FrameCode>(wParam), lParam);
  }
  return FrameWindow::OnMessage(msg, wParam, lParam);
}
