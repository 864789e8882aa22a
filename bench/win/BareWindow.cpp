// The yardstick of the outside measurements (bench/outside.py): the least a Win32 program
// with a window does. It registers a class, shows one small window and sleeps in its
// message loop. Built with the same toolchain and runtime as pellora.exe. The command line
// adds, word by word, what a tray reader cannot do without, so that `outside.py floor` can
// say what each costs under Wine before any feed is read:
//   timer     a 40 ms timer that does nothing: the floor of any strip that moves every 40 ms;
//   draw      at each tick a bar moves one pixel, drawn through the window's own DC: the
//             least a strip that moves every 40 ms draws;
//   sleeper   the ticks come from a thread that sleeps between them instead of the timer:
//             under Wine the cheapest wake there is (no request to the wineserver);
//   comctl32  the common controls loaded and initialised for a tree view;
//   thread    one worker thread started and ended (as a fetch run does);
//   hangul    Korean and Latin text drawn in the GUI font, regular and bold;
//   wininet   WinINet loaded and an Internet session opened (nothing fetched).
#include <windows.h>

#include <commctrl.h>
#include <cwchar>
#include <initializer_list>

namespace {
bool hangul = false;
bool drawBar = false;

bool HasWord(const wchar_t* commandLine, const wchar_t* word) {
  const size_t length = std::wcslen(word);
  for (const wchar_t* at = commandLine; at && (at = std::wcsstr(at, word)); at += length) {
    const bool startsWord = at == commandLine || at[-1] == L' ';
    if (startsWord && (at[length] == L'\0' || at[length] == L' ')) return true;
  }
  return false;
}

void DrawSample(HDC dc) {
  static const wchar_t kText[] = L"오늘의 뉴스 Today's news";
  LOGFONTW logFont{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
  for (int weight : {FW_DONTCARE, FW_BOLD}) {
    logFont.lfWeight = weight;
    HFONT font = ::CreateFontIndirectW(&logFont);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::TextOutW(dc, 4, weight == FW_BOLD ? 24 : 4, kText, static_cast<int>(std::wcslen(kText)));
    ::SelectObject(dc, old);
    ::DeleteObject(font);
  }
}

// Thirty pixels of black moving right by one at each call, over a white row.
void DrawBar(HWND hwnd) {
  static int x = 0;
  x = (x + 1) % 200;
  HDC dc = ::GetDC(hwnd);
  ::PatBlt(dc, 0, 0, 240, 20, WHITENESS);
  ::PatBlt(dc, x, 0, 30, 20, BLACKNESS);
  ::ReleaseDC(hwnd, dc);
}

DWORD WINAPI Sleeper(void* hwnd) {
  for (;;) {
    ::Sleep(40);
    DrawBar(static_cast<HWND>(hwnd));
    // Wine puts a window's drawing on the screen when a thread of it waits or looks for
    // input; this thread does neither, and asking for a key's state is such a look.
    ::GetAsyncKeyState(VK_SHIFT);
  }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT && hangul) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd, &paint);
    DrawSample(dc);
    ::EndPaint(hwnd, &paint);
    return 0;
  }
  if (msg == WM_TIMER && drawBar) {
    DrawBar(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD WINAPI Nothing(void*) { return 0; }
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  if (HasWord(commandLine, L"comctl32")) {
    // Loaded here, not imported: an import would load it into every bare window.
    HMODULE library = ::LoadLibraryW(L"comctl32.dll");
    auto init = library ? reinterpret_cast<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(
                              reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")))
                        : nullptr;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    if (!init || !init(&controls)) return 1;
  }
  if (HasWord(commandLine, L"thread")) {
    HANDLE thread = ::CreateThread(nullptr, 0, Nothing, nullptr, 0, nullptr);
    if (!thread) return 1;
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
  }
  if (HasWord(commandLine, L"wininet")) {
    HMODULE library = ::LoadLibraryW(L"wininet.dll");
    using Open = void*(WINAPI*)(const wchar_t*, DWORD, const wchar_t*, const wchar_t*, DWORD);
    auto open = library ? reinterpret_cast<Open>(reinterpret_cast<void*>(::GetProcAddress(library, "InternetOpenW")))
                        : nullptr;
    if (!open || !open(L"bare", 0 /* INTERNET_OPEN_TYPE_PRECONFIG */, nullptr, nullptr, 0)) return 1;
  }
  hangul = HasWord(commandLine, L"hangul");
  drawBar = HasWord(commandLine, L"draw");
  WNDCLASSW wc{};
  wc.style = drawBar ? CS_OWNDC : 0;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"pellora.BareWindow";
  if (!::RegisterClassW(&wc)) return 1;
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"bare", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr,
                                instance, nullptr);
  if (!hwnd) return 1;
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  if (HasWord(commandLine, L"timer")) ::SetTimer(hwnd, 1, 40, nullptr);
  if (HasWord(commandLine, L"sleeper") && !::CreateThread(nullptr, 0, Sleeper, hwnd, 0, nullptr)) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
