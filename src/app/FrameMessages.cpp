// The frame's private message, its one-second timer and its popup queue.
#include <algorithm>
#include <unordered_set>
#include <vector>
#include <string_view>

#include "app/MainFrame.h"
#include "app/RefreshSchedule.h"
#include "channels/TreeItem.h"
#include "common/DebugTrace.h"
#include "common/Links.h"
#include "common/WindowAlpha.h"
#include "config/ConfigStore.h"
#include "config/Settings.h"
#include "display/TrayWndItem.h"
#include "display/VersionNotifyWnd.h"
#include "doc/TextDecode.h"
#include "net/FeedFetcher.h"
#include "net/UpdateCheck.h"
#include "res/resource.h"
#include "win/Dialog.h"
#include "win/Module.h"

const wchar_t* const CMainFrame::kLatestVersionText =
    L"\xCD5C\xC2E0 \xBC84\xC83C \xC0AC\xC6A9\xC911 \xC785\xB2C8\xB2E4.";  // 최신 버젼 사용중 입니다.

namespace {

// The desktop has the screen's size too but is no full-screen program: "Program Manager",
// the shell's desktop windows behind the icons, or the desktop window itself (the
// foreground when nothing else is active, under a virtual desktop for instance).
bool IsDesktop(HWND window) {
  if (window == ::GetDesktopWindow() || window == ::GetShellWindow()) return true;
  wchar_t title[64] = {}, cls[64] = {};
  ::GetWindowTextW(window, title, 64);
  ::GetClassNameW(window, cls, 64);
  return std::wstring_view(title) == L"Program Manager" || std::wstring_view(cls) == L"Progman" ||
         std::wstring_view(cls) == L"WorkerW";
}

}  // namespace

LRESULT CMainFrame::OnFrameMessage(FrameCode code, LPARAM arg) {
  switch (code) {
    case frame_code::kTray:
      OnTray();
      break;
    case frame_code::kXml:
      if (arg) ProcessFeed(*reinterpret_cast<const FeedResult*>(arg));
      break;
    case frame_code::kNew:
      if (!arg) break;
      MarkUnknownLinks(*reinterpret_cast<LinkQuery*>(arg));
      return 1;
    case frame_code::kNoti:
      OnPopupNews(arg);
      break;
    case frame_code::kView:
      if (arg) OnView(*reinterpret_cast<const ViewRequest*>(arg));
      break;
    case frame_code::kVer:
      if (arg)
        OnVersionReply(reinterpret_cast<const wchar_t*>(arg));
      else
        StartUpdateCheck(Hwnd());  // no guard: each request starts a check
      break;
    case frame_code::kRun:
      OnRun();
      break;
    case frame_code::kEnd:
      OnEnd(arg);
      break;
    case frame_code::kAdd:
      // The item is the frame's from here on; the answer tells whether the tree kept it.
      return arg && AddFeedItem(std::unique_ptr<CTreeItem>(reinterpret_cast<CTreeItem*>(arg))) ? 1 : 0;
    case frame_code::kDel:
      if (arg) RemoveRecords({tree_.FindItem(reinterpret_cast<const wchar_t*>(arg))});
      break;
  }
  return 0;
}

void CMainFrame::OnTray() {
  // The taskbar was (re)created and our icon is gone: build a new one. A running fetch
  // keeps running; its animation is not restored.
  if (trayIcon_) trayIcon_->Destroy();
  CreateTrayIcon();
  trayIcon_->SetIcon(IDI_TRAY);
  trayIcon_->SetTip(win::LoadResString(IDR_MAINFRAME).c_str());
}

void CMainFrame::QueuePopup(std::unique_ptr<CTrayWndItem> popup) {
  popupQueue_.push_back(std::move(popup));
  if (popupsShown_ == 0) {
    popupsShown_ = 1;
    notifyStack_.ShowPopup(popupQueue_.front().get());
  }
}

