#include <gtest/gtest.h>

#include "version.h"
#include "app/FrameFixture.h"
#include "app/InputDialog.h"
#include "res/resource.h"

using test::DialogAnswerer;
using test::MenuProbe;

namespace {

class CommandsTest : public test::FrameTest {
 protected:
  void Command(UINT id) { ::SendMessageW(frame.Hwnd(), WM_COMMAND, id, 0); }
  void Select(CTreeItem* item) {
    TreeView_SelectItem(frame.Tree().Hwnd(), item ? item->treeHandle : nullptr);
  }
  // Opens a menu with the given commands, owned by the frame, and returns what its update
  // rules made of them.
  std::vector<MenuProbe::Item> Probe(std::initializer_list<UINT> ids) {
    MenuProbe probe;
    win::Menu menu(::CreatePopupMenu());
    for (UINT id : ids) ::AppendMenuW(menu.Get(), MF_STRING, id, L"x");
    ::TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, 0, 0, 0, frame.Hwnd(), nullptr);
    return probe.Menus().empty() ? std::vector<MenuProbe::Item>{} : probe.Menus()[0];
  }
  std::vector<std::wstring> StoredIds() {
    std::vector<std::wstring> ids;
    Config().EnumSubsections(L"CONFIG", ids);
    return ids;
  }
  // Adds a channel through the add command and returns it.
  CChannel* Add(const std::wstring& url) {
    DialogAnswerer answer(true, url, true);
    Command(IDM_ADD_RSS);
    return dynamic_cast<CChannel*>(frame.Tree().FindItem(url));
  }
};

}  // namespace

TEST_F(CommandsTest, AddStoresTheTypedAddressUnderANewIdAndShowsIt) {
  DialogAnswerer answer(true, L" http://a.example/rss ", true);
  Command(IDM_ADD_RSS);
  ASSERT_EQ(answer.SeenDialogs().size(), 1u);
  EXPECT_EQ(answer.SeenDialogs()[0].caption, InputDialog::kAddCaption);
  EXPECT_EQ(answer.SeenDialogs()[0].editText, L"");
  auto ids = StoredIds();
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(ids[0].size(), 8u);
  EXPECT_EQ(ids[0].find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
  EXPECT_LE(ids[0][0], L'7');
  EXPECT_LE(ids[0][4], L'7');
  EXPECT_EQ(Config().GetString(section::Channel(ids[0]), L"URL", L""), L" http://a.example/rss ");
  auto* channel = dynamic_cast<CChannel*>(frame.Tree().FindItem(L" http://a.example/rss "));
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->title, L" http://a.example/rss ");
  EXPECT_EQ(channel->id, ids[0]);
  EXPECT_TRUE(channel->notYetLoaded);
}

TEST_F(CommandsTest, AddIsRefusedForAnAddressAlreadyRegisteredBeforeAnythingIsWritten) {
  Add(L"http://a.example/rss");
  // A stored channel that is not in the tree counts as well.
  Config().SetString(L"CONFIG\\0000abcd", L"URL", L"#http://hidden.example/");
  for (const wchar_t* url : {L"http://a.example/rss", L"#http://hidden.example/"}) {
    DialogAnswerer answer(true, url, true);
    Command(IDM_ADD_RSS);
    EXPECT_EQ(boxes.Last().text, CMainFrame::kDuplicateAddressText);
  }
  EXPECT_EQ(StoredIds().size(), 2u);
  // Cancel changes nothing.
  DialogAnswerer cancel(false, L"http://b.example/", true);
  Command(IDM_ADD_RSS);
  EXPECT_EQ(StoredIds().size(), 2u);
}

TEST_F(CommandsTest, ModifyKeepsTheIdAndRefusesOwnEmptyOrTakenAddresses) {
  CChannel* a = Add(L"http://a.example/rss");
  Add(L"http://b.example/rss");
  ASSERT_NE(a, nullptr);
  const std::wstring id = a->id;
  Deliver(id, L"http://a.example/rss", test::Rss(L"A", {{L"one", L"http://a.example/1", L""}}));
  ASSERT_EQ(frame.FeedItems().size(), 1u);

  for (const wchar_t* same : {L"http://a.example/rss", L""}) {
    Select(Channel(L"http://a.example/rss"));
    DialogAnswerer answer(true, same, true);
    Command(IDM_MOD_RSS);
    ASSERT_EQ(answer.SeenDialogs().size(), 1u);
    EXPECT_EQ(answer.SeenDialogs()[0].caption, InputDialog::kModifyCaption);
    EXPECT_EQ(answer.SeenDialogs()[0].editText, L"http://a.example/rss");
  }
  size_t boxesBefore = boxes.Count();
  {
    Select(Channel(L"http://a.example/rss"));
    DialogAnswerer answer(true, L"http://b.example/rss", true);
    Command(IDM_MOD_RSS);
  }
  ASSERT_EQ(boxes.Count(), boxesBefore + 1);
  EXPECT_EQ(boxes.Last().text, CMainFrame::kDuplicateAddressText);
  EXPECT_EQ(Config().GetString(section::Channel(id), L"URL", L""), L"http://a.example/rss");
  EXPECT_EQ(frame.FeedItems().size(), 1u);

  {
    Select(Channel(L"http://a.example/rss"));
    DialogAnswerer answer(true, L"http://a2.example/rss", true);
    Command(IDM_MOD_RSS);
  }
  EXPECT_EQ(Config().GetString(section::Channel(id), L"URL", L""), L"http://a2.example/rss");
  EXPECT_EQ(frame.Tree().FindItem(L"http://a.example/rss"), nullptr);
  EXPECT_EQ(frame.Tree().FindItem(L"http://a.example/1"), nullptr);
  EXPECT_TRUE(frame.FeedItems().empty());
  CChannel* renewed = Channel(L"http://a2.example/rss");
  ASSERT_NE(renewed, nullptr);
  EXPECT_EQ(renewed->id, id);
  EXPECT_TRUE(renewed->notYetLoaded);
  // Its options stay under the same section.
  Select(renewed);
  Command(IDM_NOTI);
  EXPECT_EQ(Config().GetInt(section::Channel(id), L"NOTI", 0), 1);
}

