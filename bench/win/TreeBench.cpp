// The channel tree at scale: 50 channels of 200 feed items with 120-character titles.
// Reports the time of adding them, of a resize (which fits the labels on screen), of a
// re-fit, of fitting every label, of removing one channel and of refreshing one item; for
// the tree as built and for the straightforward way (append, sort all siblings with the
// control after every insertion, shorten labels one character per measurement, fit every
// entry from the first visible one to the end) done with the same control messages.
//
//   bench_treebench.exe [channels] [items per channel] [--single] [--plain] [--hidden]
//     --single  also without update batches; --plain  also the straightforward way
//     (--only-plain: that alone);
//     --hidden  with the window hidden, as the tray program usually is
//   bench_treebench.exe --screenshot picture.bmp    (a small sample tree, captured)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "channels/ChannelTree.h"
#include "channels/TreeItem.h"
#include "res/resource.h"
#include "win/Handles.h"
#include "win/Window.h"

namespace {

const wchar_t kFrameClass[] = L"bench.TreeFrame";
const DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_NOHSCROLL | TVS_EDITLABELS;

bool visibleFrame = true;

class Frame : public win::Window {
 public:
  bool Create(int width, int height) {
    RegisterWindowClass(kFrameClass, 0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return CreateEx(0, kFrameClass, L"pellora", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (visibleFrame ? WS_VISIBLE : 0),
                    60, 60, width, height, nullptr, nullptr);
  }
};

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

std::wstring Title(int channel, int item) {
  wchar_t head[64];
  std::swprintf(head, 64, L"Channel %d, article %d: ", channel, item);
  std::wstring title = head;
  const wchar_t* words[] = {L"market ", L"weather ", L"science ", L"report ", L"update ", L"review "};
  for (int i = 0; title.size() < 120; ++i) title += words[(channel + item + i) % 6];
  title.resize(120);
  return title;
}

std::wstring ChannelUrl(int c) { return L"http://127.0.0.1/feed/" + std::to_wstring(c); }
std::wstring ItemUrl(int c, int i) { return ChannelUrl(c) + L"/item/" + std::to_wstring(i); }

// --- the straightforward way, with the control's own messages ----------------------------

int CALLBACK CompareRecords(LPARAM a, LPARAM b, LPARAM) {
  return reinterpret_cast<CTreeItem*>(a)->Compare(*reinterpret_cast<CTreeItem*>(b));
}

void FitOneByOne(HWND tree, CTreeItem& item) {
  RECT label{};
  std::memcpy(&label, &item.treeHandle, sizeof(item.treeHandle));
  if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label))) return;
  const int available = win::ClientRect(tree).right - label.left;
  const bool bold = (::SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item.treeHandle), TVIS_BOLD) &
                     TVIS_BOLD) != 0;
  // A font and a device context per label, one measurement per removed character.
  LOGFONTW logFont{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(tree, WM_GETFONT, 0, 0)), sizeof(logFont), &logFont);
  logFont.lfWeight = bold ? FW_BOLD : FW_DONTCARE;
  win::Font font(::CreateFontIndirectW(&logFont));
  win::WindowDC dc(tree);
  win::SelectScope select(dc.Get(), font.Get());
  std::wstring candidate = item.DisplayText(-1);
  for (int n = static_cast<int>(candidate.size()); n > 0; --n) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), candidate.c_str(), static_cast<int>(candidate.size()), &size);
    if (size.cx <= available) break;
    candidate = item.DisplayText(n);
  }
  // The text is set only when it changes.
  wchar_t current[1024] = {};
  TVITEMW entry{};
  entry.mask = TVIF_HANDLE | TVIF_TEXT;
  entry.hItem = item.treeHandle;
  entry.pszText = current;
  entry.cchTextMax = 1024;
  ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
  if (candidate == current) return;
  entry.pszText = candidate.data();
  ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

void InsertPlainly(HWND tree, CTreeItem* item, bool expanded) {
  std::wstring text = item->DisplayText(-1);
  TVINSERTSTRUCTW insert{};
  insert.hParent = item->parent ? item->parent->treeHandle : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.itemex.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.itemex.state = (expanded ? TVIS_EXPANDED : 0) | (item->IsBold() ? TVIS_BOLD : 0);
  insert.itemex.stateMask = TVIS_EXPANDED | TVIS_BOLD;
  insert.itemex.pszText = text.data();
  insert.itemex.lParam = reinterpret_cast<LPARAM>(item);
  insert.itemex.iImage = insert.itemex.iSelectedImage = item->ImageIndex(expanded, false);
  item->treeHandle =
      reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  FitOneByOne(tree, *item);
  TVSORTCB sort{insert.hParent, &CompareRecords, 0};
  ::SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

void FitAllOneByOne(HWND tree) {
  for (auto entry = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)); entry;
       entry = reinterpret_cast<HTREEITEM>(
           ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(entry)))) {
    TVITEMW data{};
    data.mask = TVIF_HANDLE | TVIF_PARAM;
    data.hItem = entry;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    if (data.lParam) FitOneByOne(tree, *reinterpret_cast<CTreeItem*>(data.lParam));
  }
}

