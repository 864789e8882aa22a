// pctl: drives a running pellora from outside its process, the way a user or the platform
// would (window messages to its windows, its tray icon's callback message, its menu
// commands, answers to its dialogs), reads what it shows (its tree, its windows, its
// tray icon's pixels, its process counters) and takes screenshots. Used by `make run`,
// the black-box tests and the soak test. Exit code 0 means yes / done, 1 no / failed.
//
//   pctl wait <seconds>                   until pellora's main window exists
//   pctl tray-click | tray-rclick         the tray icon's callback message
//   pctl command <id>                     a menu command to the main window (posted)
//   pctl hide                             WM_CLOSE to the main window
//   pctl key <vk>                         a key press to the channel tree
//   pctl ticker wheel <delta> | click <x> | rclick   mouse messages to the ticker strip
//   pctl popup-rclick                     a right click on the visible popup (closes it)
//   pctl browser                          prints the browser frame's title when it is visible
//   pctl tree                             the tree: depth, flags (b=bold, e=expanded, s=selected), label
//   pctl select <text>                    selects the first tree entry whose label contains text
//   pctl dialog <caption> <text|-> ok|cancel   types into edit 1000 of a dialog, then presses a button
//   pctl msgbox <text> <button id>        answers a message box whose text contains text
//   pctl count <class>                    prints how many visible top-level windows have this class
//   pctl visible <class> [title]          0 when such a window is visible
//   pctl exists <class> [title]           0 when such a window exists
//   pctl stats                            pellora's memory and object counters
//   pctl tree-count                       the number of tree entries, asked of the tree itself
//   pctl tray-pixels                      a hash of the notification area's pixels
//   pctl screenshot <file.bmp>            the whole screen as a 24-bit bitmap
//   pctl windows                          every top-level window (diagnostics)
//   pctl foreground                       the foreground window (diagnostics)
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The main frame is the parent of the tray icon's hidden child window.
BOOL CALLBACK FindFrame(HWND hwnd, LPARAM found) {
  if (!::FindWindowExW(hwnd, nullptr, L"pellora.TrayIcon", nullptr)) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

HWND FindMainWindow() {
  HWND found = nullptr;
  ::EnumWindows(&FindFrame, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND TrayWindow(HWND main) { return ::FindWindowExW(main, nullptr, L"pellora.TrayIcon", nullptr); }
HWND TreeWindow(HWND main) { return ::FindWindowExW(main, nullptr, WC_TREEVIEWW, nullptr); }

// Memory in pellora's process, for messages whose parameters are pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  bool Ok() const { return address_ != nullptr; }
  void* Address() const { return address_; }
  bool Write(const void* data, size_t n, size_t offset = 0) {
    return ::WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, nullptr) != 0;
  }
  bool Read(void* data, size_t n, size_t offset = 0) {
    return ::ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

struct TreeEntry {
  HTREEITEM handle;
  int depth;
  UINT state;
  std::wstring text;
};

std::vector<TreeEntry> ReadTree(HWND tree) {
  std::vector<TreeEntry> entries;
  constexpr size_t kText = 1024;
  RemoteBuffer remote(tree, sizeof(TVITEMW) + kText * sizeof(wchar_t));
  if (!remote.Ok()) return entries;
  auto* textAddress = static_cast<wchar_t*>(static_cast<void*>(static_cast<char*>(remote.Address()) + sizeof(TVITEMW)));
  std::vector<std::pair<HTREEITEM, int>> stack;
  for (HTREEITEM h = TreeView_GetRoot(tree); h; h = TreeView_GetNextSibling(tree, h)) stack.emplace_back(h, 0);
  // Pre-order with an explicit stack; siblings were pushed in order, so reverse them.
  std::vector<std::pair<HTREEITEM, int>> order(stack.rbegin(), stack.rend());
  while (!order.empty()) {
    auto [h, depth] = order.back();
    order.pop_back();
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
    item.hItem = h;
    item.stateMask = TVIS_BOLD | TVIS_EXPANDED | TVIS_SELECTED;
    item.pszText = textAddress;
    item.cchTextMax = kText;
    remote.Write(&item, sizeof(item));
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()));
    remote.Read(&item, sizeof(item));
    wchar_t text[kText] = {};
    remote.Read(text, sizeof(text) - sizeof(wchar_t), sizeof(TVITEMW));
    entries.push_back({h, depth, item.state, text});
    std::vector<HTREEITEM> children;
    for (HTREEITEM c = TreeView_GetChild(tree, h); c; c = TreeView_GetNextSibling(tree, c)) children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it) order.emplace_back(*it, depth + 1);
  }
  return entries;
}

