#pragma once
// The ticker: a small borderless, always-on-top, semi-transparent strip that scrolls the
// titles of new feed items from right to left in an endless row. It pauses and turns
// opaque under the cursor, opens the clicked title through its owner frame ('VIEW'),
// steps through the titles with the wheel, moves with Ctrl + drag (snapping to the work
// area's edges) and remembers its position.
//
// The frame creates it with Create(frame), sends it 'MAIN' with the frame and hands it new
// titles with Enqueue (or posts it 'ADD' with one heap ViewRequest record); the ticker
// owns the records it takes.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/Records.h"
#include "config/Settings.h"
#include "win/Handles.h"
#include "win/Window.h"

class TickerWnd : public win::Window {
 public:
  // At 96 DPI; the window scales them for the DPI of its monitor (Px).
  static constexpr int kHeight = 18;       // the strip is always this high
  static constexpr int kGap = 40;          // pixels between two titles
  static constexpr UINT kPeriodMs = 40;    // one pixel of scrolling per tick
  static constexpr int kDefaultCapacity = setting::kTickerCnt.def;

  TickerWnd();
  ~TickerWnd() override;

  // Registers the ticker's class, creates the (hidden) window owned by `owner` at the
  // stored position and brings it back onto a screen if it lies off every one.
  bool Create(HWND owner);

  // Beyond this many times its capacity the list drops its oldest entries at once.
  static constexpr size_t kCeilingFactor = 10;

  // Hands over new entries, from any thread. They wait in a queue that one posted 'ADD'
  // without a record empties: a feed of 20,000 new items must not post 20,000 messages,
  // since a thread's queue holds only 10,000 and a failed post would lose the message.
  // Should that one post fail, the next Enqueue or the next tick takes the entries.
  void Enqueue(std::vector<std::unique_ptr<ViewRequest>> entries);

