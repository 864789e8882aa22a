#include "app/PelloraApp.h"

#include <commctrl.h>
#include <ole2.h>

#include "app/AboutDialog.h"
#include "config/ConfigStore.h"

bool PelloraApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  frame_ = std::make_unique<CMainFrame>();
  win::FrameWindow::SetMainWindow(frame_.get());
  // A frame that cannot be created leaves nothing to run: end at once instead of
  // idling invisibly without a tray icon.
  if (!frame_->Create()) return false;
  ::ShowWindow(frame_->Hwnd(), SW_HIDE);
  ::UpdateWindow(frame_->Hwnd());
  return true;
}

int PelloraApp::Run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) win::Window::ProcessMessage(msg);
  return static_cast<int>(msg.wParam);
}

void PelloraApp::ShowAbout(HWND owner) {
  AboutDialog dialog;
  dialog.version = GetProgramVersion();
  dialog.DoModal(owner);
}