struct DialogSearch {
  const wchar_t* caption;
  const wchar_t* text;  // for message boxes: a part of the static text
  int unused;
  HWND found;
};

BOOL CALLBACK FindStaticText(HWND child, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  wchar_t buffer[1024];
  ::GetWindowTextW(child, buffer, 1024);
  if (std::wcsstr(buffer, s->text)) {
    s->found = ::GetParent(child);
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  wchar_t cls[64];
  ::GetClassNameW(hwnd, cls, 64);
  if (std::wcscmp(cls, L"#32770") != 0 || !::IsWindowVisible(hwnd)) return TRUE;
  if (s->caption) {
    wchar_t title[256];
    ::GetWindowTextW(hwnd, title, 256);
    if (std::wcscmp(title, s->caption) == 0) s->found = hwnd;
  } else {
    ::EnumChildWindows(hwnd, &FindStaticText, lp);
  }
  return s->found ? FALSE : TRUE;
}

// A visible dialog (class #32770) with this caption, or whose static text contains `text`;
// any process's, as the program may not have its main window yet (the first-start question).
HWND WaitForDialog(const wchar_t* caption, const wchar_t* text) {
  DialogSearch search{caption, text, 0, nullptr};
  for (int i = 0; i < 100 && !search.found; ++i) {
    ::EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&search));
    if (!search.found) ::Sleep(50);
  }
  return search.found;
}

struct CountSearch {
  const wchar_t* cls;
  int count;
};

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<CountSearch*>(lp);
  wchar_t cls[64];
  ::GetClassNameW(hwnd, cls, 64);
  if (std::wcscmp(cls, s->cls) == 0 && ::IsWindowVisible(hwnd)) ++s->count;
  return TRUE;
}

bool SaveScreenshot(const wchar_t* path) {
  int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  int w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN), h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY | CAPTUREBLT);
  ::GdiFlush();
  const DWORD stride = ((w * 3 + 3) & ~3);
  const DWORD size = stride * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + size;
  bool ok = false;
  if (FILE* f = _wfopen(path, L"wb")) {
    ok = fwrite(&fh, sizeof(fh), 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f) == 1 &&
         fwrite(bits, 1, size, f) == size;
    fclose(f);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

// FNV-1a over the pixels of the notification area (the right end of the taskbar).
uint32_t TrayPixelHash() {
  HWND bar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
  RECT r{};
  if (!bar || !::GetWindowRect(bar, &r) || r.bottom <= r.top) return 0;
  const int w = 64, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  uint32_t hash = 2166136261u;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      COLORREF c = ::GetPixel(screen, r.right - w + x, r.top + y);
      for (int i = 0; i < 3; ++i) {
        hash ^= (c >> (8 * i)) & 0xFF;
        hash *= 16777619u;
      }
    }
  ::ReleaseDC(nullptr, screen);
  return hash;
}

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM depth) {
  wchar_t cls[128], title[128];
  ::GetClassNameW(hwnd, cls, 128);
  ::GetWindowTextW(hwnd, title, 128);
  RECT r;
  ::GetWindowRect(hwnd, &r);
  std::wprintf(L"%*ls%p %ls \"%ls\" %ld,%ld,%ld,%ld%ls\n", int(depth * 2), L"", static_cast<void*>(hwnd), cls, title,
               r.left, r.top, r.right, r.bottom, ::IsWindowVisible(hwnd) ? L" visible" : L"");
  if (depth == 0) ::EnumChildWindows(hwnd, &PrintWindow, depth + 1);
  return TRUE;
}

