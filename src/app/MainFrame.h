#pragma once
// The main frame: creates and owns every other window, asks the first-start question,
// keeps its placement in the settings, hides instead of closing, and ends the program on
// the exit command. It is the hub of the private message (OnFrameMessage): every request
// between the program's windows and from its worker threads arrives here.
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/MainChannelTree.h"
#include "app/MainNotifyStack.h"
#include "app/MainTrayIcon.h"
#include "app/RefreshSchedule.h"
#include "common/FrameCode.h"
#include "common/Records.h"
#include "config/Settings.h"
#include "display/TickerWnd.h"
#include "display/TrayWndItem.h"
#include "display/ViewFrm.h"
#include "win/FrameWindow.h"

class CFeedItem;
class CChannel;
struct LinkQuery;

class CMainFrame : public win::FrameWindow {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // Creates the window from frame resource 128 (hidden until the tray icon shows it).
  bool Create();

  bool PreTranslateMessage(MSG& msg) override;

  // The popup queue: popups are shown one at a time, in arrival order; the queue owns
  // them while they wait, and the one in front until it is shown and gone.
  void QueuePopup(std::unique_ptr<CTrayWndItem> popup);

  // Interprets one channel's download result into the tree, the ticker and popups.
  void ProcessFeed(const FeedResult& result);
  // 'NEW' from the fetch thread: marks the links the tree does not hold.
  void MarkUnknownLinks(LinkQuery& query) const;
  // Adds a feed item to the tree, expanded under its channel ('ADD'); true when the tree
  // took it (and owns it now).
  bool AddFeedItem(std::unique_ptr<CTreeItem> item);

  // State, for the windows and tests that need to look.
  MainTrayIcon* Tray() const { return trayIcon_.get(); }
  bool Fetching() const { return fetching_; }
  int Opacity() const { return opacity_; }
  unsigned LastFetchEnd() const { return lastFetchEnd_; }
  const std::wstring& LastVersion() const { return lastVersion_; }
  int PopupsShown() const { return popupsShown_; }
  size_t QueuedPopups() const { return popupQueue_.size(); }
  CTrayWndItem* QueuedPopup(size_t i) const { return i < popupQueue_.size() ? popupQueue_[i].get() : nullptr; }
  const std::vector<CFeedItem*>& FeedItems() const { return feedItems_; }
  ChannelTree& Tree() { return tree_; }
  TickerWnd& Ticker() { return ticker_; }
  CViewFrm& ViewFrame() { return viewFrame_; }
  // The refresh schedule counts from the end of the last fetch; tests put that in the past.
  void SetLastFetchEndForTest(unsigned tick) { lastFetchEnd_ = tick; }

  // Texts the frame shows.
  static const wchar_t* const kFirstStartQuestion;
  static const wchar_t* const kLatestVersionText;
  static const wchar_t* const kDuplicateAddressText;
  static const wchar_t* const kDeleteQuestion;

 protected:
  bool PreCreateWindow(CREATESTRUCTW& cs) override;
  // The messages without a typed handler: the registered "TaskbarCreated" and the power
  // broadcast.
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Creation and placement (MainFrame.cpp).
  int OnCreate() override;
  void OnSetFocus() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMove() override;
  bool OnClose() override;
  bool OnDpiChanged(int dpi, const RECT& suggested) override;
  // The private message and the timer (FrameMessages.cpp).
  LRESULT OnFrameMessage(FrameCode code, LPARAM arg) override;
  void OnTimer(UINT_PTR id) override;
  // Commands (Commands.cpp).
  bool OnCommand(UINT id, UINT code, HWND control) override;
  bool OnUpdateCommand(UINT id, win::CommandState& state) override;

 private:
  // Creation and placement (MainFrame.cpp).
  void OnExit();
  void CreateTrayIcon();

  // The private message, the timer and the popup queue (FrameMessages.cpp).
  void OnTray();
  void OnPopupNews(LPARAM code);
  void OnView(const ViewRequest& request);
  void OnVersionReply(const wchar_t* reply);
  void OnRun();
  // `offline`: the run found no connection.
  void OnEnd(LPARAM offline);
  // The machine woke from sleep.
  void OnResume();
  // The validators of the feeds the tree shows in full, for the next run's requests.
  KnownFeeds ShownFeeds() const;
  void ShowTickerIfItHasEntries();
  void PopupGone(CTrayWndItem* popup);
  void DestroyQueuedPopups();
  void FeedItemRemoved(CTreeItem& item);
  // Removes records (null ones are skipped) and whatever is below them from the tree, and
  // their feed items from feedItems_, in one pass.
  void RemoveRecords(const std::vector<CTreeItem*>& records);
  void SweepFeedItems(const std::unordered_set<const CTreeItem*>& removed);

  // Commands (Commands.cpp).
  CChannel* SelectedChannel() const;
  void OnToggleChannelValue(const setting::IntValue& value);
  void OnShowTicker();
  void OnTopMost();
  void OnAddChannel();
  void OnModifyChannel();
  void OnDeleteChannel();
  void OnKeyword();
  void OnImportOpml();
  void OnExportOpml();
  bool AddressRegistered(const std::wstring& url) const;

  // Fields in the order of the frame's data model.
  CViewFrm viewFrame_;
  TickerWnd ticker_;
  bool fetching_ = false;
  unsigned char opacity_ = 100;
  std::wstring lastVersion_;
  std::unique_ptr<MainTrayIcon> trayIcon_;
  // Owned while waiting; a shown popup frees itself, and its entry lets go (null) once the
  // stack reports it gone.
  std::deque<std::unique_ptr<CTrayWndItem>> popupQueue_;
  int popupsShown_ = 0;
  MainNotifyStack notifyStack_;
  MainChannelTree tree_;
  unsigned lastFetchEnd_ = 0;
  ReconnectWatch reconnect_;
  int arrivalCounter_ = 0;
  std::vector<CFeedItem*> feedItems_;  // not owned: the tree owns the items
  std::unordered_set<const CTreeItem*>* removedRecords_ = nullptr;  // during RemoveRecords

  UINT taskbarCreated_ = 0;
  win::Icon smallIcon_;  // the window's small icon; destroyed after the window
};