TEST_F(CommandsTest, DeleteAsksFirstThenRemovesTheSectionAndAllItems) {
  CChannel* a = Add(L"http://a.example/rss");
  ASSERT_NE(a, nullptr);
  const std::wstring id = a->id;
  Config().SetInt(section::Channel(id), L"EXPAND", 0);
  Config().SetInt(section::Channel(id), L"NOTI", 1);
  Deliver(id, L"http://a.example/rss", test::Rss(L"A", {{L"one", L"http://a/1", L""}, {L"two", L"http://a/2", L""}}));
  ASSERT_EQ(frame.FeedItems().size(), 2u);

  Select(Channel(L"http://a.example/rss"));
  boxes.SetAnswer(IDCANCEL);
  Command(IDM_DEL_RSS);
  EXPECT_EQ(boxes.Last().text, CMainFrame::kDeleteQuestion);
  EXPECT_EQ(boxes.Last().type & MB_TYPEMASK, UINT(MB_OKCANCEL));
  EXPECT_NE(Channel(L"http://a.example/rss"), nullptr);
  EXPECT_EQ(StoredIds().size(), 1u);

  boxes.SetAnswer(IDOK);
  Command(IDM_DEL_RSS);
  EXPECT_EQ(Channel(L"http://a.example/rss"), nullptr);
  EXPECT_EQ(frame.Tree().FindItem(L"http://a/1"), nullptr);
  EXPECT_TRUE(frame.FeedItems().empty());
  EXPECT_TRUE(StoredIds().empty());
  EXPECT_EQ(Config().GetInt(section::Channel(id), L"NOTI", 7), 7);
  EXPECT_EQ(Config().GetInt(section::Channel(id), L"EXPAND", 7), 7);
}

TEST_F(CommandsTest, KeywordsAreEditedForTheSelectedChannel) {
  CChannel* a = Add(L"http://a.example/rss");
  Select(a);
  {
    DialogAnswerer answer(true, L"\xC0AC\xACFC pie%20recipe", true);
    Command(IDM_KEYWORD);
    EXPECT_EQ(answer.SeenDialogs()[0].caption, InputDialog::kKeywordCaption);
  }
  EXPECT_EQ(Config().GetString(section::Channel(a->id), L"KEYWORD", L""), L"\xC0AC\xACFC pie%20recipe");
  DialogAnswerer answer(true, L"", true);
  Command(IDM_KEYWORD);
  EXPECT_EQ(answer.SeenDialogs()[0].editText, L"\xC0AC\xACFC pie%20recipe");
  EXPECT_EQ(Config().GetString(section::Channel(a->id), L"KEYWORD", L"x"), L"");
}

TEST_F(CommandsTest, ChannelRulesFollowTheSelection) {
  CChannel* a = Add(L"http://a.example/rss");
  Deliver(a->id, L"http://a.example/rss", test::Rss(L"A", {{L"one", L"http://a/1", L""}}));
  const auto ids = {UINT(IDM_TICKER), UINT(IDM_NOTI), UINT(IDM_MOD_RSS), UINT(IDM_DEL_RSS), UINT(IDM_KEYWORD)};

  Select(Item(L"http://a/1"));
  auto items = Probe(ids);
  ASSERT_EQ(items.size(), 5u);
  EXPECT_FALSE(items[0].checked);
  EXPECT_FALSE(items[1].checked);
  EXPECT_TRUE(items[2].grayed);
  EXPECT_TRUE(items[3].grayed);
  EXPECT_TRUE(items[4].grayed);

  Select(Channel(L"http://a.example/rss"));
  items = Probe(ids);
  EXPECT_TRUE(items[0].checked);  // TICKER defaults to on
  EXPECT_FALSE(items[1].checked);
  EXPECT_FALSE(items[2].grayed);
  EXPECT_FALSE(items[3].grayed);
  EXPECT_TRUE(items[4].grayed);  // keywords only with notifications on

  Command(IDM_NOTI);
  Command(IDM_TICKER);
  items = Probe(ids);
  EXPECT_FALSE(items[0].checked);
  EXPECT_TRUE(items[1].checked);
  EXPECT_FALSE(items[4].grayed);
  EXPECT_EQ(Config().GetInt(section::Channel(a->id), L"TICKER", 1), 0);

  // Commands that need a channel do nothing without one.
  Select(Item(L"http://a/1"));
  Command(IDM_NOTI);
  EXPECT_EQ(Config().GetInt(section::Channel(a->id), L"NOTI", 0), 1);
}

