#include "app/MainNotifyStack.h"

#include "common/FrameCode.h"

void MainNotifyStack::OnPopupEvent(CTrayWndItem* popup, int code) {
  if (code == kRemoved) popupGone_(popup);
  PostFrameCode(Owner(), frame_code::kNoti, code);
}
