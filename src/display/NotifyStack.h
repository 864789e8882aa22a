#pragma once
// Places notification popups on the screen: each popup gets the lowest free slot, slots
// fill rows down the work area's right edge (or up from its bottom), then columns to the
// left. The owner hears when a popup is placed (0), fully shown (1) and removed (2).
#include <windows.h>

#include <vector>

#include "display/TrayWndItem.h"
#include "win/Handles.h"

class NotifyStack : public PopupPlacement {
 public:
  // Event codes of OnPopupEvent.
  static constexpr int kPlaced = 0;
  static constexpr int kShown = 1;
  static constexpr int kRemoved = 2;

  NotifyStack();
  // Destroys the popups that still hold a slot.
  virtual ~NotifyStack();
  NotifyStack(const NotifyStack&) = delete;
  NotifyStack& operator=(const NotifyStack&) = delete;

  // Rows grow upward from the bottom when fromBottom; `owner` (the frame) owns the popups.
  // The size is given at 96 DPI and scaled for the primary monitor's DPI at each placement.
  // `closeBitmap` is the bitmap resource of the close button of the kinds that have one.
  void Configure(bool fromBottom, int popupWidth, int popupHeight, HWND owner, UINT closeBitmap);

  // Places the popup and creates its window, which then fades in, stays and fades out by
  // itself. A popup whose window cannot be created is deleted again (and removed).
  void ShowPopup(CTrayWndItem* popup);
  // Gives the popup the lowest free slot; returns the slot and fills its rectangle.
  int Place(CTrayWndItem* popup, RECT& rect);
  // Frees the popup's slot; nothing happens for a popup that holds none.
  void Remove(CTrayWndItem* popup) override;

  size_t PlacedCount() const;
  bool IsPlaced(const CTrayWndItem* popup) const;
  HWND Owner() const { return owner_; }
  UINT CloseBitmap() const override { return closeBitmap_; }

 protected:
  // Called with kPlaced, kShown or kRemoved; never while the slot lock is held.
  virtual void OnPopupEvent(CTrayWndItem* popup, int code) {}

 private:
  // A shown popup leaves the stack's reach only when it is deleted.
  void Detach(CTrayWndItem* popup) override;
  void PopupShown(CTrayWndItem* popup) override { OnPopupEvent(popup, kShown); }

  // One-count semaphore around `placed_`.
  class Lock {
   public:
    explicit Lock(HANDLE semaphore);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    HANDLE semaphore_;
  };

  win::KernelHandle lock_;
  bool fromBottom_ = false;
  int popupWidth_ = 150;
  int popupHeight_ = 60;
  int dpi_ = 96;  // of the last placement
  HWND owner_ = nullptr;
  UINT closeBitmap_ = 0;
  std::vector<CTrayWndItem*> placed_;    // holding a slot, in order of placement
  std::vector<CTrayWndItem*> attached_;  // shown through this stack and not yet deleted
};
