#pragma once
#include <functional>
#include <utility>

#include "display/NotifyStack.h"

// The frame's popup placement: every event is posted to the frame (the stack's owner) as
// 'NOTI'; a popup that is gone is reported at once, before that, so the frame's queue
// never holds a freed popup.
class MainNotifyStack : public NotifyStack {
 public:
  explicit MainNotifyStack(std::function<void(CTrayWndItem*)> popupGone) : popupGone_(std::move(popupGone)) {}

 protected:
  void OnPopupEvent(CTrayWndItem* popup, int code) override;

 private:
  std::function<void(CTrayWndItem*)> popupGone_;
};
