#pragma once
// The records behind the channel tree: the base kind CTreeItem and its two kinds,
// CChannel (one subscribed feed) and CFeedItem (one article of a feed). The tree
// (ChannelTree) owns and shows them and asks them, through these virtual operations, for
// everything it displays; it knows nothing else about them.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "common/Records.h"
#include "common/UrlCache.h"

class ChannelTree;

class CTreeItem {
 public:
  CTreeItem() = default;
  virtual ~CTreeItem();
  CTreeItem(const CTreeItem&) = delete;
  CTreeItem& operator=(const CTreeItem&) = delete;

  // The operations in the order of the tree's contract with its records.
  virtual std::wstring ClassName() const;
  // Negative when this record comes before `other` among siblings.
  virtual int Compare(const CTreeItem& other) const;
  virtual std::wstring SortKey() const;
  // -1 (any negative): the whole text; otherwise its first maxChars characters and "...".
  virtual std::wstring DisplayText(int maxChars) const;
  virtual int ImageIndex(bool expanded, bool selected) const;
  virtual bool IsBold();
  virtual std::wstring TipText() const;
  virtual bool CanDrag() const;
  virtual bool CanAccept(const CTreeItem& dragged) const;
  // Completes a drop onto `target` (null: no target); 0 means nothing moved.
  virtual int DropOnto(CTreeItem* target);
  virtual void OnChildAdded(ChannelTree& tree, CTreeItem& child);
  virtual void OnChildRemoved(ChannelTree& tree, CTreeItem& child);
  virtual void OnChildChanged(ChannelTree& tree, CTreeItem& child);
  virtual void FillContextMenu(HMENU menu);
  virtual void OnKey(UINT virtualKey);
  // True lets an in-place label edit start.
  virtual bool OnBeginEdit(HWND edit);
  virtual void OnEndEdit(HWND edit);
  virtual void OnDropFiles(HDROP drop);
  // 2: expanded, 1: collapsed.
  virtual void OnExpanded(int action);

  CTreeItem* parent = nullptr;    // null at the top level
  HTREEITEM treeHandle = nullptr;  // set by the tree when it shows the record
  std::wstring key;                // unique in the whole tree; fixed while the tree holds the record
};

// The commands of a channel's context menu: they are the main frame's, whose resources
// number them, so the program gives them once at start.
struct ChannelMenuCommands {
  UINT ticker = 0;
  UINT notify = 0;
  UINT keyword = 0;
  UINT modify = 0;
  UINT remove = 0;
  UINT add = 0;
  UINT importOpml = 0;
  UINT exportOpml = 0;
};

// One subscribed feed: key and title are its address until a feed has been parsed.
class CChannel : public CTreeItem {
 public:
  CChannel(std::wstring url, std::wstring id);

  static void SetMenuCommands(const ChannelMenuCommands& commands);

  std::wstring ClassName() const override;
  std::wstring DisplayText(int maxChars) const override;
  int ImageIndex(bool expanded, bool selected) const override;
  void FillContextMenu(HMENU menu) override;
  // Remembers in the channel's settings whether it is shown expanded ("EXPAND").
  void OnExpanded(int action) override;

  std::wstring id;     // the name of the channel's settings section below "CONFIG"
  std::wstring title;  // shown as the label; never stored
  bool notYetLoaded = true;
  FeedValidators validators;  // of the download the channel shows; in memory only
};

// One article of a feed, keyed by its link.
class CFeedItem : public CTreeItem {
 public:
  CFeedItem(CTreeItem* parent, HWND frame, std::wstring link, std::wstring title, std::wstring tipText,
            unsigned fetchStamp, int arrivalNo);

  std::wstring SortKey() const override;
  std::wstring DisplayText(int maxChars) const override;
  int ImageIndex(bool expanded, bool selected) const override;
  // Bold while unread: the first time the link turns up in the URL cache the mark is
  // cleared for good.
  bool IsBold() override;
  // The URL cache was just asked about the link (off the window's thread): the next
  // IsBold takes this answer instead of asking again.
  void TakeUrlCacheAnswer(bool inUrlCache);
  // The tip is composed once, at creation: a new title leaves it as it was.
  std::wstring TipText() const override;
  void Retitle(std::wstring newTitle);
  // Enter (and a double click): asks the frame to open the link ('VIEW').
  void OnKey(UINT virtualKey) override;

  HWND frame;  // the main frame's window, which opens links
  std::wstring title;
  unsigned fetchStamp;  // the frame's end time of the previous fetch run when the item arrived
  int arrivalNo;        // position among its channel's new items of that pass, from 0
  bool seen = false;
  bool unread = true;

 private:
  bool cacheAnswered_ = false;
  // Null while the tip is the title itself, as for most items (they have no category): a
  // pointer, not a string, keeps each of thousands of records 32 bytes smaller.
  std::unique_ptr<std::wstring> tip_;
};
