#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "ChannelTreeTesting.h"
#include "channels/ChannelTree.h"
#include "config/ConfigStore.h"
#include "res/resource.h"
#include "support/win/WinTest.h"

using namespace test;

namespace {

const DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_NOHSCROLL | TVS_EDITLABELS;

// A record that reports the tree's calls on it.
class ProbeItem : public CTreeItem {
 public:
  ProbeItem(std::wstring k, CTreeItem* p, std::vector<std::wstring>* log) : log_(log) {
    key = std::move(k);
    parent = p;
  }
  ~ProbeItem() override { log_->push_back(L"destroyed " + key); }
  void OnChildAdded(ChannelTree&, CTreeItem& child) override { log_->push_back(L"added " + child.key); }
  void OnChildRemoved(ChannelTree&, CTreeItem& child) override { log_->push_back(L"removed " + child.key); }
  void OnChildChanged(ChannelTree&, CTreeItem& child) override { log_->push_back(L"changed " + child.key); }
  int DropOnto(CTreeItem* target) override {
    log_->push_back(L"drop onto " + (target ? target->key : std::wstring(L"nothing")));
    return 0;
  }

 private:
  std::vector<std::wstring>* log_;
};

class ChannelTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(frame.Create(40, 40, 360, 400));
    ASSERT_TRUE(tree.Create(frame.Hwnd(), kTreeStyle, win::ClientRect(frame.Hwnd()), 1));
    frame.tree = &tree;
    tree.LoadImages(IDB_TREE);
    ::SetForegroundWindow(frame.Hwnd());
    PumpFor(30);
  }
  void TearDown() override { frame.tree = nullptr; }

  HWND Tree() const { return tree.Hwnd(); }

  CChannel* AddChannel(const std::wstring& url, const std::wstring& title, bool expanded = true) {
    auto* channel = new CChannel(url, L"id-" + std::to_wstring(++ids_));
    channel->title = title;
    EXPECT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(channel), expanded));
    return channel;
  }
  CFeedItem* AddFeedItem(CChannel* channel, const std::wstring& link, const std::wstring& title, unsigned stamp,
                         int arrival, bool unread = false) {
    auto* item = new CFeedItem(channel, frame.Hwnd(), link, title, title, stamp, arrival);
    item->unread = unread;
    EXPECT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(item), true));
    return item;
  }
  // Resizes the tree's window (it sees WM_SIZE as when the frame resizes it).
  void SetTreeWidth(int width) {
    ::SetWindowPos(Tree(), nullptr, 0, 0, width, win::Height(win::WindowRect(Tree())), SWP_NOMOVE | SWP_NOZORDER);
  }

  ScopedConfig config;
  TreeFrame frame;
  std::vector<std::wstring> log;  // of ProbeItem records, which the tree may outlive the test body with
  RecordingTree tree;
  int ids_ = 0;
};

// Puts the cursor back where the test wants it if something moved it (a moving cursor
// restarts the tooltip's delay, so it is not touched otherwise).
void KeepCursorAt(POINT screen) {
  POINT now{};
  ::GetCursorPos(&now);
  if (now.x != screen.x || now.y != screen.y) ::SetCursorPos(screen.x, screen.y);
}

}  // namespace

