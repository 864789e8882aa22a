#pragma once
// The channel tree: a tree-view control that shows and owns the tree records (channels
// and their feed items) and turns the user's mouse and keyboard actions into calls on
// them. On top of the platform's tree view it expands and collapses on a single click,
// shortens labels with "..." to the window width, drags with an auto-scrolling image and
// shows each record's tooltip. It asks the records for everything it shows.
//
// Sibling order is kept by inserting each record at its sorted place; a record whose
// title or sort key changes must be followed by RefreshItem, which sorts its siblings
// again. Labels are fitted for the entries on screen: every change that can bring an
// entry into view fits the labels of the window again.
//
// Many changes in a row (a feed's new items) go faster inside an UpdateBatch: the control
// then skips its own per-change layout work, and labels are checked once at the end.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "channels/KeyIndex.h"
#include "channels/TreeItem.h"
#include "win/Handles.h"
#include "win/Window.h"

class ChannelTree : public win::Window {
 public:
  ChannelTree();
  // Destroys every record still shown. A derived class that wants OnItemRemoved to see
  // them calls RemoveAll() in its own destructor, while its override is still in place.
  ~ChannelTree() override;

  // Creates the tree-view control as a child of `parent`.
  bool Create(HWND parent, DWORD style, const RECT& rect, UINT_PTR id);

  CTreeItem* FindItem(const std::wstring& key) const;
  // Shows the record under its parent (which must be shown) at its sorted place. The tree
  // takes the record whether or not it succeeds: false, with the record destroyed, when its
  // key is present, its parent is not shown or the control refuses it.
  bool AddItem(std::unique_ptr<CTreeItem> item, bool expanded);
  // Removes and destroys the record with that key and everything below it.
  void RemoveItem(const std::wstring& key);
  // Removes and destroys these records (each must be shown) and everything below them,
  // in one pass however many there are.
  void RemoveItems(const std::vector<CTreeItem*>& records);
  // Removes and destroys every record.
  void RemoveAll();
  // Applies a record's changed data: boldness, images, label and sibling order.
  void RefreshItem(const std::wstring& key);
  // Shortens the label of one record, or of every entry on screen, to the window width.
  void FitLabels(CTreeItem* item = nullptr);
  // Shortens every label that has a place, on screen or not (after the width changed).
  void FitAllLabels();
  // Changes between BeginUpdate and the matching EndUpdate are laid out and fitted once,
  // at the end. Nestable; prefer UpdateBatch.
  void BeginUpdate();
  void EndUpdate();
  class UpdateBatch {
   public:
    explicit UpdateBatch(ChannelTree& tree) : tree_(tree) { tree_.BeginUpdate(); }
    ~UpdateBatch() { tree_.EndUpdate(); }
    UpdateBatch(const UpdateBatch&) = delete;
    UpdateBatch& operator=(const UpdateBatch&) = delete;

   private:
    ChannelTree& tree_;
  };
  // Replaces the image list with 16 x 16 cells of a bitmap resource (black is transparent).
  void LoadImages(UINT bitmapId);
  // The window moved to a monitor of another DPI: font, indent and images for the new one.
  void OnDpiChanged(int dpi);
  CTreeItem* SelectedItem() const;
  // The records shown under `parent` (null: the top level) in the control's order.
  const std::vector<CTreeItem*>& Children(CTreeItem* parent) const;
  size_t ItemCount() const { return items_.size(); }

  // The tooltip control, for tests and screenshots.
  HWND ToolTip() const { return toolTip_; }

  // Longest tooltip text, in characters.
  static constexpr int kMaxTipChars = 79;

 protected:
  // Fills the context menu of a right click on empty space; the base adds nothing.
  virtual void AddMenuHook(HMENU menu) {}
  // Called for every record just before it is destroyed.
  virtual void OnItemRemoved(CTreeItem& item) {}

  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  bool OnReflectedNotify(NMHDR& header, LRESULT& result) override;
  // Our tooltip asks the tree for its text.
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  bool OnAttached() override;

  // A press on an entry with children opens or closes it; elsewhere the control's own
  // handling runs (selection, focus, drag detection).
  bool OnLButtonDown(POINT at, UINT keys) override;
  // A double click opens the entry, after the control's own handling.
  bool OnLButtonDblClk(POINT at, UINT keys) override;
  // Drags an entry (see OnBeginDrag) and drops it.
  bool OnMouseMove(POINT at, UINT keys) override;
  bool OnLButtonUp(POINT at, UINT keys) override;
  bool OnCaptureChanged(HWND gainer) override;
  // Not the control's: its right-button tracking would send the context menu request to
  // the parent. The button going up brings WM_CONTEXTMENU here instead.
  bool OnRButtonDown(POINT, UINT) override { return true; }
  bool OnContextMenu(HWND window, POINT at) override;
  bool OnMouseWheel(POINT at, UINT keys, int delta) override;

