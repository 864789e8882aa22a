#pragma once
#include "display/NotifyStack.h"

class CMainFrame;

// The frame's popup placement: every event is posted to the frame as 'NOTI'; a popup that
// is gone also leaves the frame's queue at once, so the queue never holds a freed popup.
class MainNotifyStack : public NotifyStack {
 public:
  explicit MainNotifyStack(CMainFrame& frame) : frame_(frame) {}

 protected:
  void OnPopupEvent(CTrayWndItem* popup, int code) override;

 private:
  CMainFrame& frame_;
};