void CMainFrame::PopupGone(CTrayWndItem* popup) {
  // Called synchronously when a popup leaves the stack (clicked, or being destroyed): from
  // now on the queue must not hand that pointer to anyone.
  // The popup frees itself (or is being freed): its entry lets go without deleting it.
  for (std::unique_ptr<CTrayWndItem>& entry : popupQueue_)
    if (entry.get() == popup) (void)entry.release();
}

void CMainFrame::OnPopupNews(LPARAM code) {
  if (code == 0) {
    if (ticker_.Hwnd() && ::IsWindowVisible(ticker_.Hwnd())) ::ShowWindow(ticker_.Hwnd(), SW_HIDE);
    return;
  }
  if (code != 2) return;
  // A stray 'NOTI' 2 while no popup is shown is ignored: the count would go below zero,
  // where no popup is ever shown again, and the waiting popup in front would be dropped.
  if (popupsShown_ <= 0) return;
  popupsShown_ -= 1;
  if (!popupQueue_.empty()) {
    (void)popupQueue_.front().release();  // only the entry: a shown popup frees itself
    popupQueue_.pop_front();
  }
  if (popupQueue_.empty()) {
    ShowTickerIfItHasEntries();
  } else if (popupsShown_ == 0) {
    popupsShown_ = 1;
    notifyStack_.ShowPopup(popupQueue_.front().get());
  }
}

void CMainFrame::ShowTickerIfItHasEntries() {
  if (ticker_.HasEntries() && setting::Get(setting::kRssTicker) != 0)
    ::ShowWindow(ticker_.Hwnd(), SW_SHOWNOACTIVATE);
}

void CMainFrame::OnView(const ViewRequest& request) {
  if (!IsWebLink(request.link)) {
    DebugTrace(L"not a web link, not opened : %ls\n", request.link.c_str());
  } else if (setting::Get(setting::kInternal) != 0) {
    HWND view = viewFrame_.Hwnd();
    ::SetWindowTextW(view, request.title.c_str());
    viewFrame_.Browser().Navigate(request.link);
    if (::IsWindowVisible(view)) {
      if (::IsIconic(view)) ::ShowWindow(view, SW_SHOWNORMAL);
      ::SetForegroundWindow(view);
    } else {
      ::ShowWindow(view, SW_SHOWMINIMIZED);
      ::ShowWindow(view, SW_SHOWNORMAL);
    }
    ::SetFocus(view);
  } else {
    OpenLinkInShell(request.link);
  }
  // Opened (or refused): either way the item is no longer new to the user.
  if (auto* item = dynamic_cast<CFeedItem*>(tree_.FindItem(request.link))) {
    item->unread = false;
    tree_.RefreshItem(request.link);
  }
}

void CMainFrame::OnVersionReply(const wchar_t* reply) {
  DebugTrace(L"Ver : %ls\n", reply);
  StringTokenizer tokens(reply);
  if (tokens.NextToken(L" \r\n") != L"VER") return;
  std::wstring version = tokens.NextToken(L" \r\n");
  if (version != GetProgramVersion()) {
    std::wstring link = tokens.NextToken(L" \r\n");
    QueuePopup(std::make_unique<VersionNotifyWnd>(link, version));
  } else if (lastVersion_ == version) {
    win::ShowMessageBox(Hwnd(), kLatestVersionText, win::LoadResString(IDS_APP_TITLE), MB_OK | MB_ICONINFORMATION);
  }
  lastVersion_ = version;
}

KnownFeeds CMainFrame::ShownFeeds() const {
  KnownFeeds known;
  for (CTreeItem* record : tree_.Children(nullptr)) {
    const auto* channel = dynamic_cast<const CChannel*>(record);
    // A channel that is not loaded shows no complete feed: it is asked for in full.
    if (channel && !channel->notYetLoaded && !channel->validators.Empty()) known.emplace(channel->key, channel->validators);
  }
  return known;
}