// --- runs --------------------------------------------------------------------------------

struct Figures {
  double add = 0, resize = 0, refit = 0, fitAll = 0, removeChannel = 0, refresh = 0;
};

// The records of one fill: per channel the channel, then its items in arrival order.
std::vector<std::vector<CTreeItem*>> MakeRecords(int channels, int items, HWND frame) {
  std::vector<std::vector<CTreeItem*>> records(channels);
  for (int c = 0; c < channels; ++c) {
    auto* channel = new CChannel(ChannelUrl(c), L"id" + std::to_wstring(c));
    channel->title = L"Channel " + std::to_wstring(c) + L" with a title of moderate length";
    records[c].push_back(channel);
    for (int i = 0; i < items; ++i) {
      // Two fetch runs per channel, the later one arriving last.
      const bool later = i >= items / 2;
      auto* item = new CFeedItem(channel, frame, ItemUrl(c, i), Title(c, i), Title(c, i), later ? 2000000u : 1000000u,
                                 later ? i - items / 2 : i);
      item->unread = (i % 3) == 0;  // a third bold, without asking the URL cache
      records[c].push_back(item);
    }
  }
  return records;
}

void ResizeTree(HWND tree, int width) {
  RECT r = win::WindowRect(tree);
  ::SetWindowPos(tree, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// The tree as built; `batched` wraps each channel's records in one UpdateBatch, as a
// feed's new items arrive together.
Figures RunTree(int channels, int items, bool batched) {
  Frame frame;
  frame.Create(320, 700);
  ChannelTree tree;
  tree.Create(frame.Hwnd(), kTreeStyle, win::ClientRect(frame.Hwnd()), 1);
  tree.LoadImages(IDB_TREE);
  Pump();
  Figures f;
  auto records = MakeRecords(channels, items, frame.Hwnd());
  double t = Now();
  for (auto& channel : records) {
    if (batched) tree.BeginUpdate();
    for (CTreeItem* record : channel) tree.AddItem(std::unique_ptr<CTreeItem>(record), true);
    if (batched) tree.EndUpdate();
  }
  f.add = Now() - t;
  Pump();
  t = Now();
  ResizeTree(tree.Hwnd(), 260);  // WM_SIZE fits the window's labels again
  f.resize = Now() - t;
  t = Now();
  tree.FitLabels();
  f.refit = Now() - t;
  // Every label in one pass, on screen or not (what fitting "to the last entry" costs).
  ResizeTree(tree.Hwnd(), 300);
  t = Now();
  {
    ChannelTree::UpdateBatch batch(tree);
    for (auto& channel : records)
      for (CTreeItem* record : channel) tree.FitLabels(record);
  }
  f.fitAll = Now() - t;
  auto* target = static_cast<CFeedItem*>(tree.FindItem(ItemUrl(channels / 2, items / 2)));
  t = Now();
  target->title = L"A new title for this item";
  tree.RefreshItem(target->key);
  f.refresh = Now() - t;
  t = Now();
  tree.RemoveItem(ChannelUrl(channels / 2));
  f.removeChannel = Now() - t;
  Pump();
  return f;
}

Figures RunPlain(int channels, int items) {
  Frame frame;
  frame.Create(320, 700);
  // A tree view of its own, not subclassed, filled with plain messages.
  RECT client = win::ClientRect(frame.Hwnd());
  HWND hwnd = ::CreateWindowExW(0, WC_TREEVIEWW, nullptr, kTreeStyle | TVS_NOTOOLTIPS, 0, 0, client.right,
                                client.bottom, frame.Hwnd(), nullptr, nullptr, nullptr);
  win::ImageList images(::ImageList_Create(16, 16, ILC_COLORDDB | ILC_MASK, 0, 4));
  {
    win::Bitmap bitmap(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TREE),
                                                         IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ::ImageList_AddMasked(images.Get(), bitmap.Get(), RGB(0, 0, 0));
  }
  ::SendMessageW(hwnd, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images.Get()));
  Pump();
  Figures f;
  auto records = MakeRecords(channels, items, frame.Hwnd());
  double t = Now();
  for (auto& channel : records)
    for (CTreeItem* record : channel) InsertPlainly(hwnd, record, true);
  f.add = Now() - t;
  Pump();
  t = Now();
  ResizeTree(hwnd, 260);
  FitAllOneByOne(hwnd);
  f.resize = Now() - t;
  t = Now();
  FitAllOneByOne(hwnd);
  f.refit = Now() - t;
  ResizeTree(hwnd, 300);
  t = Now();
  FitAllOneByOne(hwnd);
  f.fitAll = Now() - t;
  t = Now();
  // One channel: its items one by one, fitting all labels after each, then the channel.
  HTREEITEM channel = records[channels / 2][0]->treeHandle;
  for (;;) {
    auto child = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(hwnd, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(channel)));
    if (!child) break;
    ::SendMessageW(hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    FitAllOneByOne(hwnd);
  }
  ::SendMessageW(hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(channel));
  FitAllOneByOne(hwnd);
  f.removeChannel = Now() - t;
  ::DestroyWindow(hwnd);
  for (auto& c : records)
    for (CTreeItem* record : c) delete record;
  Pump();
  return f;
}

void Print(const char* name, const Figures& f) {
  std::printf("%-32s add %9.1f ms | resize %7.1f ms | re-fit %7.1f ms | every label %8.1f ms | "
              "remove a channel %8.1f ms | refresh an item %6.1f ms\n",
              name, f.add * 1000, f.resize * 1000, f.refit * 1000, f.fitAll * 1000, f.removeChannel * 1000,
              f.refresh * 1000);
}

// --- screenshot --------------------------------------------------------------------------

bool SaveBitmap(const wchar_t* path, HDC source, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  win::MemoryDC memory(::CreateCompatibleDC(source));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  win::Bitmap bitmap(::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) return false;
  {
    win::SelectScope select(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, source, area.left, area.top, SRCCOPY);
  }
  ::GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + stride * height;
  win::FileHandle out(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;
  DWORD written = 0;
  ::WriteFile(out.Get(), &file, sizeof(file), &written, nullptr);
  ::WriteFile(out.Get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
  ::WriteFile(out.Get(), bits, stride * height, &written, nullptr);
  return true;
}

int Screenshot(const wchar_t* path) {
  Frame frame;
  frame.Create(330, 360);
  ChannelTree tree;
  tree.Create(frame.Hwnd(), kTreeStyle, win::ClientRect(frame.Hwnd()), 1);
  tree.LoadImages(IDB_TREE);
  const HWND f = frame.Hwnd();
  struct Sample {
    const wchar_t* title;
    bool unread;
  };
  auto addChannel = [&](const wchar_t* url, const wchar_t* title, bool expanded, std::vector<Sample> items) {
    auto* channel = new CChannel(url, L"id");
    channel->title = title;
    tree.AddItem(std::unique_ptr<CTreeItem>(channel), expanded);
    int n = 0;
    for (const Sample& s : items) {
      auto* item = new CFeedItem(channel, f, std::wstring(url) + L"/" + std::to_wstring(n), s.title, s.title, 1000, n);
      item->unread = s.unread;
      ++n;
      tree.AddItem(std::unique_ptr<CTreeItem>(item), true);
    }
  };
  addChannel(L"http://a", L"기술 뉴스 - Technology headlines of the day", true,
             {{L"새 프로세서 발표: 전력 소모 30% 감소, 성능은 두 배로 향상", false},
              {L"Open-source tree view gets smooth scrolling at last", true},
              {L"Short one", false},
              {L"오늘의 날씨: 맑음", false}});
  addChannel(L"http://b", L"Collapsed channel", false, {{L"Hidden item", true}});
  addChannel(L"http://c", L"Science & nature weekly digest with a very long title", true,
             {{L"Deep-sea creatures glow in colours nobody had measured before today", true},
              {L"A regular-weight item that is also far too long for this narrow window", false}});
  ::SendMessageW(tree.Hwnd(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(tree.FindItem(L"http://a/2")->treeHandle));
  ::SetForegroundWindow(f);
  ::SetFocus(tree.Hwnd());
  for (int i = 0; i < 30; ++i) {
    Pump();
    ::Sleep(20);
  }
  ::UpdateWindow(f);
  RECT area = win::WindowRect(f);
  win::WindowDC screen(nullptr);
  const bool ok = SaveBitmap(path, screen.Get(), area);
  std::printf("%s\n", ok ? "saved" : "failed");
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 3 && std::wcscmp(argv[1], L"--screenshot") == 0) return Screenshot(argv[2]);
  const int channels = argc > 1 ? std::max(1, _wtoi(argv[1])) : 50;
  const int items = argc > 2 ? std::max(2, _wtoi(argv[2])) : 200;
  bool plain = false, single = false, onlyPlain = false;
  for (int i = 3; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--plain") == 0) plain = true;
    if (std::wcscmp(argv[i], L"--only-plain") == 0) plain = onlyPlain = true;
    if (std::wcscmp(argv[i], L"--single") == 0) single = true;
    if (std::wcscmp(argv[i], L"--hidden") == 0) visibleFrame = false;
  }
  std::printf("%d channels x %d items, 120-character titles, window 320 x 700 (%s)\n", channels, items,
              visibleFrame ? "shown" : "hidden");
  if (!onlyPlain) Print("tree, a batch per channel", RunTree(channels, items, true));
  if (single) Print("tree, one record at a time", RunTree(channels, items, false));
  if (plain) Print("append, sort, one-by-one fit", RunPlain(channels, items));
  return 0;
}
