#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "ChannelTreeTesting.h"
#include "channels/TreeItem.h"
#include "common/UrlCache.h"
#include "config/ConfigStore.h"
#include "support/win/WinTest.h"

using test::ScopedConfig;

TEST(TreeItem, DisplayTextCutsAndAlwaysAddsTheDots) {
  CChannel channel(L"http://example.com/rss", L"00010002");
  channel.title = L"Hello world";
  EXPECT_EQ(channel.DisplayText(5), L"Hello...");
  EXPECT_EQ(channel.DisplayText(-1), L"Hello world");
  EXPECT_EQ(channel.DisplayText(11), L"Hello world...");
  EXPECT_EQ(channel.DisplayText(40), L"Hello world...");
  EXPECT_EQ(channel.DisplayText(0), L"...");

  CFeedItem item(&channel, nullptr, L"http://example.com/1", L"\xAC00\xB098\xB2E4 news", L"tip", 0, 0);
  EXPECT_EQ(item.DisplayText(2), L"\xAC00\xB098...");
  EXPECT_EQ(item.TipText(), L"tip");

  CTreeItem base;
  base.key = L"the key";
  EXPECT_EQ(base.DisplayText(3), L"the...");
  EXPECT_EQ(base.TipText(), L"the key");
}

TEST(TreeItem, KindsAnswerTheirNamesImagesAndKeys) {
  CChannel channel(L"http://example.com/rss", L"0a0b0c0d");
  EXPECT_EQ(channel.key, L"http://example.com/rss");
  EXPECT_EQ(channel.title, L"http://example.com/rss");
  EXPECT_EQ(channel.parent, nullptr);
  EXPECT_TRUE(channel.notYetLoaded);
  EXPECT_EQ(channel.ClassName(), L"CChannel");
  EXPECT_EQ(channel.ImageIndex(true, false), 1);
  EXPECT_EQ(channel.ImageIndex(false, true), 0);
  EXPECT_EQ(channel.SortKey(), L"");

  CFeedItem item(&channel, nullptr, L"http://example.com/a", L"A", L"A", 0x1000, 12);
  EXPECT_EQ(item.ClassName(), L"CTreeItem");  // a feed item calls itself a plain record
  EXPECT_EQ(item.parent, &channel);
  EXPECT_EQ(item.key, L"http://example.com/a");
  EXPECT_EQ(item.ImageIndex(true, true), 3);
  EXPECT_EQ(item.ImageIndex(false, false), 3);
  EXPECT_EQ(item.SortKey(), L"ffffefff-012");
  EXPECT_TRUE(item.unread);
  EXPECT_FALSE(item.seen);

  CTreeItem base;
  EXPECT_EQ(base.ImageIndex(true, false), 0);
  EXPECT_EQ(base.ImageIndex(false, false), 1);
  EXPECT_FALSE(base.IsBold());
  EXPECT_EQ(base.DropOnto(&channel), 0);
  EXPECT_FALSE(base.OnBeginEdit(nullptr));
}

TEST(TreeItem, CompareOrdersChannelsByTitleAndItemsByRunAndArrival) {
  CChannel a(L"http://1", L"1"), b(L"http://2", L"2");
  a.title = L"b";
  b.title = L"a";
  EXPECT_GT(a.Compare(b), 0);
  EXPECT_LT(b.Compare(a), 0);

  CFeedItem older(&a, nullptr, L"http://x/1", L"aaa", L"", 1000, 0);
  CFeedItem newer(&a, nullptr, L"http://x/2", L"zzz", L"", 2000, 5);
  EXPECT_LT(newer.Compare(older), 0);  // the later run first, whatever the titles
  CFeedItem sameRunA(&a, nullptr, L"http://x/3", L"same", L"", 2000, 7);
  CFeedItem sameRunB(&a, nullptr, L"http://x/4", L"same", L"", 2000, 7);
  EXPECT_EQ(sameRunA.Compare(sameRunB), 0);
}

TEST(TreeItem, ChannelStoresItsExpansion) {
  ScopedConfig config;
  CChannel channel(L"http://example.com/rss", L"12345678");
  channel.OnExpanded(1);
  EXPECT_EQ(Config().GetInt(section::Channel(L"12345678"), L"EXPAND", -1), 0);
  channel.OnExpanded(2);
  EXPECT_EQ(Config().GetInt(section::Channel(L"12345678"), L"EXPAND", -1), 1);
  channel.OnExpanded(1);
  config.Restart();  // the next start reads what the user left
  EXPECT_EQ(Config().GetInt(section::Channel(L"12345678"), L"EXPAND", -1), 0);
}

