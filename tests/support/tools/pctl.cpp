// pctl: drives a running pellora from outside its process, the way a user or the platform
// would (window messages to its windows, its tray icon's callback message, its menu
// commands), and takes screenshots. Used by `make run` and the black-box tests.
//
//   pctl wait <seconds>                  wait until pellora's main window exists
//   pctl tray-click | tray-rclick        the tray icon's callback message
//   pctl command <id>                    a menu command to the main window
//   pctl show | hide                     (un)hide the main window via tray click / WM_CLOSE
//   pctl screenshot <file.bmp>           the whole screen as a 24-bit bitmap
//   pctl exists <class> [title]          exit code 0 when such a top-level window exists
#include <windows.h>

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

HWND TrayWindow(HWND main) { return main ? ::FindWindowExW(main, nullptr, L"pellora.TrayIcon", nullptr) : nullptr; }

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

int Usage() {
  std::fwprintf(stderr, L"usage: pctl wait <s> | tray-click | tray-rclick | command <id> | hide | "
                        L"screenshot <file.bmp> | exists <class> [title]\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring verb = argv[1];
  if (verb == L"screenshot" && argc == 3) return SaveScreenshot(argv[2]) ? 0 : 1;
  if (verb == L"exists" && argc >= 3) return ::FindWindowW(argv[2], argc > 3 ? argv[3] : nullptr) ? 0 : 1;
  if (verb == L"wait" && argc == 3) {
    DWORD until = ::GetTickCount() + static_cast<DWORD>(_wtoi(argv[2]) * 1000);
    while (!FindMainWindow()) {
      if (static_cast<LONG>(::GetTickCount() - until) >= 0) return 1;
      ::Sleep(100);
    }
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
  if (verb == L"command" && argc == 3) {
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(_wtoi(argv[2]), 0), 0);
    return 0;
  }
  if (verb == L"hide") {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
  }
  return Usage();
}