TEST_F(ChannelTreeTest, ChannelsByTitleNewerRunsFirstAndDocumentOrderWithinARun) {
  AddChannel(L"http://c/3", L"b");
  CChannel* a = AddChannel(L"http://c/1", L"a");
  AddChannel(L"http://c/2", L"B");
  AddChannel(L"http://c/4", L"\xAC00\xB098");
  AddChannel(L"http://c/5", L"a");  // a tie keeps the order of arrival
  EXPECT_EQ(ChildKeys(Tree(), nullptr),
            (std::vector<std::wstring>{L"http://c/2", L"http://c/1", L"http://c/5", L"http://c/3", L"http://c/4"}));

  // One run of 1000 items arriving in a shuffled order, then a later run of three.
  std::vector<int> arrivals(1000);
  for (int i = 0; i < 1000; ++i) arrivals[i] = i;
  std::shuffle(arrivals.begin(), arrivals.end(), std::mt19937(7));
  {
    ChannelTree::UpdateBatch batch(tree);  // the way a feed's new items arrive
    for (int i : arrivals)
      AddFeedItem(a, L"http://i/old/" + std::to_wstring(i), L"title " + std::to_wstring(999 - i), 40000, i);
  }
  for (int i : {2, 0, 1}) AddFeedItem(a, L"http://i/new/" + std::to_wstring(i), L"zzz", 95000, i);
  std::vector<std::wstring> expected = {L"http://i/new/0", L"http://i/new/1", L"http://i/new/2"};
  for (int i = 0; i < 1000; ++i) expected.push_back(L"http://i/old/" + std::to_wstring(i));
  EXPECT_EQ(ChildKeys(Tree(), a->treeHandle), expected);

  // The control's own sort with the records' comparison finds nothing to change.
  struct Sort {
    static int CALLBACK Compare(LPARAM x, LPARAM y, LPARAM) {
      return reinterpret_cast<CTreeItem*>(x)->Compare(*reinterpret_cast<CTreeItem*>(y));
    }
  };
  for (HTREEITEM parent : {static_cast<HTREEITEM>(TVI_ROOT), a->treeHandle}) {
    auto before = ChildKeys(Tree(), parent == TVI_ROOT ? nullptr : parent);
    TVSORTCB sort{parent, &Sort::Compare, 0};
    ::SendMessageW(Tree(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    EXPECT_EQ(ChildKeys(Tree(), parent == TVI_ROOT ? nullptr : parent), before);
  }

  // A retitled channel takes its new place, and later insertions respect it.
  a->title = L"zz";
  tree.RefreshItem(a->key);
  AddChannel(L"http://c/6", L"c");
  EXPECT_EQ(ChildKeys(Tree(), nullptr), (std::vector<std::wstring>{L"http://c/2", L"http://c/5", L"http://c/3",
                                                                   L"http://c/6", L"http://c/1", L"http://c/4"}));
}

TEST_F(ChannelTreeTest, DuplicateKeysAndStrayChildrenAreRefusedAndDestroyed) {
  CChannel* channel = AddChannel(L"http://c/1", L"one");
  AddFeedItem(channel, L"http://i/1", L"item", 0, 0);
  const size_t count = tree.ItemCount();

  // The tree takes every record offered, and destroys the ones it refuses.
  bool gone[3] = {};
  struct Watched : CFeedItem {
    Watched(CTreeItem* parent, HWND frame, const wchar_t* link, bool* gone)
        : CFeedItem(parent, frame, link, L"x", L"x", 0, 1), gone(gone) {}
    ~Watched() override { *gone = true; }
    bool* gone;
  };
  auto sameAsChannel = std::make_unique<Watched>(nullptr, frame.Hwnd(), L"http://c/1", &gone[0]);
  EXPECT_FALSE(tree.AddItem(std::move(sameAsChannel), true));
  // Channels and items share one key space.
  EXPECT_FALSE(tree.AddItem(std::make_unique<Watched>(channel, frame.Hwnd(), L"http://i/1", &gone[1]), true));
  CChannel notShown(L"http://c/2", L"2");
  EXPECT_FALSE(tree.AddItem(std::make_unique<Watched>(&notShown, frame.Hwnd(), L"http://i/2", &gone[2]), true));
  EXPECT_FALSE(tree.AddItem(nullptr, true));

  EXPECT_EQ(tree.ItemCount(), count);
  EXPECT_EQ(::SendMessageW(Tree(), TVM_GETCOUNT, 0, 0), static_cast<LRESULT>(count));
  EXPECT_EQ(tree.FindItem(L"http://c/1"), channel);
  EXPECT_TRUE(gone[0] && gone[1] && gone[2]);
  EXPECT_TRUE(tree.removed.empty());  // refused records were never shown

  // A record that fails while being added (out of memory making its label) leaves no
  // trace: its key is free for the next try.
  struct FailingItem : CChannel {
    FailingItem(const wchar_t* url, const bool* fail) : CChannel(url, L"3"), fail(fail) {}
    std::wstring DisplayText(int maxChars) const override {
      if (*fail) throw std::bad_alloc();
      return CChannel::DisplayText(maxChars);
    }
    const bool* fail;
  };
  bool fail = true;
  EXPECT_THROW(tree.AddItem(std::make_unique<FailingItem>(L"http://c/3", &fail), true), std::bad_alloc);
  EXPECT_EQ(tree.ItemCount(), count);
  fail = false;
  EXPECT_TRUE(tree.AddItem(std::make_unique<FailingItem>(L"http://c/3", &fail), true));
  EXPECT_EQ(tree.ItemCount(), count + 1);
}

TEST_F(ChannelTreeTest, LabelsEndInDotsAndGrowBackWhenTheWindowWidens) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel with a rather long title for this narrow window");
  CFeedItem* item = AddFeedItem(channel, L"http://i/1", L"Hello world, this is a long feed item title of many words", 0, 0);
  CChannel* shortOne = AddChannel(L"http://c/2", L"Short");

  SetTreeWidth(150);
  const std::wstring narrow = Label(Tree(), item->treeHandle);
  EXPECT_EQ(narrow.substr(narrow.size() - 3), L"...");
  EXPECT_EQ(item->title.compare(0, narrow.size() - 3, narrow, 0, narrow.size() - 3), 0);
  EXPECT_EQ(narrow, ExpectedLabel(Tree(), *item, false));
  EXPECT_EQ(Label(Tree(), channel->treeHandle), ExpectedLabel(Tree(), *channel, false));
  EXPECT_EQ(Label(Tree(), shortOne->treeHandle), L"Short");
  // The label's text ends before the right edge.
  {
    HDC dc = ::GetDC(Tree());
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(Tree(), WM_GETFONT, 0, 0)));
    SIZE text{};
    ::GetTextExtentPoint32W(dc, narrow.c_str(), static_cast<int>(narrow.size()), &text);
    ::SelectObject(dc, old);
    ::ReleaseDC(Tree(), dc);
    EXPECT_GT(text.cx, 100);
    EXPECT_LE(LabelRect(Tree(), item->treeHandle).left + text.cx, win::ClientRect(Tree()).right);
  }

  SetTreeWidth(260);
  const std::wstring wider = Label(Tree(), item->treeHandle);
  EXPECT_GT(wider.size(), narrow.size());
  EXPECT_EQ(wider, ExpectedLabel(Tree(), *item, false));

  SetTreeWidth(900);
  EXPECT_EQ(Label(Tree(), item->treeHandle), item->title);
  EXPECT_EQ(Label(Tree(), channel->treeHandle), channel->title);

  // Every width in between gives what measuring one character at a time gives.
  for (int width = 60; width <= 420; width += 23) {
    SetTreeWidth(width);
    ASSERT_EQ(Label(Tree(), item->treeHandle), ExpectedLabel(Tree(), *item, false)) << width;
    ASSERT_EQ(Label(Tree(), channel->treeHandle), ExpectedLabel(Tree(), *channel, false)) << width;
  }
  // Narrower than anything: the first character and the dots.
  SetTreeWidth(30);
  EXPECT_EQ(Label(Tree(), item->treeHandle), L"H...");
}

