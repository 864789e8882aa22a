// The frame's commands and the rules that check and enable them in its menus.
#include <cstdio>
#include <cstdlib>

#include "app/ChannelSettings.h"
#include "app/InputDialog.h"
#include "app/MainFrame.h"
#include "app/OpmlTransfer.h"
#include "app/PelloraApp.h"
#include "channels/TreeItem.h"
#include "config/ConfigStore.h"
#include "config/Settings.h"
#include "res/resource.h"
#include "win/Dialog.h"
#include "win/FileDialog.h"
#include "win/Module.h"

const wchar_t* const CMainFrame::kDuplicateAddressText =
    L"\xD574\xB2F9 \xC8FC\xC18C\xAC00 \xC774\xBBF8 \xB4F1\xB85D\xB418\xC5B4 \xC788\xC2B5\xB2C8\xB2E4";
const wchar_t* const CMainFrame::kDeleteQuestion =
    L"RSS \xC8FC\xC18C\xB97C \xC0AD\xC81C\xD558\xC2DC\xACA0\xC2B5\xB2C8\xAE4C?\n\n"
    L"\xC0AD\xC81C\xB41C \xC790\xB8CC\xB294 \xBCF5\xAD6C\xB418\xC9C0 \xC54A\xC2B5\xB2C8\xB2E4.";

namespace {
int Negated(int value) { return value == 0 ? 1 : 0; }
std::wstring AppTitle() { return win::LoadResString(IDS_APP_TITLE); }
}  // namespace

CChannel* CMainFrame::SelectedChannel() const {
  CTreeItem* item = tree_.SelectedItem();
  if (!item || item->ClassName() != L"CChannel") return nullptr;
  return static_cast<CChannel*>(item);
}

bool CMainFrame::OnCommand(UINT id, UINT code, HWND control) {
  switch (id) {
    case IDM_EXIT:
      OnExit();
      return true;
    case IDM_NOTI:
      OnToggleChannelValue(setting::kNoti);
      return true;
    case IDM_TICKER:
      OnToggleChannelValue(setting::kTicker);
      return true;
    case IDM_RSS_TICKER:
      OnShowTicker();
      return true;
    case IDM_TOPMOST:
      OnTopMost();
      return true;
    case IDM_INTERNAL:
      setting::Set(setting::kInternal, Negated(setting::Get(setting::kInternal)));
      return true;
    case IDM_REFRESH:
      PostFrameCode(Hwnd(), frame_code::kRun);
      return true;
    case IDM_VERSION:
      PostFrameCode(Hwnd(), frame_code::kVer);
      return true;
    case ID_APP_ABOUT:
      PelloraApp::ShowAbout(Hwnd());
      return true;
    case IDM_ADD_RSS:
      OnAddChannel();
      return true;
    case IDM_MOD_RSS:
      OnModifyChannel();
      return true;
    case IDM_DEL_RSS:
      OnDeleteChannel();
      return true;
    case IDM_KEYWORD:
      OnKeyword();
      return true;
    case IDM_IMPORT_OPML:
      OnImportOpml();
      return true;
    case IDM_EXPORT_OPML:
      OnExportOpml();
      return true;
  }
  return FrameWindow::OnCommand(id, code, control);
}

bool CMainFrame::OnUpdateCommand(UINT id, win::CommandState& state) {
  CChannel* channel = SelectedChannel();
  auto channelValue = [channel](const setting::IntValue& value) { return setting::Get(value, channel->id); };
  switch (id) {
    case IDM_TICKER:
      state.SetCheck(channel && channelValue(setting::kTicker) != 0);
      return true;
    case IDM_NOTI:
      state.SetCheck(channel && channelValue(setting::kNoti) != 0);
      return true;
    case IDM_MOD_RSS:
    case IDM_DEL_RSS:
      state.Enable(channel != nullptr);
      return true;
    case IDM_KEYWORD:
      state.Enable(channel && channelValue(setting::kNoti) != 0);
      return true;
    case IDM_RSS_TICKER:
      state.SetCheck(setting::Get(setting::kRssTicker) != 0);
      state.Enable(!feedItems_.empty());
      return true;
    case IDM_TOPMOST:
      state.SetCheck(setting::Get(setting::kMainTopmost) != 0);
      return true;
    case IDM_INTERNAL:
      state.SetCheck(setting::Get(setting::kInternal) != 0);
      return true;
    case IDM_REFRESH:
      state.Enable(!fetching_);
      return true;
  }
  return false;
}

void CMainFrame::OnToggleChannelValue(const setting::IntValue& value) {
  if (CChannel* channel = SelectedChannel()) setting::Set(value, channel->id, Negated(setting::Get(value, channel->id)));
}

