#include "channels/TreeItem.h"

#include <utility>

#include "channels/SortKey.h"
#include "common/FrameCode.h"
#include "common/Records.h"
#include "config/Settings.h"

// --- CTreeItem ---------------------------------------------------------------------------

CTreeItem::~CTreeItem() = default;

std::wstring CTreeItem::ClassName() const { return L"CTreeItem"; }

int CTreeItem::Compare(const CTreeItem& other) const {
  return CompareTreeOrder(SortKey(), DisplayText(-1), other.SortKey(), other.DisplayText(-1));
}

std::wstring CTreeItem::SortKey() const { return {}; }

namespace {
std::wstring Shortened(const std::wstring& text, int maxChars) {
  if (maxChars < 0) return text;
  return text.substr(0, static_cast<size_t>(maxChars)) + L"...";
}
}  // namespace

std::wstring CTreeItem::DisplayText(int maxChars) const { return Shortened(key, maxChars); }

int CTreeItem::ImageIndex(bool expanded, bool) const { return expanded ? 0 : 1; }

bool CTreeItem::IsBold() { return false; }

std::wstring CTreeItem::TipText() const { return DisplayText(-1); }

bool CTreeItem::CanDrag() const { return true; }

bool CTreeItem::CanAccept(const CTreeItem&) const { return true; }

int CTreeItem::DropOnto(CTreeItem*) { return 0; }

void CTreeItem::OnChildAdded(ChannelTree&, CTreeItem&) {}

void CTreeItem::OnChildRemoved(ChannelTree&, CTreeItem&) {}

void CTreeItem::OnChildChanged(ChannelTree&, CTreeItem&) {}

void CTreeItem::FillContextMenu(HMENU menu) {
  // One grayed entry naming the record; it has no command.
  const std::wstring text = DisplayText(-1);
  ::InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING | MF_GRAYED, 0, text.c_str());
}

void CTreeItem::OnKey(UINT) {}

bool CTreeItem::OnBeginEdit(HWND) { return false; }

void CTreeItem::OnEndEdit(HWND) {}

void CTreeItem::OnDropFiles(HDROP drop) {
  // Read what was dropped; no kind of record acts on files yet.
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH];
    ::DragQueryFileW(drop, i, path, MAX_PATH);
  }
}

void CTreeItem::OnExpanded(int) {}

// --- CChannel ----------------------------------------------------------------------------

CChannel::CChannel(std::wstring url, std::wstring id) : id(std::move(id)), title(url) { key = std::move(url); }

std::wstring CChannel::ClassName() const { return L"CChannel"; }

std::wstring CChannel::DisplayText(int maxChars) const { return Shortened(title, maxChars); }

int CChannel::ImageIndex(bool expanded, bool) const { return expanded ? 1 : 0; }

namespace {
ChannelMenuCommands channelMenu;
}  // namespace

void CChannel::SetMenuCommands(const ChannelMenuCommands& commands) { channelMenu = commands; }

void CChannel::FillContextMenu(HMENU menu) {
  const ChannelMenuCommands& c = channelMenu;
  ::AppendMenuW(menu, MF_STRING, c.ticker, L"티커표시");
  ::AppendMenuW(menu, MF_STRING, c.notify, L"신규알림");
  ::AppendMenuW(menu, MF_STRING, c.keyword, L"알림창 고정 키워드");
  ::AppendMenuW(menu, MF_STRING, c.modify, L"RSS 링크 수정");
  ::AppendMenuW(menu, MF_STRING, c.remove, L"RSS 링크 삭제");
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, c.add, L"RSS 링크 추가");
  ::AppendMenuW(menu, MF_STRING, c.importOpml, L"OPML 가져오기...");
  ::AppendMenuW(menu, MF_STRING, c.exportOpml, L"OPML 내보내기...");
}

void CChannel::OnExpanded(int action) {
  setting::Set(setting::kExpand, id, action == TVE_EXPAND ? 1 : 0);
}

// --- CFeedItem ---------------------------------------------------------------------------

CFeedItem::CFeedItem(CTreeItem* parent, HWND frame, std::wstring link, std::wstring title, std::wstring tipText,
                     unsigned fetchStamp, int arrivalNo)
    : frame(frame), title(std::move(title)), fetchStamp(fetchStamp), arrivalNo(arrivalNo) {
  this->parent = parent;
  key = std::move(link);
  // A tip equal to the title is not kept twice.
  if (tipText != this->title) tip_ = std::make_unique<std::wstring>(std::move(tipText));
}

std::wstring CFeedItem::SortKey() const { return FeedSortKey(fetchStamp, arrivalNo); }

std::wstring CFeedItem::DisplayText(int maxChars) const { return Shortened(title, maxChars); }

int CFeedItem::ImageIndex(bool, bool) const { return 3; }

bool CFeedItem::IsBold() {
  if (unread && !std::exchange(cacheAnswered_, false) && IsInUrlCache(key)) unread = false;
  return unread;
}

void CFeedItem::TakeUrlCacheAnswer(bool inUrlCache) {
  if (inUrlCache) unread = false;
  cacheAnswered_ = true;
}

std::wstring CFeedItem::TipText() const { return tip_ ? *tip_ : title; }

void CFeedItem::Retitle(std::wstring newTitle) {
  if (!tip_) tip_ = std::make_unique<std::wstring>(std::move(title));
  title = std::move(newTitle);
}

void CFeedItem::OnKey(UINT virtualKey) {
  if (virtualKey != VK_RETURN) return;
  // Sent, not posted: the request lives on this stack for the duration of the call.
  ViewRequest request(title, key, std::wstring());
  SendFrameCode(frame, frame_code::kView, &request);
}
