#pragma once
// A top-level frame: menu, icon, accelerators and title loaded from one resource id.
#include "win/Handles.h"
#include "win/Window.h"

namespace win {

class FrameWindow : public Window {
 public:
  // Loads the frame's resources and creates the window; runs PreCreateWindow first.
  bool LoadFrame(UINT resourceId, DWORD style, HWND parent = nullptr);

  // The frame whose destruction ends the message loop (the application's main window).
  static void SetMainWindow(FrameWindow* frame) { mainWindow_ = frame; }
  static FrameWindow* MainWindow() { return mainWindow_; }

  bool PreTranslateMessage(MSG& msg) override;

 protected:
  // Adjusts the creation parameters. The base registers a plain frame class and adds
  // WS_EX_CLIENTEDGE, as frames traditionally have.
  virtual bool PreCreateWindow(CREATESTRUCTW& cs);
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Window class with no class style, cursor, brush or icon (the frame's client area is
  // always covered by a child).
  static const wchar_t* PlainClass();

 private:
  Accelerators accelerators_;
  static FrameWindow* mainWindow_;
};

}  // namespace win
