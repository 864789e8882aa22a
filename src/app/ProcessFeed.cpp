// One channel's download result becomes tree entries, ticker entries and popups.
#include <memory>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "channels/TreeItem.h"
#include "common/DebugTrace.h"
#include "common/TextUtil.h"
#include "config/Settings.h"
#include "display/NotifyWnd.h"
#include "doc/FeedReader.h"
#include "doc/TextDecode.h"
#include "net/PreparedFeed.h"

namespace {

constexpr int kPopupTime = 5000;

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A popup is pinned when a keyword occurs in the title or the category (case-sensitive),
// or the keyword is "*". Keywords are separated by spaces; "%20" stands for a space.
bool KeywordMatches(const std::wstring& keywords, const std::wstring& title, const std::wstring& category) {
  StringTokenizer tokens(keywords.c_str());
  while (tokens.Remaining().find_first_not_of(L' ') != std::wstring::npos) {
    std::wstring keyword = ReplaceAll(tokens.NextToken(L" "), L"%20", L" ");
    if (keyword == L"*" || title.find(keyword) != std::wstring::npos ||
        category.find(keyword) != std::wstring::npos)
      return true;
  }
  return false;
}

}  // namespace

void CMainFrame::MarkUnknownLinks(LinkQuery& query) const {
  for (size_t i = 0; i < query.links.size() && i < query.unknown.size(); ++i)
    query.unknown[i] = tree_.FindItem(query.links[i]) == nullptr;
}

void CMainFrame::ProcessFeed(const FeedResult& result) {
  // Read first: a channel seen for the first time goes into the tree under its own
  // title at once, instead of under its address and then moved (which sorts every
  // channel again, once per new channel). The fetch thread has usually read it already.
  const PreparedFeed* prepared = result.text.empty() ? nullptr : result.prepared.get();
  FeedDocument readHere;
  if (!prepared && !result.text.empty()) readHere = ReadFeed(result.text.c_str());
  const FeedDocument& feed = prepared ? prepared->feed : readHere;

  // Channels are keyed by their address; the first result of a channel creates it.
  CChannel* channel = nullptr;
  if (CTreeItem* found = tree_.FindItem(result.url)) {
    channel = dynamic_cast<CChannel*>(found);
    if (!channel) {
      // Channels and items share one key space: an item already uses this address.
      DebugTrace(L"channel address is an item's link : %ls\n", result.url.c_str());
      return;
    }
  } else {
    auto created = std::make_unique<CChannel>(result.url, result.id);
    if (feed.status == FeedDocument::Status::Parsed && feed.hasTitle) created->title = feed.channelTitle;
    channel = created.get();
    if (!tree_.AddItem(std::move(created), setting::Get(setting::kExpand, result.id) != 0)) return;
  }

  // Unchanged since the version the channel shows: items, title and loaded state stay, so
  // the next real change raises popups as usual.
  if (result.notModified && !channel->notYetLoaded) return;

  arrivalCounter_ = 0;
  for (CFeedItem* item : feedItems_)
    if (item->parent == channel) item->seen = false;

  if (result.text.empty()) {  // not downloaded: keep what the channel shows
    channel->notYetLoaded = true;
    return;
  }

  // Validators describe the feed the channel shows, so they are kept only once it is read.
  channel->validators = {};
  if (feed.status == FeedDocument::Status::Failed) {
    DebugTrace(L"%ls\n", feed.message.c_str());
    channel->notYetLoaded = true;
  } else if (feed.status == FeedDocument::Status::NoChannel) {
    channel->notYetLoaded = false;
    channel->validators = result.validators;
  } else {
    channel->validators = result.validators;
    if (feed.hasTitle && feed.channelTitle != channel->title) {
      channel->title = feed.channelTitle;
      tree_.RefreshItem(result.url);
    }

    const bool toTicker = setting::Get(setting::kTicker, result.id) != 0;
    const bool notify = setting::Get(setting::kNoti, result.id) != 0;
    // A feed's new items are laid out and fitted once, not once per item, and reach the
    // ticker in one hand-over.
    ChannelTree::UpdateBatch batch(tree_);
    std::vector<std::unique_ptr<ViewRequest>> tickerEntries;
    for (size_t index = 0; index < feed.items.size(); ++index) {
      const FeedEntry& entry = feed.items[index];
      const std::wstring title(entry.title);
      const std::wstring link(entry.link);
      const std::wstring category(entry.category);
      if (CTreeItem* known = tree_.FindItem(link)) {
        // Newness is the link alone: a known link is at most retitled.
        auto* existing = dynamic_cast<CFeedItem*>(known);
        if (!existing) continue;  // the link is a channel's address
        if (existing->title != title) {
          existing->Retitle(title);
          tree_.RefreshItem(link);
        }
        existing->seen = true;
        continue;
      }

      std::wstring tip = category.empty() ? title : L"[" + category + L"]" + title;
      auto created = std::make_unique<CFeedItem>(channel, Hwnd(), link, title, tip, lastFetchEnd_, arrivalCounter_++);
      CFeedItem* item = created.get();
      if (prepared && index < prepared->cache.size() && prepared->cache[index] != PreparedFeed::Cache::NotAsked)
        item->TakeUrlCacheAnswer(prepared->cache[index] == PreparedFeed::Cache::Present);
      feedItems_.push_back(item);
      if (!AddFeedItem(std::move(created))) {
        feedItems_.pop_back();  // the tree refused it, and freed it
        continue;
      }
      if (toTicker) tickerEntries.push_back(std::make_unique<ViewRequest>(title, link, L""));
      if (!channel->notYetLoaded && notify) {
        auto popup = std::make_unique<NotifyWnd>(Hwnd(), channel->title, title, link, category);
        popup->SetDisplayTime(kPopupTime);
        if (KeywordMatches(setting::Get(setting::kKeyword, result.id), title, category)) popup->SetDisplayTime(0);
        QueuePopup(std::move(popup));
      }
      item->seen = true;
    }
    ticker_.Enqueue(std::move(tickerEntries));
    channel->notYetLoaded = false;
  }

  // Items the parsed feed no longer lists (all of them after a parse failure) go, in one
  // pass over the list and the tree however many there are.
  std::vector<CTreeItem*> gone;
  for (CFeedItem* item : feedItems_)
    if (item->parent == channel && !item->seen) gone.push_back(item);
  RemoveRecords(gone);
}

bool CMainFrame::AddFeedItem(std::unique_ptr<CTreeItem> item) { return tree_.AddItem(std::move(item), true); }