 private:
  struct HitResult {
    HTREEITEM handle = nullptr;
    UINT flags = 0;
  };
  class Quiet;
  class Measurer;

  // A request of ours to the control. It goes straight to the control's class procedure:
  // our subclass has nothing to add to these, and under Wine every message through a
  // subclassed window costs two window-property lookups in the server (about 0.1 ms).
  LRESULT Control(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // Platform workarounds (Wine's tree view), each explained where it is defined.
  void UndoSelectionTakenWithFocus(POINT click);
  void ClearDropHighlightLeftBehind(HTREEITEM previous);
  // The text part of an entry's rectangle; false for an entry that has no place on the
  // control (inside a collapsed parent).
  bool LabelRect(HTREEITEM entry, RECT& rect) const;
  HitResult HitTest(POINT client) const;
  CTreeItem* ItemOf(HTREEITEM handle) const;
  std::vector<CTreeItem*>& Siblings(CTreeItem* parent) { return children_[parent]; }
  void SetImages(CTreeItem& item, bool expanded);
  void SetBold(CTreeItem& item);
  void Select(HTREEITEM handle);
  void SortSiblings(CTreeItem* parent);
  // Fits one label whose text rectangle is `label`.
  void FitLabel(CTreeItem& item, const RECT& label, Measurer& measurer);
  // The label for `item` when its text starts at `left`.
  std::wstring FittedText(CTreeItem& item, int left, bool bold, Measurer& measurer) const;
  // Whether the record's entry is shown (every ancestor expanded) and at which depth.
  bool ShownAtDepth(const CTreeItem& item, size_t& depth) const;
  HTREEITEM FirstVisible() const;
  // Forgets the record and its subtree (children first) and destroys them; the entries
  // stay in the control.
  void DiscardSubtree(CTreeItem& item);

  // Message handlers without a typed handler of the base.
  void OnKeyDown(WPARAM wParam, LPARAM lParam);
  // Ends a drag without a drop: image, capture and highlight.
  void CancelDrag();
  void OnDropFiles(HDROP drop);
  void AfterScroll();
  void OnItemExpanded(const NMTREEVIEWW& info);
  void OnBeginDrag(const NMTREEVIEWW& info);
  void HighlightDropTarget(HTREEITEM target);
  bool OnNeedText(NMTTDISPINFOW& info);
  void UpdateToolTip(UINT msg, WPARAM wParam, LPARAM lParam);
  void DropTool();

  // The records under their own keys (which never change once a record is in), owned.
  KeyIndex<CTreeItem> items_;
  // Each parent's children (null: the top level) in the control's order.
  std::unordered_map<CTreeItem*, std::vector<CTreeItem*>> children_;
  WNDPROC controlProc_ = nullptr;  // the tree view's own window procedure
  win::ImageList images_;
  UINT imagesId_ = 0;  // the picture LoadImages last took, drawn again when the DPI changes
  int dpi_ = 0;        // the DPI the font, indent and images are made for (0: not yet known)
  win::Font font_;     // made for dpi_ once the DPI changed; the system's before
  bool dragging_ = false;
  HTREEITEM dragItem_ = nullptr;  // null while dragging once the dragged record is gone
  HTREEITEM dropTarget_ = nullptr;
  // Update batch: depth, records whose labels are checked at the end, and whether the
  // window's labels are fitted again then.
  int updateDepth_ = 0;
  std::unordered_set<CTreeItem*> pendingFits_;
  // During RemoveItems: the records discarded so far, taken from their sibling lists at the end.
  std::unordered_set<CTreeItem*>* removedInBulk_ = nullptr;
  bool refitPending_ = false;
  bool wholeChainPending_ = false;  // the next refit walks every entry that has a place
  std::unique_ptr<Quiet> batchQuiet_;
  std::unique_ptr<Measurer> batchMeasurer_;  // shared by the labels fitted before insertion
  HTREEITEM batchFirstVisible_ = nullptr;
  // Left edge of the label text by depth (1: top level), as last seen on the control; it
  // depends on the depth only, so a new record's label is fitted before it is inserted.
  std::vector<int> labelLeft_;
  HWND toolTip_ = nullptr;        // owned by the tree's window, destroyed with it
  HTREEITEM toolItem_ = nullptr;  // the entry whose label the tooltip's one tool covers
};
