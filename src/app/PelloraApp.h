#pragma once
#include <memory>

#include "app/MainFrame.h"

// The application object: starts the main frame hidden and runs the message loop.
class PelloraApp {
 public:
  bool InitInstance();
  int Run();
  CMainFrame* Frame() const { return frame_.get(); }

  // The About box with the executable's file version.
  static void ShowAbout(HWND owner);

 private:
  std::unique_ptr<CMainFrame> frame_;
};
