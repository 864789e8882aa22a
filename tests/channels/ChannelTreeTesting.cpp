#include "ChannelTreeTesting.h"

#include <wininet.h>

#include <cstring>

#include "common/FrameCode.h"
#include "common/Records.h"
#include "support/win/WinTest.h"
#include "win/Handles.h"

namespace test {

namespace {
const wchar_t kFrameClass[] = L"test.TreeFrame";
}

bool TreeFrame::Create(int x, int y, int width, int height) {
  RegisterWindowClass(kFrameClass, 0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return CreateEx(0, kFrameClass, L"tree test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, x, y, width,
                  height, nullptr, nullptr);
}

LRESULT TreeFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_USER:
      if (wParam == frame_code::kView) {
        auto* request = reinterpret_cast<ViewRequest*>(lParam);
        views.push_back({request->title, request->link, request->extra});
      }
      return 0;
    case WM_SIZE:
      if (tree && tree->Hwnd()) ::MoveWindow(tree->Hwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

bool TreeFrame::OnCommand(UINT id, UINT, HWND) {
  commands.push_back(id);
  return true;
}

HTREEITEM Handle(const ChannelTree& tree, const std::wstring& key) {
  CTreeItem* item = tree.FindItem(key);
  return item ? item->treeHandle : nullptr;
}

std::wstring Label(HWND tree, HTREEITEM entry) {
  wchar_t text[1024] = {};
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_TEXT;
  item.hItem = entry;
  item.pszText = text;
  item.cchTextMax = 1024;
  ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return text;
}

UINT State(HWND tree, HTREEITEM entry, UINT mask) {
  return static_cast<UINT>(::SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(entry), mask)) & mask;
}

int Image(HWND tree, HTREEITEM entry) {
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  item.hItem = entry;
  ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage == item.iSelectedImage ? item.iImage : -100;
}

std::vector<std::wstring> ChildKeys(HWND tree, HTREEITEM parent) {
  std::vector<std::wstring> keys;
  auto child = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT,
                                                         reinterpret_cast<LPARAM>(parent)));
  for (; child; child = reinterpret_cast<HTREEITEM>(
                    ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_PARAM;
    item.hItem = child;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    auto* record = reinterpret_cast<CTreeItem*>(item.lParam);
    keys.push_back(record ? record->key : L"<none>");
  }
  return keys;
}

RECT LabelRect(HWND tree, HTREEITEM entry) {
  RECT rect{};
  static_assert(sizeof(entry) <= sizeof(rect));
  std::memcpy(&rect, &entry, sizeof(entry));
  if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect))) return RECT{};
  return rect;
}

POINT LabelPoint(HWND tree, HTREEITEM entry) {
  RECT r = LabelRect(tree, entry);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

HTREEITEM Selected(HWND tree) {
  return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

HTREEITEM FirstVisible(HWND tree) {
  return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
}

std::wstring ExpectedLabel(HWND tree, const CTreeItem& item, bool bold) {
  const RECT label = LabelRect(tree, item.treeHandle);
  const int available = win::ClientRect(tree).right - label.left;
  LOGFONTW logFont{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(tree, WM_GETFONT, 0, 0)), sizeof(logFont), &logFont);
  logFont.lfWeight = bold ? FW_BOLD : FW_DONTCARE;
  win::Font font(::CreateFontIndirectW(&logFont));
  win::WindowDC dc(tree);
  win::SelectScope select(dc.Get(), font.Get());
  auto width = [&](const std::wstring& text) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  };
  std::wstring candidate = item.DisplayText(-1);
  for (int n = static_cast<int>(candidate.size()); n > 0; --n) {
    if (width(candidate) <= available) break;
    candidate = item.DisplayText(n);
  }
  return candidate;
}

namespace {
void PostMouse(HWND window, UINT msg, WPARAM keys, POINT client) {
  ::PostMessageW(window, msg, keys, MAKELPARAM(client.x, client.y));
}
}  // namespace

void Click(HWND window, POINT client) {
  PostMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, client);
  PostMouse(window, WM_LBUTTONUP, 0, client);
  PumpFor(60);
}

void RightClick(HWND window, POINT client) {
  PostMouse(window, WM_RBUTTONDOWN, MK_RBUTTON, client);
  PostMouse(window, WM_RBUTTONUP, 0, client);
  PumpFor(60);
}

void DoubleClick(HWND window, POINT client) {
  PostMouse(window, WM_LBUTTONDBLCLK, MK_LBUTTON, client);
  PostMouse(window, WM_LBUTTONUP, 0, client);
  PumpFor(60);
}

bool AddToUrlCache(const std::wstring& url) {
  wchar_t file[MAX_PATH] = {};
  if (!::CreateUrlCacheEntryW(url.c_str(), 0, L"html", file, 0)) return false;
  {
    win::FileHandle handle(::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    DWORD written = 0;
    ::WriteFile(handle.Get(), "<html></html>", 13, &written, nullptr);
  }
  FILETIME none{};
  return ::CommitUrlCacheEntryW(url.c_str(), file, none, none, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr) != 0;
}

void RemoveFromUrlCache(const std::wstring& url) { ::DeleteUrlCacheEntryW(url.c_str()); }

std::wstring UniqueUrl(const wchar_t* name) {
  static int counter = 0;
  return L"http://127.0.0.1/pellora-test/" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++counter) + L"/" + name;
}

}  // namespace test