TEST_F(ChannelTreeTest, ABatchEndsWithTheSameTreeAsChangesOneByOne) {
  RecordingTree other;
  ASSERT_TRUE(other.Create(frame.Hwnd(), kTreeStyle, win::ClientRect(frame.Hwnd()), 2));
  other.LoadImages(IDB_TREE);
  SetTreeWidth(230);
  ::SetWindowPos(other.Hwnd(), nullptr, 0, 0, 230, win::Height(win::WindowRect(Tree())), SWP_NOMOVE | SWP_NOZORDER);

  // The same changes, one by one into `tree` and in nested batches into `other`.
  auto fill = [&](ChannelTree& target, bool batched) {
    std::unique_ptr<ChannelTree::UpdateBatch> outer;
    if (batched) outer = std::make_unique<ChannelTree::UpdateBatch>(target);
    for (int c = 0; c < 4; ++c) {
      std::unique_ptr<ChannelTree::UpdateBatch> inner;
      if (batched) inner = std::make_unique<ChannelTree::UpdateBatch>(target);
      auto* channel = new CChannel(L"http://c/" + std::to_wstring(c), L"id");
      channel->title = L"Channel number " + std::to_wstring(3 - c) + L" with a long enough title";
      EXPECT_TRUE(target.AddItem(std::unique_ptr<CTreeItem>(channel), c != 2));
      for (int i = 0; i < 12; ++i) {
        auto* item = new CFeedItem(channel, frame.Hwnd(), channel->key + L"/" + std::to_wstring(i),
                                   L"Item " + std::to_wstring(i) + L" of a channel, titled at some length", L"tip",
                                   i < 6 ? 100u : 200u, i % 6);
        item->unread = i % 2 == 0;
        EXPECT_TRUE(target.AddItem(std::unique_ptr<CTreeItem>(item), true));
      }
      EXPECT_NE(target.FindItem(channel->key + L"/5"), nullptr);  // found at once, batch or not
    }
    target.RemoveItem(L"http://c/1/3");
    auto* retitled = static_cast<CFeedItem*>(target.FindItem(L"http://c/3/7"));
    retitled->title = L"A";
    retitled->unread = false;
    target.RefreshItem(retitled->key);
    target.RemoveItem(L"http://c/0");
  };
  fill(tree, false);
  fill(other, true);

  EXPECT_EQ(other.ItemCount(), tree.ItemCount());
  EXPECT_EQ(ChildKeys(other.Hwnd(), nullptr), ChildKeys(Tree(), nullptr));
  for (const auto& key : ChildKeys(Tree(), nullptr)) {
    HTREEITEM a = Handle(tree, key), b = Handle(other, key);
    EXPECT_EQ(ChildKeys(other.Hwnd(), b), ChildKeys(Tree(), a)) << key;
    EXPECT_EQ(State(other.Hwnd(), b, TVIS_EXPANDED), State(Tree(), a, TVIS_EXPANDED)) << key;
    for (const auto& child : ChildKeys(Tree(), a)) {
      HTREEITEM x = Handle(tree, child), y = Handle(other, child);
      EXPECT_EQ(Label(other.Hwnd(), y), Label(Tree(), x)) << child;
      EXPECT_EQ(State(other.Hwnd(), y, TVIS_BOLD), State(Tree(), x, TVIS_BOLD)) << child;
      EXPECT_EQ(Image(other.Hwnd(), y), Image(Tree(), x)) << child;
    }
    EXPECT_EQ(Label(other.Hwnd(), b), Label(Tree(), a)) << key;
    EXPECT_EQ(Image(other.Hwnd(), b), Image(Tree(), a)) << key;
  }
  // Everything is laid out again after the batch: shown entries have their places.
  CTreeItem* shown = other.FindItem(L"http://c/3/0");
  ASSERT_NE(shown, nullptr);
  EXPECT_NE(win::Height(LabelRect(other.Hwnd(), shown->treeHandle)), 0);
  EXPECT_TRUE(::GetWindowLongW(other.Hwnd(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(::GetWindowLongW(Tree(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ChannelTreeTest, BoldItemsAreFittedWithTheBoldFont) {
  CChannel* channel = AddChannel(L"http://c/1", L"c");
  const std::wstring title = L"WWWWWWWWWW MMMMMMMMMM WWWWWWWWWW MMMMMMMMMM WWWWWWWWWW";
  CFeedItem* bold = AddFeedItem(channel, UniqueUrl(L"bold"), title, 0, 0, true);
  CFeedItem* regular = AddFeedItem(channel, UniqueUrl(L"regular"), title, 0, 1, false);
  ASSERT_TRUE(State(Tree(), bold->treeHandle, TVIS_BOLD));
  ASSERT_FALSE(State(Tree(), regular->treeHandle, TVIS_BOLD));

  SetTreeWidth(220);
  const std::wstring boldLabel = Label(Tree(), bold->treeHandle);
  const std::wstring regularLabel = Label(Tree(), regular->treeHandle);
  EXPECT_EQ(boldLabel, ExpectedLabel(Tree(), *bold, true));
  EXPECT_EQ(regularLabel, ExpectedLabel(Tree(), *regular, false));
  EXPECT_LT(boldLabel.size(), regularLabel.size());

  // Read: no longer bold, and the label has the regular font's length.
  bold->unread = false;
  tree.RefreshItem(bold->key);
  EXPECT_FALSE(State(Tree(), bold->treeHandle, TVIS_BOLD));
  EXPECT_EQ(Label(Tree(), bold->treeHandle), regularLabel);
}

TEST_F(ChannelTreeTest, RemovingAChannelDestroysItsItemsChildrenFirst) {
  auto* channel = new ProbeItem(L"http://c/1", nullptr, &log);
  ASSERT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(channel), true));
  auto* other = new ProbeItem(L"http://c/2", nullptr, &log);
  ASSERT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(other), true));
  for (const wchar_t* key : {L"http://i/a", L"http://i/b", L"http://i/c"})
    ASSERT_TRUE(tree.AddItem(std::make_unique<ProbeItem>(key, channel, &log), true));
  ASSERT_TRUE(tree.AddItem(std::make_unique<ProbeItem>(L"http://i/x", other, &log), true));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"added http://i/a", L"added http://i/b", L"added http://i/c",
                                            L"added http://i/x"}));
  log.clear();

  tree.RefreshItem(L"http://i/b");
  EXPECT_EQ(log, std::vector<std::wstring>{L"changed http://i/b"});
  log.clear();
  tree.RemoveItem(L"http://nothing");
  tree.RefreshItem(L"http://nothing");
  EXPECT_TRUE(log.empty());

  tree.RemoveItem(L"http://c/1");
  EXPECT_EQ(log, (std::vector<std::wstring>{L"removed http://i/a", L"destroyed http://i/a", L"removed http://i/b",
                                            L"destroyed http://i/b", L"removed http://i/c", L"destroyed http://i/c",
                                            L"destroyed http://c/1"}));
  EXPECT_EQ(tree.removed, (std::vector<std::wstring>{L"http://i/a", L"http://i/b", L"http://i/c", L"http://c/1"}));
  for (const wchar_t* key : {L"http://c/1", L"http://i/a", L"http://i/b", L"http://i/c"})
    EXPECT_EQ(tree.FindItem(key), nullptr) << key;
  EXPECT_EQ(tree.ItemCount(), 2u);
  EXPECT_EQ(::SendMessageW(Tree(), TVM_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(ChildKeys(Tree(), nullptr), std::vector<std::wstring>{L"http://c/2"});

  // A single item goes alone; its channel hears of it.
  log.clear();
  tree.RemoveItem(L"http://i/x");
  EXPECT_EQ(log, (std::vector<std::wstring>{L"removed http://i/x", L"destroyed http://i/x"}));
  ASSERT_TRUE(tree.AddItem(std::make_unique<ProbeItem>(L"http://i/y", other, &log), true));

  // Removing everything tells the tree about each record before destroying it.
  log.clear();
  tree.removed.clear();
  tree.RemoveAll();
  EXPECT_EQ(tree.removed, (std::vector<std::wstring>{L"http://c/2", L"http://i/y"}));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"destroyed http://c/2", L"destroyed http://i/y"}));
  EXPECT_EQ(tree.ItemCount(), 0u);
  EXPECT_EQ(::SendMessageW(Tree(), TVM_GETCOUNT, 0, 0), 0);
}