TEST(TreeItem, UnreadEndsForGoodWhenTheLinkIsInTheUrlCache) {
  const std::wstring visited = test::UniqueUrl(L"visited");
  const std::wstring fresh = test::UniqueUrl(L"fresh");
  CChannel channel(L"http://example.com/rss", L"1");
  CFeedItem a(&channel, nullptr, visited, L"a", L"a", 0, 0);
  CFeedItem b(&channel, nullptr, fresh, L"b", L"b", 0, 1);

  EXPECT_TRUE(a.IsBold());
  ASSERT_TRUE(test::AddToUrlCache(visited));
  EXPECT_FALSE(a.IsBold());
  EXPECT_FALSE(a.unread);
  EXPECT_TRUE(b.IsBold());
  EXPECT_TRUE(b.unread);

  test::RemoveFromUrlCache(visited);
  EXPECT_FALSE(IsInUrlCache(visited));
  EXPECT_FALSE(a.IsBold());  // the mark does not come back
}

// The fetch thread asks the cache about new links and hands the answer over: the first
// IsBold takes it instead of asking again, every later one asks the cache as before.
TEST(TreeItem, AnAnswerFromTheFetchThreadStandsForOneLookUp) {
  const std::wstring visited = test::UniqueUrl(L"visited");
  const std::wstring fresh = test::UniqueUrl(L"fresh");
  CChannel channel(L"http://example.com/rss", L"1");
  CFeedItem read(&channel, nullptr, fresh, L"a", L"a", 0, 0);
  CFeedItem unread(&channel, nullptr, visited, L"b", L"b", 0, 1);
  ASSERT_TRUE(test::AddToUrlCache(visited));

  read.TakeUrlCacheAnswer(true);
  EXPECT_FALSE(read.IsBold());
  EXPECT_FALSE(read.IsBold());  // read for good
  unread.TakeUrlCacheAnswer(false);
  EXPECT_TRUE(unread.IsBold());   // the answer, not the cache
  EXPECT_FALSE(unread.IsBold());  // the cache again, which holds it now
  test::RemoveFromUrlCache(visited);
}

// Reading the cache whole must give every answer a question would, whether the reading
// ends early (a small cache) or the questions come first (too few links to pay for it).
TEST(UrlCacheReader, AnswersAsEachQuestionWould) {
  const std::wstring named = L"http://pellora.example" + test::UniqueUrl(L"n").substr(16);
  std::vector<std::wstring> cached = {test::UniqueUrl(L"a"), test::UniqueUrl(L"b"), test::UniqueUrl(L"\u00fc"), named};
  for (const std::wstring& url : cached) ASSERT_TRUE(test::AddToUrlCache(url));
  std::vector<std::wstring> links = cached;
  for (const std::wstring& url : cached) {
    links.push_back(url + L"/");
    links.push_back(url + L"#part");
    std::wstring upper = url;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
    links.push_back(upper);
  }
  links.push_back(L"http://Pellora.EXAMPLE" + named.substr(22));  // a host in capitals
  links.push_back(L"HTTP" + named.substr(4));
  links.insert(links.end(), {L"", test::UniqueUrl(L"never")});
  std::vector<char> truth(links.size());
  for (size_t i = 0; i < links.size(); ++i) truth[i] = IsInUrlCache(links[i]);
  ASSERT_GE(std::count(truth.begin(), truth.end(), 1), 4);

  const std::vector<char> all(links.size(), 1);
  for (size_t firstAsked : {size_t{1}, links.size()}) {  // pays for a few entries, or for all
    UrlCacheReader reader;
    std::vector<char> some(links.size(), 0), present(links.size(), 0);
    some[firstAsked - 1] = 1;
    reader.Answer(links, some, present);
    EXPECT_EQ(present[firstAsked - 1], truth[firstAsked - 1]);
    std::fill(present.begin(), present.end(), 0);
    reader.Answer(links, all, present);
    EXPECT_EQ(present, truth) << "first asked: " << firstAsked;
  }
  for (const std::wstring& url : cached) test::RemoveFromUrlCache(url);
}

TEST(TreeItem, OnlyEnterOpensAFeedItem) {
  test::TreeFrame frame;
  ASSERT_TRUE(frame.Create(50, 50, 200, 100));
  CChannel channel(L"http://example.com/rss", L"1");
  CFeedItem item(&channel, frame.Hwnd(), L"http://example.com/a", L"The title", L"[cat]The title", 0, 0);
  item.OnKey(VK_DELETE);
  item.OnKey(VK_SPACE);
  EXPECT_TRUE(frame.views.empty());
  item.OnKey(VK_RETURN);
  ASSERT_EQ(frame.views.size(), 1u);
  EXPECT_EQ(frame.views[0].title, L"The title");
  EXPECT_EQ(frame.views[0].link, L"http://example.com/a");
  EXPECT_EQ(frame.views[0].extra, L"");
  channel.OnKey(VK_RETURN);  // a channel opens nothing
  EXPECT_EQ(frame.views.size(), 1u);
}
