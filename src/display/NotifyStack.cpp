#include "display/NotifyStack.h"

#include <algorithm>

#include "common/DebugTrace.h"
#include "common/Dpi.h"
#include "win/Dpi.h"
#include "win/Window.h"

NotifyStack::Lock::Lock(HANDLE semaphore) : semaphore_(semaphore) {
  ::WaitForSingleObject(semaphore_, INFINITE);
}

NotifyStack::Lock::~Lock() { ::ReleaseSemaphore(semaphore_, 1, nullptr); }

NotifyStack::NotifyStack() : lock_(::CreateSemaphoreW(nullptr, 1, 1, nullptr)) {}

NotifyStack::~NotifyStack() {
  for (;;) {
    CTrayWndItem* popup;
    {
      Lock lock(lock_.Get());
      if (placed_.empty()) break;
      popup = placed_.front();
    }
    delete popup;  // its destructor gives the slot back
    Lock lock(lock_.Get());
    if (!placed_.empty() && placed_.front() == popup) placed_.erase(placed_.begin());
  }
  // Clicked popups still running out invisibly outlive the stack: they must not call back.
  for (CTrayWndItem* popup : attached_) popup->stack_ = nullptr;
}

void NotifyStack::Configure(bool fromBottom, int popupWidth, int popupHeight, HWND owner, UINT closeBitmap) {
  closeBitmap_ = closeBitmap;
  fromBottom_ = fromBottom;
  popupWidth_ = popupWidth;
  popupHeight_ = popupHeight;
  owner_ = owner;
}

int NotifyStack::Place(CTrayWndItem* popup, RECT& rect) {
  int slot = 0;
  {
    Lock lock(lock_.Get());
    auto held = std::find(placed_.begin(), placed_.end(), popup);
    if (held != placed_.end()) {
      slot = popup->slot_;
    } else {
      // The lowest number that no placed popup holds.
      for (bool taken = true; taken;) {
        taken = false;
        for (const CTrayWndItem* other : placed_) {
          if (other->slot_ == slot) {
            ++slot;
            taken = true;
            break;
          }
        }
      }
      popup->slot_ = slot;
      placed_.push_back(popup);
    }
    RECT work = win::PrimaryWorkArea();
    // The configured size is at 96 DPI; the popups appear on the primary monitor.
    dpi_ = win::PrimaryMonitorDpi();
    const int width = ScaleForDpi(popupWidth_, dpi_);
    const int height = ScaleForDpi(popupHeight_, dpi_);
    // A popup higher than the work area still gets a row of its own.
    const int rows = height > 0 ? std::max(1, static_cast<int>((work.bottom - work.top) / height)) : 1;
    const int column = slot / rows;
    const int row = slot % rows;
    rect.left = work.right - (column + 1) * width;
    rect.top = fromBottom_ ? work.bottom - (row + 1) * height : work.top + row * height;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    popup->stack_ = this;
    if (std::find(attached_.begin(), attached_.end(), popup) == attached_.end()) attached_.push_back(popup);
  }
  // Outside the lock: an owner that reacts by placing or removing popups must not block.
  OnPopupEvent(popup, kPlaced);
  return slot;
}

void NotifyStack::Remove(CTrayWndItem* popup) {
  bool found = false;
  {
    Lock lock(lock_.Get());
    auto it = std::find(placed_.begin(), placed_.end(), popup);
    if (it != placed_.end()) {
      placed_.erase(it);
      found = true;
    }
  }
  if (found) OnPopupEvent(popup, kRemoved);
}

void NotifyStack::Detach(CTrayWndItem* popup) {
  Lock lock(lock_.Get());
  attached_.erase(std::remove(attached_.begin(), attached_.end(), popup), attached_.end());
}

size_t NotifyStack::PlacedCount() const {
  Lock lock(lock_.Get());
  return placed_.size();
}

bool NotifyStack::IsPlaced(const CTrayWndItem* popup) const {
  Lock lock(lock_.Get());
  return std::find(placed_.begin(), placed_.end(), popup) != placed_.end();
}

void NotifyStack::ShowPopup(CTrayWndItem* popup) {
  if (!popup || popup->IsAlive()) return;  // shown already
  OnPopupEvent(popup, kPlaced);
  popup->alpha_ = 1;  // fading on
  RECT rect{};
  const int slot = Place(popup, rect);
  if (!popup->CreatePopup(this, slot, rect, dpi_, owner_)) {
    // Never shown, so it can never fade out and free its slot: give the slot back now
    // (the owner hears kRemoved and moves on) and let the popup go like a faded one.
    DebugTrace(L"popup window not created\n");
    delete popup;
  }
}
