#include "channels/ChannelTree.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include "channels/LabelFit.h"
#include "common/Dpi.h"
#include "win/Dpi.h"
#include "win/Module.h"

namespace {
// Auto-scroll band at the top and bottom edge while dragging, in pixels.
constexpr int kScrollBand = 15;
// A depth whose label edge has not been seen yet.
constexpr int kUnknown = -1;

// The expand or collapse part of a notification's action (TVE_ACTIONMASK).
constexpr UINT kExpandActionMask = TVE_COLLAPSE | TVE_EXPAND;

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

// Stops a window on screen from drawing while it lives and has it repainted afterwards.
// The system's WM_SETREDRAW handling takes WS_VISIBLE off without hiding the window; the
// control then skips its drawing work for each change (under Wine each scroll bar update
// of a tree view on screen draws at once and costs milliseconds).
class ChannelTree::Quiet {
 public:
  explicit Quiet(HWND hwnd) : hwnd_(hwnd), active_(hwnd && ::IsWindowVisible(hwnd)) {
    if (active_) ::DefWindowProcW(hwnd_, WM_SETREDRAW, FALSE, 0);
  }
  ~Quiet() {
    if (!active_) return;
    ::DefWindowProcW(hwnd_, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  HWND hwnd_;
  bool active_;
};

// The fonts and device context of one fit, made on first use and shared by its labels;
// the window stops drawing from the first label that changes to the end of the fit.
class ChannelTree::Measurer {
 public:
  explicit Measurer(const ChannelTree& tree)
      : hwnd_(tree.Hwnd()), base_(reinterpret_cast<HFONT>(tree.Control(WM_GETFONT))), dc_(tree.Hwnd()) {}
  ~Measurer() {
    if (original_) ::SelectObject(dc_.Get(), original_);
  }
  void Changing() {
    if (!quiet_) quiet_ = std::make_unique<Quiet>(hwnd_);
  }
  Measurer(const Measurer&) = delete;
  Measurer& operator=(const Measurer&) = delete;

  int Width(const std::wstring& text, bool bold) {
    HFONT font = Font(bold);
    if (!dc_ || !font) return 0;
    if (font != selected_) {
      HGDIOBJ previous = ::SelectObject(dc_.Get(), font);
      if (!original_) original_ = previous;
      selected_ = font;
    }
    SIZE size{};
    ::GetTextExtentPoint32W(dc_.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  // The control's font, in bold (700) or the default weight.
  HFONT Font(bool bold) {
    win::Font& font = bold ? bold_ : regular_;
    if (!font) {
      HFONT base = base_ ? base_ : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
      LOGFONTW logFont{};
      ::GetObjectW(base, sizeof(logFont), &logFont);
      logFont.lfWeight = bold ? FW_BOLD : FW_DONTCARE;
      font.Reset(::CreateFontIndirectW(&logFont));
    }
    return font.Get();
  }

  HWND hwnd_;
  HFONT base_;
  win::WindowDC dc_;
  std::unique_ptr<Quiet> quiet_;
  win::Font regular_, bold_;
  HGDIOBJ original_ = nullptr;
  HFONT selected_ = nullptr;
};

ChannelTree::ChannelTree() = default;

ChannelTree::~ChannelTree() {
  RemoveAll();
  Destroy();
}

bool ChannelTree::Create(HWND parent, DWORD style, const RECT& rect, UINT_PTR id) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  // The control's own tooltips (for clipped labels) would compete with ours.
  return CreateControl(0, WC_TREEVIEWW, style | TVS_NOTOOLTIPS, rect, parent, id);
}

bool ChannelTree::OnAttached() {
  controlProc_ = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(Hwnd(), GCLP_WNDPROC));
  ::DragAcceptFiles(Hwnd(), TRUE);
  // One tool at a time, moved to the label under the cursor (UpdateToolTip).
  toolTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                               win::Instance(), nullptr);
  return true;
}

LRESULT ChannelTree::Control(UINT msg, WPARAM wParam, LPARAM lParam) const {
  if (!Hwnd()) return 0;
  if (controlProc_) return ::CallWindowProcW(controlProc_, Hwnd(), msg, wParam, lParam);
  return ::SendMessageW(Hwnd(), msg, wParam, lParam);
}

bool ChannelTree::LabelRect(HTREEITEM entry, RECT& rect) const {
  static_assert(sizeof(HTREEITEM) <= sizeof(RECT));
  rect = RECT{};
  if (!entry) return false;
  std::memcpy(&rect, &entry, sizeof(entry));  // TVM_GETITEMRECT takes the handle in the rectangle
  return Control(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)) != 0;
}

// --- records -----------------------------------------------------------------------------

CTreeItem* ChannelTree::FindItem(const std::wstring& key) const {
  return items_.Find(key);
}

bool ChannelTree::AddItem(std::unique_ptr<CTreeItem> owned, bool expanded) {
  CTreeItem* item = owned.get();
  if (!item || !Hwnd() || items_.Find(item->key)) return false;
  // A child goes under its parent's entry, which must be one of ours.
  if (item->parent && FindItem(item->parent->key) != item->parent) return false;

  // Everything that may fail for want of memory happens before the control changes, and
  // the key goes in last of all: a failure before then leaves no trace of the record.
  std::vector<CTreeItem*>& siblings = Siblings(item->parent);
  siblings.reserve(siblings.size() + 1);
  pendingFits_.reserve(pendingFits_.size() + 1);
  items_.Reserve(1);

  // The siblings are sorted, so the place a full stable sort would give the new record is
  // after every sibling that does not sort behind it.
  auto place = std::upper_bound(siblings.begin(), siblings.end(), item,
                                [](const CTreeItem* a, const CTreeItem* b) { return a->Compare(*b) < 0; });
  const bool bold = item->IsBold();
  // The label goes in already fitted when the depth's label edge is known: a change of
  // text costs the control as much as the insertion.
  std::wstring text = item->DisplayText(-1);
  size_t depth = 0;
  if (ShownAtDepth(*item, depth) && depth < labelLeft_.size() && labelLeft_[depth] != kUnknown) {
    if (batchMeasurer_) {
      text = FittedText(*item, labelLeft_[depth], bold, *batchMeasurer_);
    } else {
      Measurer measurer(*this);
      text = FittedText(*item, labelLeft_[depth], bold, measurer);
    }
  }
  {
    // Inserted as in a batch of one: the control lays out once, without invalidating
    // every entry below the new one on its own (what makes each insertion cost time in
    // proportion to the size of the tree under Wine).
    UpdateBatch batch(*this);
    TVINSERTSTRUCTW insert{};
    insert.hParent = item->parent ? item->parent->treeHandle : TVI_ROOT;
    insert.hInsertAfter = place == siblings.begin() ? TVI_FIRST : (*(place - 1))->treeHandle;
    insert.itemex.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.itemex.state = (expanded ? TVIS_EXPANDED : 0) | (bold ? TVIS_BOLD : 0);
    insert.itemex.stateMask = TVIS_EXPANDED | TVIS_BOLD;
    insert.itemex.pszText = text.data();
    insert.itemex.lParam = reinterpret_cast<LPARAM>(item);
    insert.itemex.iImage = insert.itemex.iSelectedImage = item->ImageIndex(expanded, false);
    auto handle = reinterpret_cast<HTREEITEM>(Control(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!handle) return false;
    item->treeHandle = handle;
    siblings.insert(place, item);
    items_.Insert(std::move(owned));
    try {
      FitLabels(item);  // when the batch ends, the control having laid the entry out
    } catch (const std::bad_alloc&) {
      // A label left unshortened until the next fit; the record itself is in place.
    }
  }
  try {
    if (item->parent) item->parent->OnChildAdded(*this, *item);
  } catch (const std::bad_alloc&) {
  }
  return true;
}

void ChannelTree::RemoveItem(const std::wstring& key) {
  CTreeItem* found = items_.Find(key);
  if (!found) return;
  const HTREEITEM handle = found->treeHandle;
  Quiet quiet(Hwnd());
  DiscardSubtree(*found);
  // One deletion takes the whole subtree's entries; their records are already gone and
  // the entries no longer point at them.
  if (Hwnd() && handle) Control(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(handle));
  FitLabels();
}

void ChannelTree::RemoveItems(const std::vector<CTreeItem*>& records) {
  if (records.empty()) return;
  UpdateBatch batch(*this);
  Quiet quiet(Hwnd());
  // Sibling lists lose their removed members in one sweep each at the end, not one
  // search per record: a channel dropping thousands of items stays linear.
  std::unordered_set<CTreeItem*> removed;
  removedInBulk_ = &removed;
  for (CTreeItem* record : records) {
    if (removed.count(record)) continue;  // went with an ancestor already
    if (items_.Find(record->key) != record) continue;
    const HTREEITEM handle = record->treeHandle;
    DiscardSubtree(*record);
    if (Hwnd() && handle) Control(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(handle));
  }
  removedInBulk_ = nullptr;
  for (auto& [parent, list] : children_)
    list.erase(std::remove_if(list.begin(), list.end(), [&](CTreeItem* child) { return removed.count(child) != 0; }),
               list.end());
  FitLabels();
}

void ChannelTree::DiscardSubtree(CTreeItem& item) {
  // Children first, from the first one on, each telling its parent. The list is taken
  // whole, so that no child has to be searched for in it.
  if (auto children = children_.find(&item); children != children_.end()) {
    const std::vector<CTreeItem*> list = std::move(children->second);
    children_.erase(children);
    for (CTreeItem* child : list) DiscardSubtree(*child);
  }

  const HTREEITEM handle = item.treeHandle;
  if (Hwnd() && handle) {
    TVITEMW entry{};
    entry.mask = TVIF_HANDLE | TVIF_PARAM;
    entry.hItem = handle;
    entry.lParam = 0;
    Control(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
  }
  if (handle == dragItem_) dragItem_ = nullptr;
  if (handle == dropTarget_) dropTarget_ = nullptr;
  if (handle == toolItem_) DropTool();
  pendingFits_.erase(&item);
  if (removedInBulk_) {
    removedInBulk_->insert(&item);
  } else if (auto siblings = children_.find(item.parent); siblings != children_.end()) {
    auto& list = siblings->second;
    list.erase(std::remove(list.begin(), list.end(), &item), list.end());
  }
  const auto owned = items_.Take(item.key);  // destroys the record at the end of this scope
  if (item.parent) item.parent->OnChildRemoved(*this, item);
  OnItemRemoved(item);
}

namespace {

// Each record of `list` and then its children, recursively, in the control's order. A
// record's children are looked up before it is visited: the visit may destroy it.
template <typename Children, typename Visit>
void VisitInTreeOrder(const Children& children, const std::vector<CTreeItem*>& list, const Visit& visit) {
  for (CTreeItem* record : list) {
    const auto below = children.find(record);
    visit(*record);
    if (below != children.end()) VisitInTreeOrder(children, below->second, visit);
  }
}

template <typename Children, typename Visit>
void VisitTree(const Children& children, const Visit& visit) {
  if (const auto top = children.find(nullptr); top != children.end()) VisitInTreeOrder(children, top->second, visit);
}

}  // namespace

void ChannelTree::RemoveAll() {
  VisitTree(children_, [this](CTreeItem& record) { OnItemRemoved(record); });
  DropTool();
  dragItem_ = dropTarget_ = nullptr;
  pendingFits_.clear();
  const auto children = std::move(children_);
  children_.clear();
  KeyIndex<CTreeItem> doomed = std::move(items_);
  // The entries go first, so that none points at a destroyed record.
  if (Hwnd()) {
    Quiet quiet(Hwnd());
    Control(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  }
  VisitTree(children, [&doomed](CTreeItem& record) { doomed.Take(record.key).reset(); });
}

void ChannelTree::RefreshItem(const std::wstring& key) {
  CTreeItem* item = FindItem(key);
  if (!item || !Hwnd()) return;
  Quiet quiet(Hwnd());
  SetBold(*item);
  const UINT state = static_cast<UINT>(
      Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item->treeHandle), TVIS_EXPANDED));
  SetImages(*item, (state & TVIS_EXPANDED) != 0);
  FitLabels(item);
  SortSiblings(item->parent);
  // The new order may bring other entries into view.
  FitLabels();
  if (item->parent) item->parent->OnChildChanged(*this, *item);
}

namespace {
int CALLBACK CompareRecords(LPARAM first, LPARAM second, LPARAM) {
  auto* a = reinterpret_cast<const CTreeItem*>(first);
  auto* b = reinterpret_cast<const CTreeItem*>(second);
  if (!a || !b) return 0;
  return a->Compare(*b);
}
}  // namespace

void ChannelTree::SortSiblings(CTreeItem* parent) {
  TVSORTCB sort{};
  sort.hParent = parent ? parent->treeHandle : TVI_ROOT;
  sort.lpfnCompare = &CompareRecords;
  Control(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
  // Read the control's new order back, so that later insertions find their place in it.
  std::vector<CTreeItem*>& siblings = Siblings(parent);
  siblings.clear();
  auto child = reinterpret_cast<HTREEITEM>(
      Control(TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(sort.hParent)));
  for (; child; child = reinterpret_cast<HTREEITEM>(
                    Control(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    if (CTreeItem* record = ItemOf(child)) siblings.push_back(record);
  }
}

CTreeItem* ChannelTree::SelectedItem() const {
  if (!Hwnd()) return nullptr;
  return ItemOf(reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

CTreeItem* ChannelTree::ItemOf(HTREEITEM handle) const {
  if (!handle || !Hwnd()) return nullptr;
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_PARAM;
  entry.hItem = handle;
  if (!Control(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry))) return nullptr;
  return reinterpret_cast<CTreeItem*>(entry.lParam);
}

ChannelTree::HitResult ChannelTree::HitTest(POINT client) const {
  TVHITTESTINFO info{};
  info.pt = client;
  Control(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
  return HitResult{info.hItem, info.flags};
}

void ChannelTree::SetImages(CTreeItem& item, bool expanded) {
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  entry.hItem = item.treeHandle;
  entry.iImage = entry.iSelectedImage = item.ImageIndex(expanded, false);
  Control(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

void ChannelTree::SetBold(CTreeItem& item) {
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_STATE;
  entry.hItem = item.treeHandle;
  entry.stateMask = TVIS_BOLD;
  entry.state = item.IsBold() ? TVIS_BOLD : 0;
  Control(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

void ChannelTree::Select(HTREEITEM handle) {
  Control(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
}

void ChannelTree::LoadImages(UINT bitmapId) {
  auto load = [](UINT id) {
    return win::Bitmap(static_cast<HBITMAP>(
        ::LoadImageW(win::Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  };
  // The strip drawn for the control's DPI, else the 100 % one; its cells are square.
  if (dpi_ <= 0) dpi_ = win::WindowDpi(Hwnd());
  const int dpi = dpi_;
  win::Bitmap bitmap = load(PictureIdForDpi(bitmapId, dpi));
  if (!bitmap) bitmap = load(bitmapId);
  if (!bitmap) return;
  BITMAP info{};
  ::GetObjectW(bitmap.Get(), sizeof(info), &info);
  const int cell = info.bmHeight > 0 ? info.bmHeight : ScaleForDpi(16, dpi);
  imagesId_ = bitmapId;
  win::ImageList list(::ImageList_Create(cell, cell, ILC_COLORDDB | ILC_MASK, 0, 4));
  if (!list) return;
  ::ImageList_AddMasked(list.Get(), bitmap.Get(), RGB(0, 0, 0));
  labelLeft_.clear();  // the labels move with the image width
  if (Hwnd()) Control(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list.Get()));
  images_ = std::move(list);  // the old list goes once the control has let go of it
  FitLabels();
}

// --- labels ------------------------------------------------------------------------------

void ChannelTree::FitAllLabels() {
  wholeChainPending_ = true;
  FitLabels();
}

void ChannelTree::FitLabels(CTreeItem* item) {
  if (!Hwnd()) return;
  if (updateDepth_) {
    // The control does not lay out its entries during a batch: fitted at its end.
    if (item)
      pendingFits_.insert(item);
    else
      refitPending_ = true;
    return;
  }
  Measurer measurer(*this);
  RECT label;
  if (item) {
    // An entry inside a collapsed channel has no place yet; it is fitted when it appears.
    if (LabelRect(item->treeHandle, label)) FitLabel(*item, label, measurer);
    return;
  }
  // The labels move; the tooltip's tool is placed again at the next mouse move.
  DropTool();
  // Every entry on screen, in display order, or (after a change of width or an
  // expansion) every entry that has a place, scrolled away or not: the control can bring
  // any of them into view without telling us (type-ahead, a key that moves the
  // selection), so none may keep a label made for another width. Other changes bring
  // entries into view only through what fits the window's labels again.
  const bool whole = std::exchange(wholeChainPending_, false);
  const int bottom = win::ClientRect(Hwnd()).bottom;
  for (HTREEITEM entry = whole ? reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_ROOT, 0)) : FirstVisible();
       entry; entry = reinterpret_cast<HTREEITEM>(
                  Control(TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(entry)))) {
    if (!LabelRect(entry, label)) continue;
    if (!whole && label.top >= bottom) break;
    if (CTreeItem* record = ItemOf(entry)) FitLabel(*record, label, measurer);
  }
}

void ChannelTree::BeginUpdate() {
  if (updateDepth_++ > 0 || !Hwnd()) return;
  // The control stops laying out its entries; the window stops drawing (the system's
  // handling clears WS_VISIBLE without hiding it), so that the control's scroll bar and
  // invalidation work for each change costs nothing.
  Control(WM_SETREDRAW, FALSE, 0);
  batchQuiet_ = std::make_unique<Quiet>(Hwnd());
  batchMeasurer_ = std::make_unique<Measurer>(*this);
  batchFirstVisible_ = FirstVisible();
}

void ChannelTree::EndUpdate() {
  if (updateDepth_ == 0 || --updateDepth_ > 0) return;
  std::unordered_set<CTreeItem*> pending;
  pending.swap(pendingFits_);
  bool refit = std::exchange(refitPending_, false);
  batchMeasurer_.reset();
  if (!Hwnd()) {
    batchQuiet_.reset();
    return;
  }
  Control(WM_SETREDRAW, TRUE, 0);  // lays every entry out once
  // New entries are fitted one by one; if the window shows a different part of the tree,
  // what came into view is fitted too.
  if (FirstVisible() != batchFirstVisible_) refit = true;
  {
    Measurer measurer(*this);
    RECT label;
    for (CTreeItem* item : pending)
      if (LabelRect(item->treeHandle, label)) FitLabel(*item, label, measurer);
  }
  if (refit) FitLabels();
  batchQuiet_.reset();
}

void ChannelTree::FitLabel(CTreeItem& item, const RECT& label, Measurer& measurer) {
  size_t depth = 0;
  if (ShownAtDepth(item, depth)) {
    if (labelLeft_.size() <= depth) labelLeft_.resize(depth + 1, kUnknown);
    labelLeft_[depth] = label.left;
  }
  // Measured with the font the control draws the entry with.
  const bool bold =
      (Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item.treeHandle), TVIS_BOLD) & TVIS_BOLD) != 0;
  std::wstring text = FittedText(item, label.left, bold, measurer);

  // A current text equal to the new one fits in one more character than it has.
  std::wstring current(text.size() + 2, L'\0');
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_TEXT;
  entry.hItem = item.treeHandle;
  entry.pszText = current.data();
  entry.cchTextMax = static_cast<int>(current.size());
  if (Control(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry)) &&
      std::wcscmp(current.c_str(), text.c_str()) == 0)
    return;
  entry.pszText = text.data();
  measurer.Changing();
  Control(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

std::wstring ChannelTree::FittedText(CTreeItem& item, int left, bool bold, Measurer& measurer) const {
  // The label ends before the right edge of the client area.
  const int available = win::ClientRect(Hwnd()).right - left;
  const std::wstring whole = item.DisplayText(-1);
  const int n = FitPrefixLength(static_cast<int>(whole.size()), [&](int candidate) {
    return measurer.Width(candidate < 0 ? whole : item.DisplayText(candidate), bold) <= available;
  });
  return n < 0 ? whole : item.DisplayText(n);
}

bool ChannelTree::ShownAtDepth(const CTreeItem& item, size_t& depth) const {
  depth = 1;
  for (const CTreeItem* up = item.parent; up; up = up->parent, ++depth) {
    if (!up->treeHandle) return false;
    const auto state = Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(up->treeHandle), TVIS_EXPANDED);
    if (!(state & TVIS_EXPANDED)) return false;
  }
  return true;
}

HTREEITEM ChannelTree::FirstVisible() const {
  return reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
}

// --- messages ----------------------------------------------------------------------------

void ChannelTree::OnDestroy() {
  // The tooltip is owned by the frame (a popup's owner is a top-level window), so it would
  // outlive the tree.
  if (toolTip_) ::DestroyWindow(std::exchange(toolTip_, nullptr));
  toolItem_ = nullptr;
}

void ChannelTree::OnSize(UINT type, int, int) {
  if (type != SIZE_MINIMIZED) FitAllLabels();
}

LRESULT ChannelTree::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // The tooltip sees every mouse message as it came, before anyone handles it.
  UpdateToolTip(msg, wParam, lParam);
  switch (msg) {
    case WM_VSCROLL: {
      LRESULT result = DefaultMessage(msg, wParam, lParam);
      AfterScroll();
      return result;
    }
    case WM_KEYDOWN:
      OnKeyDown(wParam, lParam);
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_NOTIFYFORMAT:
      // Our tooltip asks its tool's window which notifications it wants; the tree view's
      // own answer would have it send ANSI ones.
      if (toolTip_ && reinterpret_cast<HWND>(wParam) == toolTip_ && lParam == NF_QUERY) return NFR_UNICODE;
      break;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

bool ChannelTree::OnNotify(NMHDR& header, LRESULT& result) {
  if (!toolTip_ || header.hwndFrom != toolTip_ || header.code != TTN_NEEDTEXTW ||
      !OnNeedText(reinterpret_cast<NMTTDISPINFOW&>(header)))
    return false;
  result = 0;
  return true;
}

bool ChannelTree::OnMouseWheel(POINT, UINT, int) {
  Default();
  AfterScroll();
  return true;
}

bool ChannelTree::OnCaptureChanged(HWND gainer) {
  // Another window took the mouse mid-drag: the button-up will not come here, so the drag
  // ends now, without a drop.
  if (dragging_ && gainer != Hwnd()) CancelDrag();
  return false;
}

bool ChannelTree::OnReflectedNotify(NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case TVN_ITEMEXPANDEDW:
      OnItemExpanded(reinterpret_cast<NMTREEVIEWW&>(header));
      result = 0;
      return true;
    case TVN_BEGINDRAGW:
      OnBeginDrag(reinterpret_cast<NMTREEVIEWW&>(header));
      result = 0;
      return true;
    case TVN_BEGINLABELEDITW: {
      auto& info = reinterpret_cast<NMTVDISPINFOW&>(header);
      CTreeItem* item = ItemOf(info.item.hItem);
      auto edit = reinterpret_cast<HWND>(Control(TVM_GETEDITCONTROL, 0, 0));
      result = item && item->OnBeginEdit(edit) ? 0 : 1;  // 1 cancels the edit
      return true;
    }
    case TVN_ENDLABELEDITW: {
      auto& info = reinterpret_cast<NMTVDISPINFOW&>(header);
      if (info.item.pszText) {
        if (CTreeItem* item = ItemOf(info.item.hItem))
          item->OnEndEdit(reinterpret_cast<HWND>(Control(TVM_GETEDITCONTROL, 0, 0)));
        FitLabels();
      }
      result = 0;  // the record, not the control, decides what the label shows
      return true;
    }
  }
  return false;
}

bool ChannelTree::OnLButtonDown(POINT at, UINT) {
  const HitResult hit = HitTest(at);
  if (!hit.handle || !(hit.flags & TVHT_ONITEM)) {
    Select(nullptr);
  } else if (Control(TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(hit.handle))) {
    // Opened or closed on the button going down; the control's own handling would undo it.
    const bool expanded =
        (Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hit.handle), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    if (CTreeItem* item = ItemOf(hit.handle)) {
      item->OnExpanded(expanded ? TVE_EXPAND : TVE_COLLAPSE);
      SetImages(*item, expanded);
    }
    Select(hit.handle);
    FitLabels();
    return true;
  }
  Default();
  UndoSelectionTakenWithFocus(at);
  return true;
}

bool ChannelTree::OnLButtonDblClk(POINT at, UINT) {
  Default();
  const HitResult hit = HitTest(at);
  if (!hit.handle || !(hit.flags & TVHT_ONITEM)) return true;
  if (CTreeItem* item = ItemOf(hit.handle)) item->OnKey(VK_RETURN);
  return true;
}

void ChannelTree::OnItemExpanded(const NMTREEVIEWW& info) {
  CTreeItem* item = ItemOf(info.itemNew.hItem);
  const int action = static_cast<int>(info.action & kExpandActionMask);
  if (item && action == TVE_EXPAND) SetImages(*item, true);
  if (item && action == TVE_COLLAPSE) SetImages(*item, false);
  FitAllLabels();
  if (item) item->OnExpanded(action);
}

void ChannelTree::OnKeyDown(WPARAM wParam, LPARAM lParam) {
  auto selected = [this] {
    return reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_CARET, 0));
  };
  const HTREEITEM before = selected();
  const HTREEITEM top = FirstVisible();
  DefaultMessage(WM_KEYDOWN, wParam, lParam);
  const HTREEITEM after = selected();
  if (before != after) {
    FitLabels();
    return;
  }
  // Keys that scroll without moving the selection bring other entries into view.
  if (FirstVisible() != top) FitLabels();
  if (CTreeItem* item = ItemOf(after)) item->OnKey(static_cast<UINT>(wParam));
}

void ChannelTree::AfterScroll() {
  FitLabels();
  Select(nullptr);
}

bool ChannelTree::OnContextMenu(HWND, POINT at) {
  POINT screen = at;
  HTREEITEM hit = nullptr;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: the menu of the selected entry, below its label.
    hit = reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_CARET, 0));
    RECT label;
    if (!LabelRect(hit, label)) label = RECT{};
    screen = POINT{label.left, label.bottom};
    ::ClientToScreen(Hwnd(), &screen);
  } else {
    POINT client = screen;
    ::ScreenToClient(Hwnd(), &client);
    hit = HitTest(client).handle;
  }

  win::Menu menu(::CreatePopupMenu());
  if (!menu) return true;
  if (hit) {
    Select(hit);
    if (CTreeItem* item = ItemOf(hit)) item->FillContextMenu(menu.Get());
  } else {
    AddMenuHook(menu.Get());
  }
  // The frame owns the menu, so the chosen command reaches its handlers.
  if (::GetMenuItemCount(menu.Get()) > 0)
    ::TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, ::GetParent(Hwnd()), nullptr);
  return true;
}

void ChannelTree::OnDropFiles(HDROP drop) {
  POINT pt{};
  ::DragQueryPoint(drop, &pt);
  const HitResult hit = HitTest(pt);
  if (hit.handle && (hit.flags & TVHT_ONITEM))
    if (CTreeItem* item = ItemOf(hit.handle)) item->OnDropFiles(drop);
  ::DragFinish(drop);
}

// --- drag and drop inside the tree -------------------------------------------------------

void ChannelTree::OnBeginDrag(const NMTREEVIEWW& info) {
  CTreeItem* item = ItemOf(info.itemNew.hItem);
  if (!item || !item->CanDrag()) return;
  dragging_ = true;
  dragItem_ = info.itemNew.hItem;
  dropTarget_ = nullptr;
  Select(dragItem_);
  win::ImageList image(reinterpret_cast<HIMAGELIST>(
      Control(TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(dragItem_))));
  if (!image) return;  // no image, no capture: the next button release ends the drag
  ::ImageList_BeginDrag(image.Get(), 0, 20, 0);
  ::ImageList_DragEnter(Hwnd(), info.ptDrag.x, info.ptDrag.y);
  ::SetCapture(Hwnd());
  // The drag keeps a copy of the image; ours goes at the end of this scope.
}

bool ChannelTree::OnMouseMove(POINT pt, UINT) {
  if (!dragging_) return false;
  const RECT client = win::ClientRect(Hwnd());
  ::ImageList_DragMove(pt.x, pt.y);
  // Near the top or bottom edge the list scrolls one line per mouse move.
  if (pt.y < client.top + kScrollBand || pt.y > client.bottom - kScrollBand) {
    ::ImageList_DragShowNolock(FALSE);
    ::SendMessageW(Hwnd(), WM_VSCROLL, pt.y < client.top + kScrollBand ? SB_LINEUP : SB_LINEDOWN, 0);
    ::ImageList_DragShowNolock(TRUE);
  }
  ::ImageList_DragMove(pt.x, pt.y);

  HTREEITEM target = HitTest(pt).handle;
  ::ImageList_DragShowNolock(FALSE);
  CTreeItem* dragged = ItemOf(dragItem_);
  if (target && target != dragItem_) {
    CTreeItem* candidate = ItemOf(target);
    if (!candidate || !dragged || !candidate->CanAccept(*dragged)) {
      // Refused: the entry's parent may take it instead.
      target = reinterpret_cast<HTREEITEM>(
          Control(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(target)));
      CTreeItem* parent = ItemOf(target);
      if (!parent || !dragged || !parent->CanAccept(*dragged)) target = nullptr;
    } else if (Control(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(target)) &&
               !(Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(target), TVIS_EXPANDED) &
                 TVIS_EXPANDED)) {
      // Hovering a closed entry with children opens it.
      if (Control(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(target)))
        SetImages(*candidate, true);
      FitLabels();
    }
  }
  dropTarget_ = target;
  HighlightDropTarget(target != dragItem_ ? target : nullptr);
  ::ImageList_DragShowNolock(TRUE);
  return false;
}

bool ChannelTree::OnLButtonUp(POINT, UINT) {
  if (!dragging_) return false;
  const HTREEITEM dragged = dragItem_;
  const HTREEITEM target = dropTarget_;
  CancelDrag();
  if (dragged && target != dragged)
    if (CTreeItem* item = ItemOf(dragged)) item->DropOnto(ItemOf(target));
  return false;
}

void ChannelTree::CancelDrag() {
  // Cleared first: releasing the capture sends WM_CAPTURECHANGED back here.
  dragging_ = false;
  dragItem_ = dropTarget_ = nullptr;
  ::ImageList_DragLeave(Hwnd());
  ::ImageList_EndDrag();
  if (::GetCapture() == Hwnd()) ::ReleaseCapture();
  HighlightDropTarget(nullptr);
}

void ChannelTree::HighlightDropTarget(HTREEITEM target) {
  const auto previous =
      reinterpret_cast<HTREEITEM>(Control(TVM_GETNEXTITEM, TVGN_DROPHILITE, 0));
  Control(TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(target));
  if (!target) ClearDropHighlightLeftBehind(previous);
}

// --- platform workarounds ------------------------------------------------------------------

// Wine: a click that gives the tree view the focus also selects an entry of the control's
// own accord, even on empty space. A click on empty space leaves nothing selected here, as
// on Windows.
void ChannelTree::UndoSelectionTakenWithFocus(POINT click) {
  const HitResult hit = HitTest(click);
  if (!(hit.handle && (hit.flags & TVHT_ONITEM)) && Control(TVM_GETNEXTITEM, TVGN_CARET, 0)) Select(nullptr);
}

// Wine: TVM_SELECTITEM with TVGN_DROPHILITE is ignored when its entry is the selected one,
// which for "none" is the case whenever nothing is selected, so the old mark stays. Taken
// off by hand then (on Windows the mark is already gone and this does nothing).
void ChannelTree::ClearDropHighlightLeftBehind(HTREEITEM previous) {
  if (!previous ||
      !(Control(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(previous), TVIS_DROPHILITED) & TVIS_DROPHILITED))
    return;
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_STATE;
  entry.hItem = previous;
  entry.stateMask = TVIS_DROPHILITED;
  Control(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

// --- tooltips ----------------------------------------------------------------------------

void ChannelTree::UpdateToolTip(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!toolTip_) return;
  switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      break;
    default:
      return;
  }
  if (msg == WM_MOUSEMOVE && !dragging_) {
    // The tool is the label under the cursor, if any.
    const HitResult hit = HitTest(PointOf(lParam));
    const HTREEITEM over = (hit.flags & TVHT_ONITEMLABEL) ? hit.handle : nullptr;
    if (over != toolItem_) {
      DropTool();
      RECT label;
      if (LabelRect(over, label)) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(over);
        tool.rect = label;
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        if (::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) toolItem_ = over;
      }
    }
  }
  MSG relay{};
  relay.hwnd = Hwnd();
  relay.message = msg;
  relay.wParam = wParam;
  relay.lParam = lParam;
  relay.time = static_cast<DWORD>(::GetMessageTime());
  const DWORD pos = ::GetMessagePos();
  relay.pt = POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
  ::SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

void ChannelTree::DropTool() {
  if (!toolItem_ || !toolTip_) {
    toolItem_ = nullptr;
    return;
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = Hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(toolItem_);
  ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  toolItem_ = nullptr;
}

bool ChannelTree::OnNeedText(NMTTDISPINFOW& info) {
  // A request about the whole window is not ours to answer.
  if ((info.uFlags & TTF_IDISHWND) && info.hdr.idFrom == reinterpret_cast<UINT_PTR>(Hwnd())) return false;
  const DWORD pos = ::GetMessagePos();
  POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
  ::ScreenToClient(Hwnd(), &pt);
  if (CTreeItem* item = ItemOf(HitTest(pt).handle)) {
    const std::wstring tip = item->TipText();
    static_assert(kMaxTipChars < sizeof(info.szText) / sizeof(info.szText[0]));
    const size_t n = std::min<size_t>(tip.size(), kMaxTipChars);
    std::wmemcpy(info.szText, tip.data(), n);
    info.szText[n] = L'\0';
    info.lpszText = info.szText;
    info.hinst = nullptr;
  }
  return true;
}

const std::vector<CTreeItem*>& ChannelTree::Children(CTreeItem* parent) const {
  static const std::vector<CTreeItem*> kNone;
  auto it = children_.find(parent);
  return it == children_.end() ? kNone : it->second;
}

void ChannelTree::OnDpiChanged(int dpi) {
  if (!Hwnd() || dpi <= 0) return;
  const int old = dpi_ > 0 ? dpi_ : win::SystemDpi();
  dpi_ = dpi;
  if (old == dpi) return;
  HFONT current = reinterpret_cast<HFONT>(Control(WM_GETFONT));
  LOGFONTW logFont{};
  ::GetObjectW(current ? current : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), sizeof(logFont), &logFont);
  logFont.lfHeight = ::MulDiv(logFont.lfHeight, dpi, old);
  win::Font font(::CreateFontIndirectW(&logFont));
  if (font) {
    Control(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    font_ = std::move(font);  // the old one goes once the control has let go of it
  }
  Control(TVM_SETINDENT, static_cast<WPARAM>(::MulDiv(static_cast<int>(Control(TVM_GETINDENT)), dpi, old)));
  if (imagesId_) LoadImages(imagesId_);
  labelLeft_.clear();
  FitLabels();
}
