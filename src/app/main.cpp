#include <windows.h>
#include <ole2.h>

#include "app/OpmlTransfer.h"
#include "app/PelloraApp.h"
#include "net/NetSession.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // /import and /export work on the settings alone: no window, no tray icon, no question.
  if (const int code = RunOpmlCommandLine(::GetCommandLineW()); code >= 0) return code;
  // The browser frame hosts an ActiveX control: the UI thread is a single-threaded apartment.
  HRESULT ole = ::OleInitialize(nullptr);
  PelloraApp app;
  int result = app.InitInstance() ? app.Run() : 1;
  // The frame is gone, so a running fetch stops at its next channel and a worker's
  // message fails at once; a worker cut off inside WinINet could hang the exit instead.
  WaitForNetWorkers(3000);
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}