void CMainFrame::OnShowTicker() {
  const int on = Negated(setting::Get(setting::kRssTicker));
  setting::Set(setting::kRssTicker, on);
  ::ShowWindow(ticker_.Hwnd(), on == 1 ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CMainFrame::OnTopMost() {
  const int was = setting::Get(setting::kMainTopmost);
  setting::Set(setting::kMainTopmost, Negated(was));
  LONG ex = ::GetWindowLongW(Hwnd(), GWL_EXSTYLE);
  ex = was ? (ex & ~WS_EX_TOPMOST) : (ex | WS_EX_TOPMOST);
  ::SetWindowLongW(Hwnd(), GWL_EXSTYLE, ex);
  ::SetWindowPos(Hwnd(), was ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool CMainFrame::AddressRegistered(const std::wstring& url) const {
  if (tree_.FindItem(url)) return true;
  // Channels that are stored but not (yet) in the tree count too.
  return StoredAddresses().count(url) != 0;
}

void CMainFrame::OnAddChannel() {
  InputDialog dialog(InputDialog::kAddCaption, L"");
  if (dialog.DoModal(Hwnd()) != IDOK) return;
  const std::wstring& url = dialog.editText;
  // Refused before any section is written: a second section with the same address would
  // bring the channel back after it is deleted.
  if (AddressRegistered(url)) {
    win::ShowMessageBox(Hwnd(), kDuplicateAddressText, AppTitle(), MB_OK);
    return;
  }
  const std::wstring id = StoreNewChannel(url);
  tree_.AddItem(std::make_unique<CChannel>(url, id), true);
}

void CMainFrame::OnModifyChannel() {
  CChannel* channel = SelectedChannel();
  if (!channel) return;
  const std::wstring id = channel->id;
  const std::wstring key = channel->key;
  const std::wstring old = setting::Get(setting::kUrl, id);
  InputDialog dialog(InputDialog::kModifyCaption, old);
  if (dialog.DoModal(Hwnd()) != IDOK) return;
  const std::wstring url = dialog.editText;
  if (url.empty() || url == old) return;
  if (AddressRegistered(url)) {
    win::ShowMessageBox(Hwnd(), kDuplicateAddressText, AppTitle(), MB_OK);
    return;
  }
  setting::Set(setting::kUrl, id, url);
  RemoveRecords({tree_.FindItem(key)});  // with its feed items, which leave feedItems_ too
  tree_.AddItem(std::make_unique<CChannel>(url, id), true);
}

void CMainFrame::OnDeleteChannel() {
  if (win::ShowMessageBox(Hwnd(), kDeleteQuestion, AppTitle(), MB_OKCANCEL) != IDOK) return;
  CChannel* channel = SelectedChannel();
  if (!channel) return;
  if (!channel->id.empty()) Config().DeleteSection(section::Channel(channel->id));
  const std::wstring key = channel->key;
  SendFrameCode(Hwnd(), frame_code::kDel, key.c_str());
}

void CMainFrame::OnKeyword() {
  CChannel* channel = SelectedChannel();
  if (!channel) return;
  const std::wstring stored = setting::Get(setting::kKeyword, channel->id);
  InputDialog dialog(InputDialog::kKeywordCaption, stored);
  if (dialog.DoModal(Hwnd()) == IDOK && dialog.editText != stored) setting::Set(setting::kKeyword, channel->id, dialog.editText);
}

void CMainFrame::OnImportOpml() {
  std::wstring path;
  if (!win::AskFileName(Hwnd(), win::FileDialogKind::Open, kOpmlFileFilter, L"opml", path)) return;
  OpmlOutcome outcome;
  {
    ChannelTree::UpdateBatch batch(tree_);
    outcome = ImportOpmlFile(
        path, [this](const std::wstring& url) { return tree_.FindItem(url) != nullptr; },
        [this](const std::wstring& url, const std::wstring& id) {
          tree_.AddItem(std::make_unique<CChannel>(url, id), true);
        });
  }
  win::ShowMessageBox(Hwnd(), outcome.message, AppTitle(), MB_OK | (outcome.ok ? MB_ICONINFORMATION : MB_ICONWARNING));
  if (outcome.added > 0) PostFrameCode(Hwnd(), frame_code::kRun);
}

void CMainFrame::OnExportOpml() {
  std::wstring path = L"pellora.opml";
  if (!win::AskFileName(Hwnd(), win::FileDialogKind::Save, kOpmlFileFilter, L"opml", path)) return;
  std::vector<std::pair<std::wstring, std::wstring>> titles;
  for (CTreeItem* item : tree_.Children(nullptr))
    if (item->ClassName() == L"CChannel") {
      auto* channel = static_cast<CChannel*>(item);
      titles.emplace_back(channel->id, channel->title);
    }
  const OpmlOutcome outcome = ExportOpmlFile(path, titles);
  win::ShowMessageBox(Hwnd(), outcome.message, AppTitle(), MB_OK | (outcome.ok ? MB_ICONINFORMATION : MB_ICONWARNING));
}