TEST_F(ChannelTreeTest, DestroyingTheTreeDestroysItsRecords) {
  HWND toolTip = nullptr;
  {
    RecordingTree other;
    ASSERT_TRUE(other.Create(frame.Hwnd(), kTreeStyle, RECT{0, 0, 100, 100}, 2));
    auto* channel = new ProbeItem(L"http://c/1", nullptr, &log);
    ASSERT_TRUE(other.AddItem(std::unique_ptr<CTreeItem>(channel), true));
    ASSERT_TRUE(other.AddItem(std::make_unique<ProbeItem>(L"http://i/1", channel, &log), true));
    toolTip = other.ToolTip();
    ASSERT_TRUE(::IsWindow(toolTip));
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<std::wstring>{L"destroyed http://c/1", L"destroyed http://i/1"}));
  EXPECT_FALSE(::IsWindow(toolTip));  // it does not outlive its tree
}

TEST_F(ChannelTreeTest, ASingleClickTogglesAChannelAndStoresItsExpansion) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  CFeedItem* item = AddFeedItem(channel, L"http://i/1", L"Item", 0, 0);
  const std::wstring section = section::Channel(channel->id);
  ASSERT_TRUE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 1);
  EXPECT_EQ(Image(Tree(), item->treeHandle), 3);

  Click(Tree(), LabelPoint(Tree(), channel->treeHandle));
  EXPECT_FALSE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Config().GetInt(section, L"EXPAND", -1), 0);
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 0);
  EXPECT_EQ(Selected(Tree()), channel->treeHandle);
  EXPECT_EQ(tree.SelectedItem(), channel);

  Click(Tree(), LabelPoint(Tree(), channel->treeHandle));
  EXPECT_TRUE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Config().GetInt(section, L"EXPAND", -1), 1);
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 1);

  // A click on the icon counts too.
  RECT label = LabelRect(Tree(), channel->treeHandle);
  Click(Tree(), POINT{label.left - 8, (label.top + label.bottom) / 2});
  EXPECT_FALSE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Config().GetInt(section, L"EXPAND", -1), 0);
  Click(Tree(), LabelPoint(Tree(), channel->treeHandle));

  // A leaf is selected by the control's own handling; empty space clears the selection,
  // also when the click gives the tree the focus.
  Click(Tree(), LabelPoint(Tree(), item->treeHandle));
  EXPECT_EQ(tree.SelectedItem(), item);
  ::SetFocus(frame.Hwnd());
  Click(Tree(), POINT{20, win::ClientRect(Tree()).bottom - 10});
  EXPECT_EQ(Selected(Tree()), nullptr);
  EXPECT_EQ(tree.SelectedItem(), nullptr);
}

