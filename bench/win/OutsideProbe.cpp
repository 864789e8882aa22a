// The Windows side of bench/outside.py: what can only be asked from inside the Wine
// session, from another process, as a user's tools would.
//
//   outside_probe.exe answer SECONDS ROWS   posts pellora's refresh command, then pings its
//       tree (TVM_GETCOUNT) every 2 ms until it shows ROWS rows or SECONDS pass; prints the
//       longest wait for an answer, how many waits exceeded 50 ms, and when (Unix time)
//       the refresh was asked for and the last row appeared.
//   outside_probe.exe launch RUNS EXE...    starts the program RUNS times and prints the
//       median milliseconds until its window answers: pellora's main window with its tray
//       icon, any other program's first visible top-level window; each run is then ended.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK FindMain(HWND hwnd, LPARAM out) {
  if (!::FindWindowExW(hwnd, nullptr, L"pellora.TrayIcon", nullptr)) return TRUE;
  *reinterpret_cast<HWND*>(out) = hwnd;
  return FALSE;
}

HWND MainWindow() {
  HWND main = nullptr;
  ::EnumWindows(FindMain, reinterpret_cast<LPARAM>(&main));
  return main;
}

double Now(const LARGE_INTEGER& frequency) {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

double UnixTime() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return double(t) / 1e7 - 11644473600.0;
}

int Answer(double seconds, long rows) {
  HWND main = MainWindow();
  HWND tree = main ? ::FindWindowExW(main, nullptr, WC_TREEVIEWW, nullptr) : nullptr;
  if (!tree) return 2;
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  const double start = Now(frequency);
  double longest = 0, lastRow = 0;
  const double asked = UnixTime();
  ::PostMessageW(main, WM_COMMAND, 32782, 0);  // 새로고침
  long over = 0, answers = 0;
  while (Now(frequency) - start < seconds) {
    const double before = Now(frequency);
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 10000, &count)) return 3;
    const double wait = Now(frequency) - before;
    ++answers;
    longest = std::max(longest, wait);
    if (wait > 0.050) ++over;
    if (static_cast<long>(count) >= rows) {
      lastRow = UnixTime();
      break;
    }
    ::Sleep(2);
  }
  std::printf("longest_wait_ms=%.1f waits_over_50ms=%ld answers=%ld asked=%.3f last_row=%.3f\n", longest * 1000,
              over, answers, asked, lastRow);
  return lastRow > 0 ? 0 : 1;
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisibleOf(HWND hwnd, LPARAM arg) {
  auto* search = reinterpret_cast<Search*>(arg);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !::IsWindowVisible(hwnd)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

int Launch(int runs, const wchar_t* exe) {
  const bool pellora = std::wcsstr(exe, L"pellora") != nullptr;
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    std::wstring command = L"\"" + std::wstring(exe) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const double start = Now(frequency);
    if (!::CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
    HWND window = nullptr;
    while (!window && Now(frequency) - start < 30) {
      if (pellora) {
        HWND main = MainWindow();
        DWORD_PTR unused = 0;
        // Answering means OnCreate is over: the tree, the ticker and the tray icon are up.
        if (main && ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &unused)) window = main;
      } else {
        Search search{pi.dwProcessId, nullptr};
        ::EnumWindows(FindVisibleOf, reinterpret_cast<LPARAM>(&search));
        window = search.found;
      }
      if (!window) ::Sleep(1);
    }
    if (!window) return 3;
    times.push_back((Now(frequency) - start) * 1000);
    if (pellora)
      ::PostMessageW(window, WM_COMMAND, 32771, 0);  // Exit
    else
      ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  std::sort(times.begin(), times.end());
  std::printf("median_ms=%.1f min_ms=%.1f max_ms=%.1f runs=%d\n", times[times.size() / 2], times.front(), times.back(),
              runs);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"answer") == 0) return Answer(_wtof(argv[2]), _wtol(argv[3]));
  if (argc == 4 && std::wcscmp(argv[1], L"launch") == 0) return Launch(_wtoi(argv[2]), argv[3]);
  std::fprintf(stderr, "usage: outside_probe answer SECONDS ROWS | launch RUNS EXE\n");
  return 1;
}
