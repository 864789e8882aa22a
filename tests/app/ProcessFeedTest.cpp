#include <gtest/gtest.h>

#include "app/FrameFixture.h"
#include "display/NotifyWnd.h"
#include "support/TraceCapture.h"

using test::FeedEntry;
using test::Rss;

namespace {

const std::wstring kUrl = L"http://news.example/rss";
const std::wstring kId = L"0a0b0c0d";

class ProcessFeedTest : public test::FrameTest {
 protected:
  void SetChannel(const wchar_t* value, int number) { Config().SetInt(section::Channel(kId), value, number); }
  void SetKeywords(const std::wstring& text) { Config().SetString(section::Channel(kId), L"KEYWORD", text); }
  std::vector<FeedEntry> Items(int n, const std::wstring& prefix = L"item") {
    std::vector<FeedEntry> items;
    for (int i = 0; i < n; ++i)
      items.push_back({prefix + L" " + std::to_wstring(i), L"http://news.example/" + prefix + std::to_wstring(i), L""});
    return items;
  }
  int PopupTime(size_t i) {
    auto* popup = dynamic_cast<NotifyWnd*>(frame.QueuedPopup(i));
    return popup ? popup->DisplayTime() : -1;
  }
};

}  // namespace

TEST_F(ProcessFeedTest, FirstPassCreatesTheChannelAndFillsTreeAndTickerSilently) {
  SetChannel(L"NOTI", 1);
  // The reader trims white space as written; what references decode to is trimmed here.
  Deliver(kId, kUrl, Rss(L"  &#32;\xB274\xC2A4 &amp; Co&#13;&#10; \r\n", Items(3)));
  CChannel* channel = Channel(kUrl);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->id, kId);
  EXPECT_EQ(channel->title, L"\xB274\xC2A4 & Co");
  EXPECT_FALSE(channel->notYetLoaded);
  ASSERT_EQ(frame.FeedItems().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    CFeedItem* item = Item(L"http://news.example/item" + std::to_wstring(i));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->parent, channel);
    EXPECT_EQ(item->arrivalNo, i);
    EXPECT_EQ(item->fetchStamp, frame.LastFetchEnd());
    EXPECT_TRUE(item->unread);
  }
  EXPECT_EQ(frame.Ticker().EntryCount(), 3u);
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_EQ(frame.PopupsShown(), 0);
}

TEST_F(ProcessFeedTest, ANewItemOnTheNextPassRaisesExactlyOnePopup) {
  SetChannel(L"NOTI", 1);
  Deliver(kId, kUrl, Rss(L"News", Items(2)));
  auto items = Items(2);
  items.insert(items.begin(), FeedEntry{L"fresh", L"http://news.example/fresh", L"World"});
  Deliver(kId, kUrl, Rss(L"News", items));
  EXPECT_EQ(frame.FeedItems().size(), 3u);
  ASSERT_EQ(frame.QueuedPopups(), 1u);
  EXPECT_EQ(frame.PopupsShown(), 1);
  EXPECT_EQ(PopupTime(0), 5000);
  EXPECT_EQ(frame.Ticker().EntryCount(), 3u);
  EXPECT_EQ(Item(L"http://news.example/fresh")->TipText(), L"[World]fresh");
  EXPECT_EQ(Item(L"http://news.example/fresh")->arrivalNo, 0);
}

TEST_F(ProcessFeedTest, KeywordsPinPopupsCaseSensitivelyInTitleOrCategory) {
  SetChannel(L"NOTI", 1);
  Deliver(kId, kUrl, Rss(L"News", {}));
  SetKeywords(L"apple pie%20recipe");
  Deliver(kId, kUrl, Rss(L"News", {{L"best pie recipe ever", L"http://n/1", L""},
                                    {L"pie and recipe", L"http://n/2", L""},
                                    {L"Apple news", L"http://n/3", L""},
                                    {L"an apple a day", L"http://n/4", L""}}));
  ASSERT_EQ(frame.QueuedPopups(), 4u);
  EXPECT_EQ(PopupTime(0), 0);
  EXPECT_EQ(PopupTime(1), 5000);
  EXPECT_EQ(PopupTime(2), 5000);
  EXPECT_EQ(PopupTime(3), 0);

  SetKeywords(L"Sport");
  Deliver(kId, kUrl, Rss(L"News", {{L"match", L"http://n/5", L"Sports"}}));
  SetKeywords(L"sport");
  Deliver(kId, kUrl, Rss(L"News", {{L"match", L"http://n/5", L"Sports"}, {L"game", L"http://n/6", L"Sports"}}));
  SetKeywords(L"*");
  Deliver(kId, kUrl, Rss(L"News", {{L"game", L"http://n/6", L"Sports"}, {L"x", L"http://n/7", L""}}));
  ASSERT_EQ(frame.QueuedPopups(), 7u);
  EXPECT_EQ(PopupTime(4), 0);
  EXPECT_EQ(PopupTime(5), 5000);
  EXPECT_EQ(PopupTime(6), 0);
}

