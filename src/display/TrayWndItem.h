#pragma once
// A notification popup: a small top-most window that fades in, stays for its display
// time (or until clicked, when that is 0), fades out and deletes itself. The cursor over
// it keeps it (a fading popup comes back) and turns its text blue; a left click does the
// kind's action (fun(1)) unless it hits the close button; any click closes it.
//
// Kinds override the operations below. A popup that was never shown has no window and is
// deleted with plain delete by whoever holds it.
#include <windows.h>

#include <string>

#include "win/Handles.h"
#include "win/Window.h"

class CTrayWndItem;
class NotifyStack;

// What a shown popup tells the one that placed it (the NotifyStack), and asks it.
class PopupPlacement {
 public:
  // The popup has faded in completely.
  virtual void PopupShown(CTrayWndItem* popup) = 0;
  // The popup gives its slot back; nothing happens for a popup that holds none.
  virtual void Remove(CTrayWndItem* popup) = 0;
  // The popup is being deleted: it leaves the placement's reach.
  virtual void Detach(CTrayWndItem* popup) = 0;
  // The bitmap resource of the close button of the kinds that have one.
  virtual UINT CloseBitmap() const = 0;

 protected:
  ~PopupPlacement() = default;
};

class CTrayWndItem : public win::Window {
 public:
  // Animation phases.
  static constexpr int kAppearing = 0;
  static constexpr int kShown = 1;
  static constexpr int kDisappearing = 2;

  CTrayWndItem();
  ~CTrayWndItem() override;

  // State, for the stack and for tests.
  int Slot() const { return slot_; }
  int Phase() const { return phase_; }
  int Alpha() const { return alpha_; }
  bool Hovered() const { return hovered_; }
  bool Closed() const { return closed_; }
  const RECT& TargetRect() const { return targetRect_; }
  SIZE CloseSize() const { return closeSize_; }

  // The overridable operations of a popup kind.
  virtual int TimerPeriod() { return 7; }
  // Milliseconds to stay fully shown; 0 stays until clicked.
  virtual int DisplayTime() { return 5000; }
  // The kind's action for a click: 1 left button, 2 right button.
  virtual void fun(int button) {}
  virtual std::wstring BodyText() { return L"CTrayWndItem"; }
  virtual COLORREF TextColor(bool hovered) { return hovered ? RGB(0, 0, 255) : RGB(0, 0, 0); }
  virtual COLORREF BackColor() { return RGB(240, 248, 255); }
  virtual win::Font CreateTextFont(int dpi);
  // Bitmap resources drawn with magenta transparent; 0 for none. They name the 100 %
  // pictures; the ones drawn for the popup's DPI are taken where they exist.
  virtual UINT CloseBitmap() { return 0; }
  virtual UINT BackBitmap() { return 0; }
  // Draws the kind's texts; font, text colour and transparent background are set.
  virtual void DrawContent(HDC dc);

  // The DPI the popup is laid out for, and a size at 96 DPI scaled for it.
  int Dpi() const { return dpi_; }
  int Px(int pixels) const;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage() override;

  // The body layout shared by the kinds: one line centred with an ellipsis, or several
  // lines word-wrapped and centred as a block in the middle of `box`.
  static void DrawBody(HDC dc, const std::wstring& text, RECT box);
  // The close-button bitmap of the stack that shows the popup (0 before it is placed).
  UINT StackCloseBitmap() const;

 private:
  friend class NotifyStack;
  // Creates the window at `rect` (the slot, laid out for `dpi`), owned by `owner`.
  bool CreatePopup(PopupPlacement* stack, int slot, const RECT& rect, int dpi, HWND owner);

  int OnCreate() override;
  void OnDestroy() override;
  void LoadBitmaps();
  bool OnDpiChanged(int dpi, const RECT& suggested) override;
  // Last of everything: the tick that ends the fade-out deletes this object.
  void OnTimer(UINT_PTR id) override;
  int Step();
  bool MoveTowards(const RECT& goal, int step);
  void ApplyAlpha();
  // Changes the phase; the timer runs slower while the popup is fully shown.
  void SetPhase(int phase);
  void Redraw();
  void Draw(HDC dc);
  void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);
  // The whole popup is drawn on erasing: it has no other painting.
  bool OnEraseBackground(HDC dc) override;
  // Hovering holds the popup fully shown; the button going up closes it and runs its
  // action (left: the kind's own, right: the second one, outside the close button).
  bool OnMouseMove(POINT at, UINT keys) override;
  bool OnMouseHover(POINT at, UINT keys) override;
  bool OnMouseLeave() override;
  bool OnLButtonUp(POINT at, UINT keys) override;
  bool OnRButtonUp(POINT at, UINT keys) override;
  void OnClick(int button, POINT at);
  void SetHovered(bool hovered);

  PopupPlacement* stack_ = nullptr;
  int slot_ = -1;
  int dpi_ = 96;
  int alpha_ = 1;
  int phase_ = kAppearing;
  bool hovered_ = false;
  RECT startRect_{};
  RECT targetRect_{};
  RECT currentRect_{};
  DWORD lastTick_ = 0;
  SIZE closeSize_{0, 0};
  bool closed_ = false;
  bool deleting_ = false;  // the destructor runs: the window must not delete us again
  win::Bitmap closeBitmap_;
  win::Bitmap backBitmap_;
  win::Font font_;
};
