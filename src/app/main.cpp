#include <windows.h>
#include <ole2.h>

#include "app/PelloraApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The browser frame hosts an ActiveX control: the UI thread is a single-threaded apartment.
  HRESULT ole = ::OleInitialize(nullptr);
  PelloraApp app;
  int result = app.InitInstance() ? app.Run() : 1;
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}