  // Entries already taken, or handed over and not taken yet.
  bool HasEntries() const;
  size_t EntryCount() const { return entries_.size(); }
  // The titles of the list, oldest first.
  std::vector<std::wstring> Titles() const;
  // Title of the entry drawn first (leftmost); empty before scrolling has started.
  std::wstring CurrentTitle() const;
  // The frame named by 'MAIN'.
  HWND Owner() const { return owner_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // An entry keeps its title and link in one string: a busy feed can leave thousands of
  // entries waiting, and one allocation each is a third of what three strings cost.
  struct Entry {
    explicit Entry(const ViewRequest& request);
    std::wstring_view Title() const { return std::wstring_view(text).substr(0, titleLength); }
    ViewRequest Request() const;

    std::wstring text;  // the title, then the link
    size_t titleLength;
    SIZE extent{-1, -1};  // measured once with the ticker's font, when first drawn
  };
  using EntryList = std::list<Entry>;
  // The row is drawn once into a strip a few times wider than the window, and each tick
  // copies the visible part of it: text is drawn again only when the scroll nears the
  // strip's end or the list changes. A slot is one title drawn in the strip.
  struct Slot {
    EntryList::iterator entry;
    int x;   // left edge in the strip
    int cx;  // measured width
  };

  int OnCreate() override;
  void OnDestroy() override;
  void KeepOnScreen();
  // While the cursor is over the strip, the timer watches it leave (and the Ctrl key).
  void OnTimer(UINT_PTR id) override;
  // One pixel of scrolling by the window's thread, with whatever the step brings: the
  // next title, the strip drawn again, a pending click.
  void Step();
  bool CursorInside() const;
  // The cursor is over the strip: it holds still and is fully opaque.
  void SetHovered(bool inside);
  // On screen, the strip scrolls (the scroller) or, under the cursor, waits for it to
  // leave (the timer); hidden, with the display off or the session locked, neither runs.
  void UpdateTimer();
  // The scroller: a thread that sleeps between ticks and copies the next column of the
  // strip to the window itself as long as the step needs nothing else; any other step it
  // asks of the window's thread. Under Wine a thread's sleep costs nothing of the
  // wineserver, while a timer's tick costs three requests and a wake of the window's
  // thread.
  void ScrollLoop();
  void SetScrolling(bool on);
  void StopScroller();
  // Around the handling of every message (the outermost one): the window's thread takes
  // back what the scroller moved and keeps it away while the strip's state changes, then
  // tells it how far it may go on its own.
  void TakeBackScroll();
  void HandScrollOver();
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // WM_POWERBROADCAST: the display going off or on.
  LRESULT OnPowerBroadcast(WPARAM event, LPARAM data);
  // WM_WTSSESSION_CHANGE: the session locked or unlocked.
  void OnSessionChange(WPARAM event);
  void OnPaint(HDC dc, const RECT& dirty) override;
  // A click found while painting opens its entry once painting is over.
  void OnPaintEnded() override;
  // Painting is double-buffered: erasing would only flicker.
  bool OnEraseBackground(HDC) override { return false; }
  // Draws the row as it stands into windowDc and returns the entry a pending click
  // falls on, if any.
  std::optional<ViewRequest> PaintRow(HDC windowDc);
  // The window's inside from the strip's column `source`, and its left and right edges.
  void CopyRow(HDC windowDc, int source, int cx, int cy) const;
  void SendView(std::optional<ViewRequest> clicked);
  bool EnsureBackBuffer(HDC windowDc, int cx, int cy);
  void ReleaseBackBuffer();
  // Where the row's current title starts in the strip, drawing the strip again from the
  // current title when it does not hold the whole visible row as it stands.
  const Slot* SlotOfCurrent(int clientWidth);
  void RenderStrip();
  SIZE Measure(Entry& entry);
  void Advance();
  void ListChanged() { ++listVersion_; }
  LRESULT OnFrameMessage(uint32_t code, LPARAM arg) override;
  bool OnMouseWheel(POINT at, UINT keys, int delta) override;
  // The right button starts the current title again from the right edge.
  bool OnRButtonDown(POINT at, UINT keys) override;
  void RestartCurrent();
  void TrimToCeiling();
  void TakeQueued();
  // A click opens the title under it (found at the next paint); with Ctrl held the strip
  // is dragged instead.
  bool OnLButtonDown(POINT at, UINT keys) override;
  bool OnMouseMove(POINT at, UINT keys) override;
  bool OnLButtonUp(POINT at, UINT keys) override;
  bool OnCaptureChanged(HWND gainer) override;
  void OnMove() override;
  // A size at 96 DPI for the monitor the strip is on.
  int Px(int pixels) const;
  // The strip moved to a monitor of another DPI: new size, font and measurements.
  bool OnDpiChanged(int dpi, const RECT& suggested) override;

  mutable std::mutex queueLock_;
  std::vector<std::unique_ptr<ViewRequest>> queued_;  // under queueLock_
  bool wakePosted_ = false;                           // under queueLock_

  EntryList entries_;
  EntryList::iterator current_;  // entries_.end() plays the sentinel: not started yet
  int offset_ = -kGap;
  size_t capacity_ = kDefaultCapacity;
  bool dragging_ = false;
  bool hovered_ = true;
  POINT clickPoint_{-1, -1};
  std::optional<ViewRequest> clickedInPaint_;
  HWND owner_ = nullptr;
  int dpi_ = 96;

  bool timerRunning_ = false;
  int messageDepth_ = 0;

  // Shared with the scroller thread, under scrollLock_.
  struct Scroll {
    bool running = false;     // the strip is on screen and free to move
    bool quit = false;
    bool armed = false;       // the next steps up to `last` are copies from the strip
    bool wanted = false;      // a step the scroller cannot take is asked of the window
    bool stepAsked = false;   // ... and that message is on its way
    int source = 0;           // the strip's column at the window's left edge
    int last = 0;
    int steps = 0;            // pixels moved since the window's thread last looked
    int cx = 0, cy = 0;       // the window's inside
  };
  std::mutex scrollLock_;
  std::condition_variable scrollWake_;
  Scroll scroll_;
  std::thread scroller_;
  size_t drawnSlot_ = SIZE_MAX;  // the slot the last paint copied from
  bool displayOff_ = false;
  win::PowerNotification displayNotification_;
  bool locked_ = false;  // the session is locked: nobody sees the strip
  win::SessionNotification sessionNotification_;

  std::vector<Slot> slots_;
  unsigned listVersion_ = 0;   // bumped by every change of the list or of the measurements
  unsigned stripVersion_ = 0;  // listVersion_ when the strip was drawn
  bool stripDrawn_ = false;

  // Kept between paints; the bitmap is made again only when the client size changes.
  // Declared so that the selections are undone before the DC, bitmap and font go.
  win::Font font_;
  win::Bitmap backBitmap_;
  SIZE backSize_{0, 0};
  win::MemoryDC backDc_;
  std::optional<win::SelectScope> fontSelection_;
  std::optional<win::SelectScope> bitmapSelection_;
};