void PrintUtf8(const std::wstring& text) {
  // Output for the Linux side: UTF-8 regardless of the console's code page.
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int Usage() {
  std::fwprintf(stderr, L"pctl: unknown command (see the comment at the top of pctl.cpp)\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring verb = argv[1];
  if (verb == L"screenshot" && argc == 3) return SaveScreenshot(argv[2]) ? 0 : 1;
  if (verb == L"foreground") {
    HWND w = ::GetForegroundWindow();
    wchar_t cls[128] = {}, title[128] = {};
    if (w) ::GetClassNameW(w, cls, 128), ::GetWindowTextW(w, title, 128);
    RECT r{};
    if (w) ::GetWindowRect(w, &r);
    PrintUtf8(std::wstring(cls) + L" \"" + title + L"\" " + std::to_wstring(r.right - r.left) + L"x" +
              std::to_wstring(r.bottom - r.top) + (w == ::GetDesktopWindow() ? L" desktop" : L"") +
              (w == ::GetShellWindow() ? L" shell" : L"") + L"\n");
    return 0;
  }
  if (verb == L"windows") {
    ::EnumWindows(&PrintWindow, 0);
    return 0;
  }
  if (verb == L"tray-pixels") {
    const uint32_t hash = TrayPixelHash();
    std::printf("%08x\n", hash);
    return hash != 0 ? 0 : 1;
  }
  if ((verb == L"exists" || verb == L"visible") && argc >= 3) {
    HWND w = ::FindWindowW(argv[2], argc > 3 ? argv[3] : nullptr);
    return w && (verb == L"exists" || ::IsWindowVisible(w)) ? 0 : 1;
  }
  if (verb == L"popup-rclick") {
    HWND popup = ::FindWindowW(L"pellora.Popup", nullptr);
    if (!popup || !::IsWindowVisible(popup)) return 1;
    ::PostMessageW(popup, WM_RBUTTONUP, 0, MAKELPARAM(40, 40));
    return 0;
  }
  if (verb == L"browser") {
    // The browser frame is the top-level window that hosts the browser control.
    HWND host = nullptr;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = ::FindWindowExW(nullptr, w, nullptr, nullptr))
      if (::FindWindowExW(w, nullptr, L"pellora.BrowserHost", nullptr)) host = w;
    if (!host || !::IsWindowVisible(host)) return 1;
    wchar_t text[512] = {};
    ::GetWindowTextW(host, text, 512);
    PrintUtf8(std::wstring(text) + L"\n");
    return 0;
  }
  if (verb == L"ticker" && argc >= 3) {
    HWND ticker = ::FindWindowW(L"pellora.Ticker", nullptr);
    if (!ticker) return 1;
    const std::wstring what = argv[2];
    const int value = argc > 3 ? _wtoi(argv[3]) : 0;
    RECT r;
    ::GetWindowRect(ticker, &r);
    if (what == L"wheel") {
      ::SendMessageW(ticker, WM_MOUSEWHEEL, MAKEWPARAM(0, value), MAKELPARAM(r.left + 5, r.top + 5));
    } else if (what == L"click") {
      ::SendMessageW(ticker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(value, 9));
      ::SendMessageW(ticker, WM_LBUTTONUP, 0, MAKELPARAM(value, 9));
    } else if (what == L"rclick") {
      ::SendMessageW(ticker, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 9));
    } else {
      return Usage();
    }
    return 0;
  }
  if (verb == L"count" && argc == 3) {
    CountSearch search{argv[2], 0};
    ::EnumWindows(&CountVisible, reinterpret_cast<LPARAM>(&search));
    std::printf("%d\n", search.count);
    return 0;
  }
  if (verb == L"wait" && argc == 3) {
    const DWORD until = ::GetTickCount() + static_cast<DWORD>(_wtoi(argv[2]) * 1000);
    while (!FindMainWindow()) {
      if (static_cast<LONG>(::GetTickCount() - until) >= 0) return 1;
      ::Sleep(100);
    }
    return 0;
  }
  if (verb == L"dialog" && argc == 5) {
    HWND dialog = WaitForDialog(argv[2], nullptr);
    if (!dialog) return 1;
    if (std::wcscmp(argv[3], L"-") != 0) ::SendMessageW(::GetDlgItem(dialog, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
    ::PostMessageW(dialog, WM_COMMAND, std::wcscmp(argv[4], L"ok") == 0 ? IDOK : IDCANCEL, 0);
    return 0;
  }
  if (verb == L"msgbox" && argc == 4) {
    HWND box = WaitForDialog(nullptr, argv[2]);
    if (!box) return 1;
    ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(_wtoi(argv[3])), 0);
    return 0;
  }
  HWND main = FindMainWindow();
  if (!main) {
    std::fwprintf(stderr, L"pctl: pellora is not running\n");
    return 1;
  }
  if (verb == L"tray-click" || verb == L"tray-rclick") {
    // What the shell sends when the icon is clicked: the callback message with the mouse
    // message in the long parameter. Posted, as a right click opens a modal menu.
    ::PostMessageW(TrayWindow(main), WM_USER, 0, verb == L"tray-click" ? WM_LBUTTONUP : WM_RBUTTONUP);
    return 0;
  }
  if (verb == L"command" && argc == 3) return ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(_wtoi(argv[2]), 0), 0) ? 0 : 1;
  if (verb == L"hide") return ::PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 1;
  if (verb == L"key" && argc == 3) {
    HWND tree = TreeWindow(main);
    const WPARAM vk = static_cast<WPARAM>(_wtoi(argv[2]));
    ::PostMessageW(tree, WM_KEYDOWN, vk, 1);
    ::PostMessageW(tree, WM_KEYUP, vk, 0xC0000001);
    return 0;
  }
  if (verb == L"tree") {
    for (const auto& e : ReadTree(TreeWindow(main))) {
      std::wstring flags;
      flags += (e.state & TVIS_BOLD) ? L'b' : L'-';
      flags += (e.state & TVIS_EXPANDED) ? L'e' : L'-';
      flags += (e.state & TVIS_SELECTED) ? L's' : L'-';
      PrintUtf8(std::to_wstring(e.depth) + L" " + flags + L" " + e.text + L"\n");
    }
    return 0;
  }
  if (verb == L"tree-count") {
    // Asked of the window itself: the answer also shows that the window answers.
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(TreeWindow(main), TVM_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return 1;
    std::printf("%lu\n", static_cast<unsigned long>(count));
    return 0;
  }
  if (verb == L"select" && argc == 3) {
    HWND tree = TreeWindow(main);
    for (const auto& e : ReadTree(tree))
      if (e.text.find(argv[2]) != std::wstring::npos) {
        ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(e.handle));
        return 0;
      }
    return 1;
  }
  if (verb == L"stats") {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    DWORD handles = 0;
    ::GetProcessHandleCount(process, &handles);
    std::printf("private=%zu working=%zu handles=%lu gdi=%lu user=%lu peak=%zu\n", static_cast<size_t>(memory.PrivateUsage),
                static_cast<size_t>(memory.WorkingSetSize), handles, ::GetGuiResources(process, GR_GDIOBJECTS),
                ::GetGuiResources(process, GR_USEROBJECTS), static_cast<size_t>(memory.PeakPagefileUsage));
    ::CloseHandle(process);
    return 0;
  }
  return Usage();
}
