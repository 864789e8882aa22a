#include "app/MainNotifyStack.h"

#include "app/MainFrame.h"

void MainNotifyStack::OnPopupEvent(CTrayWndItem* popup, int code) {
  if (code == 2) frame_.PopupGone(popup);
  frame_.PostUser(frame_code::kNoti, code);
}
