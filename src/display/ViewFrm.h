#pragma once
// The program's own browser frame: a top-level window whose client area is the hosted
// web-browser control. Created once and hidden, the control on first use; shown by the
// frame for every link opened while the embedded browser is on. Closing (close box,
// Escape, Ctrl+W) only hides it and parks the control on a blank page. It keeps its
// placement in the settings and snaps to the primary work area's edges.
#include "win/FrameWindow.h"
#include "win/Handles.h"

#include "display/WebBrowser2.h"

class CViewFrm : public win::FrameWindow {
 public:
  CViewFrm();
  ~CViewFrm() override;

  // Creates the frame from its frame resource (menu, accelerators) with no parent, hidden and
  // without its menu; the window shows the icon resource `smallIcon`.
  bool Create(UINT frameResource, UINT smallIcon);
  // Creates the control on first use.
  CWebBrowser2& Browser();

  bool PreTranslateMessage(MSG& msg) override;

 protected:
  bool PreCreateWindow(CREATESTRUCTW& cs) override;
  // Only its own message that hands the focus on to the control a second time.
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  int OnCreate() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMove() override;
  bool OnClose() override;
  bool OnDpiChanged(int dpi, const RECT& suggested) override;
  void OnSetFocus() override;

 private:
  // The control's place: the client area with its border hidden beyond the edges.
  RECT BrowserArea() const;

  CWebBrowser2 browser_;
  UINT smallIconId_ = 0;
  win::Icon smallIcon_;
};