TEST_F(ChannelTreeTest, ExpansionByTheControlUpdatesImagesAndTheSetting) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel", false);
  AddFeedItem(channel, L"http://i/1", L"Item", 0, 0);
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 0);
  ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(channel->treeHandle));
  ::SetFocus(Tree());
  // The keyboard: '+' on the numeric pad expands, '-' collapses.
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_ADD, 0);
  EXPECT_TRUE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 1);
  EXPECT_EQ(Config().GetInt(section::Channel(channel->id), L"EXPAND", -1), 1);
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_SUBTRACT, 0);
  EXPECT_FALSE(State(Tree(), channel->treeHandle, TVIS_EXPANDED));
  EXPECT_EQ(Image(Tree(), channel->treeHandle), 0);
  EXPECT_EQ(Config().GetInt(section::Channel(channel->id), L"EXPAND", -1), 0);
}

TEST_F(ChannelTreeTest, ContextMenusOfItemsChannelsAndEmptySpace) {
  CChannel::SetMenuCommands(ChannelMenuCommands{IDM_TICKER, IDM_NOTI, IDM_KEYWORD, IDM_MOD_RSS, IDM_DEL_RSS,
                                                IDM_ADD_RSS, IDM_IMPORT_OPML, IDM_EXPORT_OPML});
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  const std::wstring longTitle = L"A feed item title that is much too long for the label in this window";
  CFeedItem* item = AddFeedItem(channel, L"http://i/1", longTitle, 0, 0);
  SetTreeWidth(150);

  {
    MenuProbe probe;
    RightClick(Tree(), LabelPoint(Tree(), item->treeHandle));
    ASSERT_EQ(probe.Menus().size(), 1u);
    const auto& menu = probe.Menus()[0];
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].text, longTitle);  // the whole title, not the shortened label
    EXPECT_TRUE(menu[0].grayed);
    EXPECT_EQ(menu[0].id, 0u);
    EXPECT_EQ(tree.SelectedItem(), item);
  }
  {
    MenuProbe probe;
    RightClick(Tree(), LabelPoint(Tree(), channel->treeHandle));
    ASSERT_EQ(probe.Menus().size(), 1u);
    const auto& menu = probe.Menus()[0];
    ASSERT_EQ(menu.size(), 9u);
    const UINT ids[] = {IDM_TICKER, IDM_NOTI,   IDM_KEYWORD,     IDM_MOD_RSS,    IDM_DEL_RSS,
                        0,          IDM_ADD_RSS, IDM_IMPORT_OPML, IDM_EXPORT_OPML};
    const wchar_t* texts[] = {L"티커표시",      L"신규알림", L"알림창 고정 키워드", L"RSS 링크 수정",  L"RSS 링크 삭제",
                              L"",              L"RSS 링크 추가", L"OPML 가져오기...", L"OPML 내보내기..."};
    for (int i = 0; i < 9; ++i) {
      EXPECT_EQ(menu[i].id, ids[i]) << i;
      EXPECT_EQ(menu[i].text, texts[i]) << i;
      EXPECT_EQ(menu[i].separator, i == 5) << i;
      if (i != 5) {
        EXPECT_FALSE(menu[i].grayed) << i;
      }
    }
    EXPECT_EQ(tree.SelectedItem(), channel);
  }
  {
    // From the keyboard (Shift+F10): the selected entry's menu.
    MenuProbe probe;
    ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item->treeHandle));
    ::SendMessageW(Tree(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Tree()), MAKELPARAM(-1, -1));
    ASSERT_EQ(probe.Menus().size(), 1u);
    EXPECT_EQ(probe.Menus()[0][0].text, longTitle);
  }
  {
    // The chosen command goes to the tree's parent, the frame.
    MenuProbe probe;
    probe.ChooseNext(IDM_NOTI);
    RightClick(Tree(), LabelPoint(Tree(), channel->treeHandle));
    PumpUntil([&] { return !frame.commands.empty(); }, 2000);
    EXPECT_EQ(frame.commands, std::vector<UINT>{IDM_NOTI});
  }
  const POINT empty{20, win::ClientRect(Tree()).bottom - 10};
  {
    MenuProbe probe;
    RightClick(Tree(), empty);
    EXPECT_TRUE(probe.Menus().empty());  // the base tree adds nothing there: no menu
  }
  {
    tree.fillEmptyAreaMenu = true;
    MenuProbe probe;
    RightClick(Tree(), empty);
    ASSERT_EQ(probe.Menus().size(), 1u);
    EXPECT_EQ(probe.Menus()[0][0].id, 4242u);
  }
}