void CMainFrame::OnRun() {
  if (fetching_) return;
  fetching_ = true;
  trayIcon_->Animate(IDI_TRAY, IDI_TRAY_ANIM, 600);
  if (!StartFeedFetcher(Hwnd(), ShownFeeds())) {
    // No thread, no 'END': do not stay "fetching" for ever.
    DebugTrace(L"fetch thread could not start\n");
    trayIcon_->SetIcon(IDI_TRAY);
    fetching_ = false;
  }
}

void CMainFrame::OnEnd(LPARAM offline) {
  trayIcon_->SetIcon(IDI_TRAY);
  lastFetchEnd_ = ::GetTickCount();
  fetching_ = false;
  if (offline == kEndOffline)
    reconnect_.Start(lastFetchEnd_);
  else
    reconnect_.Stop();
  if (!feedItems_.empty() && popupsShown_ == 0) ShowTickerIfItHasEntries();
}

void CMainFrame::RemoveRecords(const std::vector<CTreeItem*>& records) {
  std::vector<CTreeItem*> shown;
  for (CTreeItem* record : records)
    if (record) shown.push_back(record);
  if (shown.empty()) return;
  // The tree reports each record it destroys; feedItems_ is swept once at the end.
  std::unordered_set<const CTreeItem*> removed;
  removedRecords_ = &removed;
  try {
    tree_.RemoveItems(shown);
  } catch (...) {
    removedRecords_ = nullptr;
    SweepFeedItems(removed);
    throw;
  }
  removedRecords_ = nullptr;
  SweepFeedItems(removed);
}

void CMainFrame::SweepFeedItems(const std::unordered_set<const CTreeItem*>& removed) {
  if (removed.empty()) return;
  feedItems_.erase(std::remove_if(feedItems_.begin(), feedItems_.end(),
                                  [&](const CFeedItem* item) { return removed.count(item) != 0; }),
                   feedItems_.end());
}

void CMainFrame::FeedItemRemoved(CTreeItem& item) {
  if (removedRecords_) {
    removedRecords_->insert(&item);
    return;
  }
  auto it = std::find(feedItems_.begin(), feedItems_.end(), &item);
  if (it != feedItems_.end()) feedItems_.erase(it);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id != 0) return;
  // Fading: the main window gives way while the browser frame is in front.
  if (viewFrame_.Hwnd() && ::GetActiveWindow() == viewFrame_.Hwnd()) {
    opacity_ = 30;
    SetWindowAlpha(Hwnd(), 30);
  } else if (opacity_ != 100) {
    opacity_ = 100;
    SetWindowAlpha(Hwnd(), 100);
  }

  // No refresh while a full-screen window (a game, a presentation) is in front.
  if (HWND front = ::GetForegroundWindow(); front && !IsDesktop(front)) {
    RECT r{};
    ::GetWindowRect(front, &r);
    if (r.right - r.left == ::GetSystemMetrics(SM_CXSCREEN) && r.bottom - r.top == ::GetSystemMetrics(SM_CYSCREEN)) {
      DebugTrace(L"Full\n");
      return;
    }
  }

  const unsigned now = ::GetTickCount();
  const int seconds = setting::Get(setting::kRssTimer);
  // Back from sleep or offline: refresh as soon as the connection is there again.
  const bool due = RefreshDue(now, lastFetchEnd_, seconds) ||
                   (!fetching_ && reconnect_.PollDue(now) && IsInternetConnected());
  if (!due) return;
  BOOL saver = FALSE;
  ::SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &saver, 0);
  HWND focus = ::GetFocus();
  if (focus != Hwnd() && focus != tree_.Hwnd() && !saver) {
    reconnect_.Stop();
    PostFrameCode(Hwnd(), frame_code::kRun);
  }
}

void CMainFrame::OnResume() {
  DebugTrace(L"resumed\n");
  reconnect_.Start(::GetTickCount());
}