TEST_F(CommandsTest, GlobalSwitchesAndShowTickerAvailability) {
  auto items = Probe({IDM_RSS_TICKER, IDM_TOPMOST, IDM_INTERNAL, IDM_REFRESH});
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[0].checked);
  EXPECT_TRUE(items[0].grayed);  // no feed item yet
  EXPECT_FALSE(items[1].checked);
  EXPECT_FALSE(items[2].checked);
  EXPECT_FALSE(items[3].grayed);

  Deliver(L"c1", L"http://c/rss", test::Rss(L"C", {{L"one", L"http://c/1", L""}}));
  Command(IDM_TOPMOST);
  Command(IDM_INTERNAL);
  Command(IDM_RSS_TICKER);
  items = Probe({IDM_RSS_TICKER, IDM_TOPMOST, IDM_INTERNAL});
  EXPECT_FALSE(items[0].checked);
  EXPECT_FALSE(items[0].grayed);
  EXPECT_TRUE(items[1].checked);
  EXPECT_TRUE(items[2].checked);
  EXPECT_TRUE(::GetWindowLongW(frame.Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(::IsWindowVisible(frame.Ticker().Hwnd()));
  EXPECT_EQ(Config().GetInt(L"CONFIG", L"RSS_TICKER", 1), 0);

  Command(IDM_RSS_TICKER);
  EXPECT_TRUE(::IsWindowVisible(frame.Ticker().Hwnd()));
  Command(IDM_TOPMOST);
  EXPECT_FALSE(::GetWindowLongW(frame.Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(Config().GetInt(L"WINDOW", L"MAIN_TOPMOST", 1), 0);
}

TEST_F(CommandsTest, TheMainMenuAndTheEmptyAreaMenu) {
  HMENU bar = ::GetMenu(frame.Hwnd());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(::GetMenuItemCount(bar), 2);
  MenuProbe probe;
  ::TrackPopupMenu(::GetSubMenu(bar, 0), TPM_RIGHTBUTTON, 0, 0, 0, frame.Hwnd(), nullptr);
  ::TrackPopupMenu(::GetSubMenu(bar, 1), TPM_RIGHTBUTTON, 0, 0, 0, frame.Hwnd(), nullptr);
  ASSERT_EQ(probe.Menus().size(), 2u);
  std::vector<UINT> file, help;
  for (const auto& item : probe.Menus()[0]) file.push_back(item.id);
  for (const auto& item : probe.Menus()[1]) help.push_back(item.id);
  EXPECT_EQ(file, (std::vector<UINT>{IDM_REFRESH, IDM_ADD_RSS, IDM_IMPORT_OPML, IDM_EXPORT_OPML, 0,
                                      IDM_RSS_TICKER, IDM_TOPMOST, IDM_INTERNAL, 0, IDM_EXIT}));
  EXPECT_EQ(help, (std::vector<UINT>{IDM_VERSION, 0, ID_APP_ABOUT}));
  EXPECT_EQ(probe.Menus()[0][2].text, L"OPML 가져오기...");
  EXPECT_EQ(probe.Menus()[0][3].text, L"OPML 내보내기...");
  EXPECT_EQ(probe.Menus()[0][9].text, L"\xC885\xB8CC(&X)");

  // A right click on empty tree space offers refresh, add and the OPML commands.
  MenuProbe empty;
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);
  RECT r = win::WindowRect(frame.Tree().Hwnd());
  ::SendMessageW(frame.Tree().Hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(frame.Tree().Hwnd()),
                 MAKELPARAM(r.left + 20, r.bottom - 20));
  ASSERT_EQ(empty.Menus().size(), 1u);
  ASSERT_EQ(empty.Menus()[0].size(), 5u);
  EXPECT_EQ(empty.Menus()[0][0].id, UINT(IDM_REFRESH));
  EXPECT_TRUE(empty.Menus()[0][1].separator);
  EXPECT_EQ(empty.Menus()[0][2].id, UINT(IDM_ADD_RSS));
  EXPECT_EQ(empty.Menus()[0][3].id, UINT(IDM_IMPORT_OPML));
  EXPECT_EQ(empty.Menus()[0][4].id, UINT(IDM_EXPORT_OPML));
}

TEST_F(CommandsTest, AboutShowsTheFileVersion) {
  DialogAnswerer answer(true);
  Command(ID_APP_ABOUT);
  ASSERT_EQ(answer.SeenDialogs().size(), 1u);
  EXPECT_EQ(answer.SeenDialogs()[0].caption, L"pellora \xC815\xBCF4");
  EXPECT_NE(std::find(answer.Statics().begin(), answer.Statics().end(), L"" PELLORA_VERSION_TEXT), answer.Statics().end());
}
