#include "app/MainChannelTree.h"

#include "res/resource.h"

MainChannelTree::MainChannelTree(std::function<void(CTreeItem&)> itemRemoved)
    : itemRemoved_(std::move(itemRemoved)) {
  CChannel::SetMenuCommands(ChannelMenuCommands{IDM_TICKER, IDM_NOTI, IDM_KEYWORD, IDM_MOD_RSS, IDM_DEL_RSS,
                                                IDM_ADD_RSS, IDM_IMPORT_OPML, IDM_EXPORT_OPML});
}

void MainChannelTree::AddMenuHook(HMENU menu) {
  ::AppendMenuW(menu, MF_STRING, IDM_REFRESH, L"\xC0C8\xB85C\xACE0\xCE68");  // 새로고침
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, IDM_ADD_RSS, L"RSS \xB9C1\xD06C \xCD94\xAC00");  // RSS 링크 추가
  ::AppendMenuW(menu, MF_STRING, IDM_IMPORT_OPML, L"OPML 가져오기...");
  ::AppendMenuW(menu, MF_STRING, IDM_EXPORT_OPML, L"OPML 내보내기...");
}

void MainChannelTree::OnItemRemoved(CTreeItem& item) { itemRemoved_(item); }
