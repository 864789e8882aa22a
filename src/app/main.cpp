#include <windows.h>

#include "app/OpmlTransfer.h"
#include "app/PelloraApp.h"
#include "net/NetSession.h"
#include "win/Ole.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // /import and /export work on the settings alone: no window, no tray icon, no question.
  if (const int code = RunOpmlCommandLine(::GetCommandLineW()); code >= 0) return code;
  PelloraApp app;
  int result = app.InitInstance() ? app.Run() : 1;
  // The frame is gone, so a running fetch stops at its next channel and a worker's
  // message fails at once; a worker cut off inside WinINet could hang the exit instead.
  WaitForNetWorkers(3000);
  // The browser frame's control made the window's thread an OLE apartment, if a link was opened.
  win::EndOle();
  return result;
}
