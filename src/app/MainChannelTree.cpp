#include "app/MainChannelTree.h"

#include "app/MainFrame.h"
#include "res/resource.h"

void MainChannelTree::AddMenuHook(HMENU menu) {
  ::AppendMenuW(menu, MF_STRING, IDM_REFRESH, L"\xC0C8\xB85C\xACE0\xCE68");  // 새로고침
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, IDM_ADD_RSS, L"RSS \xB9C1\xD06C \xCD94\xAC00");  // RSS 링크 추가
  ::AppendMenuW(menu, MF_STRING, IDM_IMPORT_OPML, L"OPML 가져오기...");
  ::AppendMenuW(menu, MF_STRING, IDM_EXPORT_OPML, L"OPML 내보내기...");
}

void MainChannelTree::OnItemRemoved(CTreeItem& item) { frame_.FeedItemRemoved(item); }