TEST_F(ChannelTreeTest, EnterAndDoubleClickOpenAFeedItem) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  CFeedItem* item = AddFeedItem(channel, L"http://i/1", L"The item", 0, 0);
  AddFeedItem(channel, L"http://i/2", L"Another", 0, 1);

  ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item->treeHandle));
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(frame.views.size(), 1u);
  EXPECT_EQ(frame.views[0].title, L"The item");
  EXPECT_EQ(frame.views[0].link, L"http://i/1");
  EXPECT_EQ(frame.views[0].extra, L"");

  // Other keys only do what the control does with them; Delete removes nothing.
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_DELETE, 0);
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(frame.views.size(), 1u);
  EXPECT_EQ(tree.ItemCount(), 3u);
  // A key that moves the selection opens nothing.
  ::SendMessageW(Tree(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(tree.SelectedItem(), tree.FindItem(L"http://i/2"));
  EXPECT_EQ(frame.views.size(), 1u);

  DoubleClick(Tree(), LabelPoint(Tree(), item->treeHandle));
  ASSERT_EQ(frame.views.size(), 2u);
  EXPECT_EQ(frame.views[1].title, L"The item");
  EXPECT_EQ(frame.views[1].link, L"http://i/1");

  DoubleClick(Tree(), POINT{20, win::ClientRect(Tree()).bottom - 10});
  EXPECT_EQ(frame.views.size(), 2u);
}

TEST_F(ChannelTreeTest, AVisitedLinkIsNeverBold) {
  const std::wstring visited = UniqueUrl(L"visited"), fresh = UniqueUrl(L"fresh");
  ASSERT_TRUE(AddToUrlCache(visited));
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  CFeedItem* seen = AddFeedItem(channel, visited, L"Seen before", 0, 0, true);
  CFeedItem* unseen = AddFeedItem(channel, fresh, L"New", 0, 1, true);
  EXPECT_FALSE(State(Tree(), seen->treeHandle, TVIS_BOLD));
  EXPECT_FALSE(seen->unread);
  EXPECT_TRUE(State(Tree(), unseen->treeHandle, TVIS_BOLD));

  RemoveFromUrlCache(visited);
  tree.RefreshItem(visited);
  EXPECT_FALSE(State(Tree(), seen->treeHandle, TVIS_BOLD));

  // Visited later: bold until the tree asks again.
  ASSERT_TRUE(AddToUrlCache(fresh));
  EXPECT_TRUE(State(Tree(), unseen->treeHandle, TVIS_BOLD));
  tree.RefreshItem(fresh);
  EXPECT_FALSE(State(Tree(), unseen->treeHandle, TVIS_BOLD));
  RemoveFromUrlCache(fresh);
}

TEST_F(ChannelTreeTest, TheTooltipShowsTheTipCutTo79Characters) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  std::wstring tip;
  for (int i = 0; i < 100; ++i) tip += static_cast<wchar_t>(L'a' + i % 26);
  auto* item = new CFeedItem(channel, frame.Hwnd(), L"http://i/1", L"Hover me", L"[News]" + tip, 0, 0);
  item->unread = false;
  ASSERT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(item), true));
  ASSERT_NE(tree.ToolTip(), nullptr);

  // Hover the label: the tooltip comes up with the first 79 characters of the tip. The
  // cursor and the top of the window stack are shared with tests running beside this one:
  // away from where their windows are, and on top, the hover stays ours.
  ::SetWindowPos(frame.Hwnd(), HWND_TOPMOST, 760, 560, 0, 0, SWP_NOSIZE);
  PumpFor(30);
  POINT point = LabelPoint(Tree(), item->treeHandle);
  POINT screen = point;
  ::ClientToScreen(Tree(), &screen);
  // Hovering; now and then the hand leaves the label and comes back, which starts the
  // delay again should a test beside this one have taken the hover away for a moment.
  const POINT aside{win::ClientRect(Tree()).right - 5, point.y};
  DWORD lastMove = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        KeepCursorAt(screen);
        if (::GetTickCount() - lastMove > 1500) {
          ::PostMessageW(Tree(), WM_MOUSEMOVE, 0, MAKELPARAM(aside.x, aside.y));
          ::PostMessageW(Tree(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
          lastMove = ::GetTickCount();
        }
        return ::IsWindowVisible(tree.ToolTip()) != FALSE;
      },
      8000));
  wchar_t shown[256] = {};
  ::SendMessageW(tree.ToolTip(), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(shown));
  EXPECT_EQ(std::wstring(shown), (L"[News]" + tip).substr(0, 79));

  // Off the label (right of it) there is no tool, and the tooltip goes away.
  screen = aside;
  ::ClientToScreen(Tree(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  ::PostMessageW(Tree(), WM_MOUSEMOVE, 0, MAKELPARAM(aside.x, aside.y));
  EXPECT_TRUE(PumpUntil(
      [&] {
        KeepCursorAt(screen);
        return !::IsWindowVisible(tree.ToolTip()) && ::SendMessageW(tree.ToolTip(), TTM_GETTOOLCOUNT, 0, 0) == 0;
      },
      4000));
}

TEST_F(ChannelTreeTest, ScrollingClearsTheSelection) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  for (int i = 0; i < 60; ++i) AddFeedItem(channel, L"http://i/" + std::to_wstring(i), L"Item " + std::to_wstring(i), 0, i);
  CTreeItem* fifth = tree.FindItem(L"http://i/4");

  ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(fifth->treeHandle));
  HTREEITEM top = FirstVisible(Tree());
  ::SendMessageW(Tree(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_NE(FirstVisible(Tree()), top);
  EXPECT_EQ(Selected(Tree()), nullptr);

  ::SendMessageW(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(fifth->treeHandle));
  ASSERT_EQ(tree.SelectedItem(), fifth);
  RECT window = win::WindowRect(Tree());
  top = FirstVisible(Tree());
  ::SendMessageW(Tree(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA),
                 MAKELPARAM(window.left + 20, window.top + 20));
  EXPECT_NE(FirstVisible(Tree()), top);
  EXPECT_EQ(Selected(Tree()), nullptr);
}

TEST_F(ChannelTreeTest, ADropLeavesTheTreeAsItWasAndTheEdgeScrolls) {
  CChannel* first = AddChannel(L"http://c/1", L"First");
  CChannel* second = AddChannel(L"http://c/2", L"Second");
  for (int i = 0; i < 30; ++i) AddFeedItem(first, L"http://i/" + std::to_wstring(i), L"Item " + std::to_wstring(i), 0, i);
  AddFeedItem(second, L"http://j/0", L"Other", 0, 0);
  auto* probe = new ProbeItem(L"http://probe", second, &log);
  ASSERT_TRUE(tree.AddItem(std::unique_ptr<CTreeItem>(probe), true));
  auto snapshot = [&] {
    std::vector<std::wstring> all = ChildKeys(Tree(), nullptr);
    for (CChannel* c : {first, second})
      for (const auto& key : ChildKeys(Tree(), c->treeHandle)) all.push_back(c->key + L" > " + key);
    return all;
  };
  const auto before = snapshot();

  CTreeItem* dragged = tree.FindItem(L"http://i/1");
  auto beginDrag = [&](CTreeItem* item) {
    NMTREEVIEWW info{};
    info.hdr.hwndFrom = Tree();
    info.hdr.idFrom = 1;
    info.hdr.code = TVN_BEGINDRAGW;
    info.itemNew.hItem = item->treeHandle;
    info.itemNew.lParam = reinterpret_cast<LPARAM>(item);
    info.ptDrag = LabelPoint(Tree(), item->treeHandle);
    ::SendMessageW(frame.Hwnd(), WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&info));
  };
  beginDrag(dragged);
  EXPECT_EQ(::GetCapture(), Tree());
  EXPECT_EQ(tree.SelectedItem(), dragged);

  // Over another item: it is highlighted as the target.
  HTREEITEM target = tree.FindItem(L"http://i/3")->treeHandle;
  POINT over = LabelPoint(Tree(), target);
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.x, over.y));
  EXPECT_TRUE(State(Tree(), target, TVIS_DROPHILITED));

  // Near the bottom edge: one line per mouse move.
  HTREEITEM top = FirstVisible(Tree());
  const int bottom = win::ClientRect(Tree()).bottom;
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, bottom - 5));
  HTREEITEM next = reinterpret_cast<HTREEITEM>(
      ::SendMessageW(Tree(), TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(top)));
  EXPECT_EQ(FirstVisible(Tree()), next);
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 5));
  EXPECT_EQ(FirstVisible(Tree()), top);

  over = LabelPoint(Tree(), target);
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.x, over.y));
  ::SendMessageW(Tree(), WM_LBUTTONUP, 0, MAKELPARAM(over.x, over.y));
  EXPECT_NE(::GetCapture(), Tree());
  EXPECT_FALSE(State(Tree(), target, TVIS_DROPHILITED));
  EXPECT_EQ(snapshot(), before);

  // The dragged record is told where it was dropped.
  beginDrag(probe);
  POINT onto = LabelPoint(Tree(), second->treeHandle);
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(onto.x, onto.y));
  ::SendMessageW(Tree(), WM_LBUTTONUP, 0, MAKELPARAM(onto.x, onto.y));
  EXPECT_EQ(log, std::vector<std::wstring>{L"drop onto http://c/2"});
  EXPECT_EQ(snapshot(), before);

  // Another window takes the mouse mid-drag: the drag ends there, with nothing dropped,
  // and a later button-up over a target does nothing.
  beginDrag(probe);
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(onto.x, onto.y));
  ASSERT_TRUE(State(Tree(), second->treeHandle, TVIS_DROPHILITED));
  ::SetCapture(frame.Hwnd());
  EXPECT_FALSE(State(Tree(), second->treeHandle, TVIS_DROPHILITED));
  ::ReleaseCapture();
  ::SendMessageW(Tree(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(onto.x, onto.y));
  ::SendMessageW(Tree(), WM_LBUTTONUP, 0, MAKELPARAM(onto.x, onto.y));
  EXPECT_FALSE(State(Tree(), second->treeHandle, TVIS_DROPHILITED));
  EXPECT_EQ(log.size(), 1u);
}

