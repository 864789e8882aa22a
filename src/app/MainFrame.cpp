#include "app/MainFrame.h"

#include <cstdlib>
#include <ctime>

#include "common/Dpi.h"
#include "common/Placement.h"
#include "common/SettingRanges.h"
#include "common/WindowAlpha.h"
#include "config/ConfigStore.h"
#include "display/TrayWndItem.h"
#include "res/resource.h"
#include "win/Dialog.h"
#include "win/Dpi.h"
#include "win/Module.h"

namespace {
constexpr UINT_PTR kTimer = 0;

}  // namespace

const wchar_t* const CMainFrame::kFirstStartQuestion =
    L"\xD658\xACBD\xC124\xC815\xC744 \xB808\xC9C0\xC2A4\xD2B8\xB9AC\xC5D0 \xC800\xC7A5\xD558\xC2DC\xACA0"
    L"\xC2B5\xB2C8\xAE4C?\n\nYes(Registry), No(ini)";  // 환경설정을 레지스트리에 저장하시겠습니까?

CMainFrame::CMainFrame()
    : notifyStack_([this](CTrayWndItem* popup) { PopupGone(popup); }),
      tree_([this](CTreeItem& item) { FeedItemRemoved(item); }) {}

CMainFrame::~CMainFrame() {
  // Popups still waiting belong to the frame; shown ones destroy themselves, or go with
  // the stack below.
  DestroyQueuedPopups();
  Destroy();
}

bool CMainFrame::Create() { return LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW); }

bool CMainFrame::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!FrameWindow::PreCreateWindow(cs)) return false;
  cs.dwExStyle |= WS_EX_LAYERED;
  cs.dwExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  if (setting::Get(setting::kMainTopmost)) cs.dwExStyle |= WS_EX_TOPMOST;
  cs.lpszClass = PlainClass();
  // Defaults: the left edge from the work area's width, the top edge from its bottom; the
  // default size scales with the DPI, a stored one is physical pixels.
  RECT work = win::PrimaryWorkArea();
  const int dpi = win::PrimaryMonitorDpi();
  const int width = ScaleForDpi(200, dpi);
  const int height = ScaleForDpi(300, dpi);
  cs.x = setting::WindowCoordinate(setting::GetOr(setting::kMainX, (work.right - work.left) - width));
  cs.y = setting::WindowCoordinate(setting::GetOr(setting::kMainY, work.bottom - height));
  cs.cx = setting::WindowExtent(setting::GetOr(setting::kMainCx, width), width,
                                ::GetSystemMetrics(SM_CXMIN), work.right - work.left);
  cs.cy = setting::WindowExtent(setting::GetOr(setting::kMainCy, height), height,
                                ::GetSystemMetrics(SM_CYMIN), work.bottom - work.top);
  return true;
}