TEST_F(ProcessFeedTest, AKnownLinkIsOnlyRetitled) {
  SetChannel(L"NOTI", 1);
  Deliver(kId, kUrl, Rss(L"News", {{L"old title", L"http://n/1", L"c"}, {L"plain", L"http://n/2", L""}}));
  Deliver(kId, kUrl, Rss(L"News", {{L"old title", L"http://n/1", L"c"}, {L"plain", L"http://n/2", L""}}));
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_EQ(Item(L"http://n/2")->TipText(), L"plain");
  Deliver(kId, kUrl, Rss(L"News", {{L"new &amp;lt;b&amp;gt; title", L"http://n/1", L"c"}, {L"plainer", L"http://n/2", L""}}));
  CFeedItem* item = Item(L"http://n/1");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->title, L"new <b> title");
  // The tip is composed once, at creation, with or without a category.
  EXPECT_EQ(item->TipText(), L"[c]old title");
  EXPECT_EQ(Item(L"http://n/2")->title, L"plainer");
  EXPECT_EQ(Item(L"http://n/2")->TipText(), L"plain");
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_EQ(frame.Ticker().EntryCount(), 2u);
  EXPECT_EQ(frame.FeedItems().size(), 2u);
}

TEST_F(ProcessFeedTest, TickerSettingOfTheChannel) {
  SetChannel(L"TICKER", 0);
  Deliver(kId, kUrl, Rss(L"News", Items(2)));
  EXPECT_EQ(frame.Ticker().EntryCount(), 0u);
  EXPECT_EQ(frame.FeedItems().size(), 2u);
}

TEST_F(ProcessFeedTest, AParseFailureEmptiesTheChannelAndAnEmptyDownloadKeepsIt) {
  SetChannel(L"NOTI", 1);
  Deliver(kId, kUrl, Rss(L"News", Items(3)));
  ASSERT_EQ(frame.FeedItems().size(), 3u);

  // Not downloaded: nothing changes, but the next good pass is silent again.
  Deliver(kId, kUrl, L"");
  EXPECT_EQ(frame.FeedItems().size(), 3u);
  EXPECT_TRUE(Channel(kUrl)->notYetLoaded);
  auto more = Items(3);
  more.push_back({L"quiet", L"http://n/quiet", L""});
  Deliver(kId, kUrl, Rss(L"News", more));
  EXPECT_EQ(frame.FeedItems().size(), 4u);
  EXPECT_EQ(frame.QueuedPopups(), 0u);
  EXPECT_FALSE(Channel(kUrl)->notYetLoaded);

  TraceCapture trace;
  Deliver(kId, kUrl, L"<rss><channel><title>x</title></rss>");
  EXPECT_EQ(frame.FeedItems().size(), 0u);
  EXPECT_EQ(frame.Tree().FindItem(L"http://n/quiet"), nullptr);
  ASSERT_NE(Channel(kUrl), nullptr);
  EXPECT_EQ(Channel(kUrl)->title, L"News");
  EXPECT_TRUE(Channel(kUrl)->notYetLoaded);
  EXPECT_TRUE(trace.Contains(L"[1:36] End tag match error\n\n"));
}

TEST_F(ProcessFeedTest, ItemsOutsideTheChannelElementAreNotRead) {
  Deliver(kId, kUrl, Rss(L"News", Items(2)));
  ASSERT_EQ(frame.FeedItems().size(), 2u);
  Deliver(kId, kUrl,
          L"<rss><channel><title>News</title></channel><item><title>a</title><link>http://n/a</link></item></rss>");
  EXPECT_EQ(frame.FeedItems().size(), 0u);
  EXPECT_EQ(frame.Tree().FindItem(L"http://n/a"), nullptr);
  EXPECT_FALSE(Channel(kUrl)->notYetLoaded);
}

TEST_F(ProcessFeedTest, ItemsWithoutTitleOrLinkAreSkipped) {
  Deliver(kId, kUrl, L"<rss><channel><title>N</title>"
                     L"<item><title>no link</title></item>"
                     L"<item><link>http://n/nolink</link></item>"
                     L"<item><title></title><link>http://n/empty</link></item>"
                     L"<item><title>&#0;</title><link>http://n/decoded-empty</link></item>"
                     L"<item><title>ok</title><link>http://n/ok</link></item></channel></rss>");
  ASSERT_EQ(frame.FeedItems().size(), 1u);
  EXPECT_EQ(frame.FeedItems()[0]->key, L"http://n/ok");
}

TEST_F(ProcessFeedTest, ChannelsStartCollapsedWhenStoredSoAndKeyClashesAreRefused) {
  SetChannel(L"EXPAND", 0);
  Deliver(kId, kUrl, Rss(L"News", {{L"self", kUrl, L""}, {L"ok", L"http://n/ok", L""}}));
  CChannel* channel = Channel(kUrl);
  ASSERT_NE(channel, nullptr);
  EXPECT_FALSE(TreeView_GetItemState(frame.Tree().Hwnd(), channel->treeHandle, TVIS_EXPANDED) & TVIS_EXPANDED);
  // The item whose link is the channel's own address cannot enter the tree.
  EXPECT_EQ(frame.FeedItems().size(), 1u);
  // And a channel whose address is an item's link is not created.
  Deliver(L"11112222", L"http://n/ok", Rss(L"Other", Items(1)));
  EXPECT_NE(Item(L"http://n/ok"), nullptr);
  EXPECT_EQ(frame.FeedItems().size(), 1u);
}

TEST_F(ProcessFeedTest, NewerFetchRunsSortFirst) {
  Deliver(kId, kUrl, Rss(L"News", Items(2, L"first")));
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, 0);  // a fetch run ended later
  auto items = Items(2, L"first");
  items.push_back({L"later", L"http://n/later", L""});
  Deliver(kId, kUrl, Rss(L"News", items));
  HWND tree = frame.Tree().Hwnd();
  HTREEITEM first = TreeView_GetChild(tree, Channel(kUrl)->treeHandle);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, Item(L"http://n/later")->treeHandle);
}