// Entries scrolled out of sight have labels for the current width too: the control can
// bring one into view on its own (type-ahead, a key that moves the selection).
TEST_F(ChannelTreeTest, LabelsBelowTheWindowFollowAResize) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  std::vector<CFeedItem*> items;
  for (int i = 0; i < 60; ++i)
    items.push_back(AddFeedItem(channel, L"http://i/" + std::to_wstring(i),
                                L"A long feed item title of many words, number " + std::to_wstring(i), 0, i));
  SetTreeWidth(340);
  SetTreeWidth(150);
  CFeedItem* last = items.back();
  ASSERT_GT(LabelRect(Tree(), last->treeHandle).top, win::ClientRect(Tree()).bottom);  // below the window
  EXPECT_EQ(Label(Tree(), last->treeHandle), ExpectedLabel(Tree(), *last, false));
  // Brought into view by the control alone, it shows its fitted label as it is.
  ::SendMessageW(Tree(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(last->treeHandle));
  EXPECT_EQ(Label(Tree(), last->treeHandle), ExpectedLabel(Tree(), *last, false));
}

TEST_F(ChannelTreeTest, LabelsCannotBeEditedAndShellDropsAreIgnored) {
  CChannel* channel = AddChannel(L"http://c/1", L"Channel");
  CFeedItem* item = AddFeedItem(channel, L"http://i/1", L"Item", 0, 0);
  ::SetFocus(Tree());
  EXPECT_EQ(::SendMessageW(Tree(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item->treeHandle)), 0);
  EXPECT_EQ(::SendMessageW(Tree(), TVM_GETEDITCONTROL, 0, 0), 0);
  EXPECT_EQ(Label(Tree(), item->treeHandle), L"Item");

  EXPECT_TRUE(::GetWindowLongW(Tree(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  // A file dropped from the shell onto an item: read and released, nothing changes.
  const wchar_t path[] = L"C:\\dropped.txt\0";
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof(path));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = LabelPoint(Tree(), item->treeHandle);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, path, sizeof(path));
  ::GlobalUnlock(memory);
  ::SendMessageW(Tree(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  EXPECT_EQ(tree.ItemCount(), 2u);
  EXPECT_EQ(ChildKeys(Tree(), channel->treeHandle), std::vector<std::wstring>{L"http://i/1"});
}