int CMainFrame::OnCreate() {
  // First start: neither the registry key nor the .ini file exists yet.
  if (Config().CheckRegistryKey() == ConfigStore::StoreState::NoRegistryKey) {
    if (win::ShowMessageBox(Hwnd(), kFirstStartQuestion, win::LoadResString(IDS_APP_TITLE), MB_YESNO) == IDNO)
      Config().CreateIniFile();
    else
      Config().CreateRegistryKey();  // remembered even if this run writes nothing
  }
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");

  RECT none{};
  if (!tree_.Create(Hwnd(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_NOHSCROLL | TVS_EDITLABELS, none,
                    static_cast<UINT_PTR>(-1)))
    return -1;
  tree_.LoadImages(IDB_TREE);
  notifyStack_.Configure(false, 150, 60, Hwnd(), IDB_CLOSE);

  CreateTrayIcon();
  std::wstring title = win::LoadResString(IDR_MAINFRAME);
  ::SetWindowTextW(Hwnd(), title.c_str());
  // Ours to destroy: a window does not destroy the icons it is given.
  smallIcon_.Reset(win::LoadSmallIcon(IDI_TRAY));
  ::SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  trayIcon_->SetTip(title.c_str());
  trayIcon_->SetIcon(IDI_TRAY);

  fetching_ = false;
  opacity_ = 100;
  lastFetchEnd_ = 0;
  arrivalCounter_ = 0;
  popupsShown_ = 0;
  SetWindowAlpha(Hwnd(), opacity_);

  viewFrame_.Create(IDR_VIEWFRAME, IDI_TRAY);
  ticker_.Create(Hwnd());
  SendFrameCode(ticker_.Hwnd(), frame_code::kMain, Hwnd());

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  PostFrameCode(Hwnd(), frame_code::kVer);
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
  if (tree_.Hwnd()) ::SetFocus(tree_.Hwnd());
}

void CMainFrame::OnSize(UINT type, int, int) {
  if (type == SIZE_RESTORED && !::IsIconic(Hwnd()) && !::IsZoomed(Hwnd())) {
    RECT r = win::WindowRect(Hwnd());
    setting::Set(setting::kMainX, r.left);
    setting::Set(setting::kMainY, r.top);
    setting::Set(setting::kMainCx, r.right - r.left);
    setting::Set(setting::kMainCy, r.bottom - r.top);
  }
  if (type != SIZE_MINIMIZED && tree_.Hwnd()) {
    RECT client = win::ClientRect(Hwnd());
    ::SetWindowPos(tree_.Hwnd(), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_SHOWWINDOW);
  }
}

void CMainFrame::OnMove() {
  // Minimised and maximised windows have system-made positions: neither snapped nor stored.
  if (::IsIconic(Hwnd()) || ::IsZoomed(Hwnd())) return;
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box snapped = SnapMainWindow(window, ToBox(win::NearestWorkArea(Hwnd())));
  if (snapped != window)
    ::MoveWindow(Hwnd(), snapped.left, snapped.top, snapped.Width(), snapped.Height(), TRUE);
  setting::Set(setting::kMainX, snapped.left);
  setting::Set(setting::kMainY, snapped.top);
}

bool CMainFrame::OnClose() {
  // The frame hides instead of closing; only the exit command ends the program.
  const bool tickerShown = ticker_.Hwnd() && ::IsWindowVisible(ticker_.Hwnd());
  ::ShowWindow(Hwnd(), SW_SHOWMINIMIZED);
  ::ShowWindow(Hwnd(), SW_HIDE);
  if (tickerShown) ::ShowWindow(ticker_.Hwnd(), SW_SHOWNOACTIVATE);
  return true;
}

void CMainFrame::DestroyQueuedPopups() {
  // One at a time, out of the queue first: a shown popup's destructor reports it gone,
  // which looks through the queue.
  while (!popupQueue_.empty()) {
    std::unique_ptr<CTrayWndItem> popup = std::move(popupQueue_.front());
    popupQueue_.pop_front();
  }
}

void CMainFrame::OnExit() {
  DestroyQueuedPopups();
  if (trayIcon_) {
    trayIcon_->Destroy();
    trayIcon_.reset();  // removes the icon from the notification area
  }
  Destroy();
}

bool CMainFrame::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && ::GetActiveWindow() == Hwnd()) {
    ::PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
    return true;
  }
  return FrameWindow::PreTranslateMessage(msg);
}

LRESULT CMainFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // "TaskbarCreated" is a registered message, known only at run time.
  if (taskbarCreated_ && msg == taskbarCreated_) PostFrameCode(Hwnd(), frame_code::kTray);
  if (msg == WM_POWERBROADCAST) {
    if (wParam == PBT_APMRESUMEAUTOMATIC) OnResume();
    return TRUE;
  }
  return FrameWindow::OnMessage(msg, wParam, lParam);
}

bool CMainFrame::OnDpiChanged(int dpi, const RECT& suggested) {
  // Placed where the system suggests; the stored place stays physical pixels.
  win::ApplySuggestedRect(Hwnd(), suggested);
  tree_.OnDpiChanged(dpi);
  return true;
}
