#include "display/TickerWnd.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <system_error>

#include "common/Dpi.h"
#include "common/FrameCode.h"
#include "common/Placement.h"
#include "common/SettingRanges.h"
#include "common/WindowAlpha.h"
#include "config/Settings.h"
#include "display/PointFont.h"
#include "win/Dpi.h"

namespace {
// GUID_CONSOLE_DISPLAY_STATE, spelt out: not every import library carries the power GUIDs.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr UINT_PTR kTimer = 0;
constexpr UINT kStepMessage = WM_APP;  // the scroller asks the window's thread for a step
constexpr wchar_t kClassName[] = L"pellora.Ticker";
constexpr int kDefaultWidth = 200;
constexpr int kMinWidth = 20;
constexpr int kDefaultTop = 50;
constexpr int kWheelStart = -5;  // the wheel and the right button show a title from here
constexpr int kStripWidths = 3;  // the cached strip is this many windows wide

}  // namespace

TickerWnd::TickerWnd() : current_(entries_.end()) {}

TickerWnd::~TickerWnd() {
  // WM_DESTROY must reach this class's handler, which frees the entries.
  Destroy();
}

bool TickerWnd::Create(HWND owner) {
  // A DC of its own: the strip is copied to the window 25 times a second, and fetching a
  // common DC each time costs a fifth of the process's time under Wine.
  if (!RegisterWindowClass(kClassName, CS_OWNDC, ::LoadCursorW(nullptr, IDC_HAND))) return false;
  RECT work = win::PrimaryWorkArea();
  // Stored places and widths are physical pixels; only the defaults and the height scale.
  dpi_ = win::PrimaryMonitorDpi();
  const int defaultWidth = Px(kDefaultWidth);
  const int x = setting::WindowCoordinate(setting::GetOr(setting::kTickerX, work.right - defaultWidth));
  const int y = setting::WindowCoordinate(setting::GetOr(setting::kTickerY, Px(kDefaultTop)));
  const int cx = setting::WindowExtent(setting::GetOr(setting::kTickerCx, defaultWidth), defaultWidth,
                                       kMinWidth, work.right - work.left);
  if (!CreateEx(WS_EX_TOPMOST | WS_EX_LAYERED, kClassName, nullptr, WS_POPUP, x, y, cx, Px(kHeight), owner, nullptr))
    return false;
  // Another monitor than the primary one may hold the stored place.
  if (const int dpi = win::WindowDpi(Hwnd()); dpi != dpi_) {
    const RECT r = win::WindowRect(Hwnd());
    const RECT resized{r.left, r.top, r.right, r.top + ScaleForDpi(kHeight, dpi)};
    OnDpiChanged(dpi, resized);
  }
  KeepOnScreen();
  return true;
}

bool TickerWnd::HasEntries() const {
  if (!entries_.empty()) return true;
  std::lock_guard<std::mutex> guard(queueLock_);
  return !queued_.empty();
}

std::wstring TickerWnd::CurrentTitle() const {
  if (current_ == entries_.end()) return {};
  return std::wstring(current_->Title());
}

std::vector<std::wstring> TickerWnd::Titles() const {
  std::vector<std::wstring> titles;
  for (const Entry& entry : entries_) titles.emplace_back(entry.Title());
  return titles;
}

TickerWnd::Entry::Entry(const ViewRequest& request)
    : text(request.title + request.link), titleLength(request.title.size()) {}

ViewRequest TickerWnd::Entry::Request() const {
  return ViewRequest(std::wstring(Title()), text.substr(titleLength));
}

int TickerWnd::OnCreate() {
  // Fewer than one entry cannot scroll; a stored 0 or negative count keeps one.
  capacity_ = setting::TickerCapacity(setting::Get(setting::kTickerCnt));
  current_ = entries_.end();
  offset_ = -Px(kGap);
  hovered_ = true;
  dragging_ = false;
  clickPoint_ = POINT{-1, -1};
  ::SetWindowTextW(Hwnd(), L"Pellora Ticker");
  font_ = display::CreatePointFont(90, setting::Get(setting::kTickerFont), dpi_);
  UpdateTimer();
  SetWindowAlpha(Hwnd(), 100);
  // A window of the ticker's own: the frame need not know why the strip stops.
  displayNotification_.Reset(
      ::RegisterPowerSettingNotification(Hwnd(), &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE));
  if (::WTSRegisterSessionNotification(Hwnd(), NOTIFY_FOR_THIS_SESSION)) sessionNotification_.Reset(Hwnd());
  return 0;
}

void TickerWnd::KeepOnScreen() {
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box work = ToBox(win::NearestWorkArea(Hwnd()));
  if (!StickOut(window, work)) return;
  Box moved = IntoTopRight(window, work);
  ::SetWindowPos(Hwnd(), nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TickerWnd::OnPowerBroadcast(WPARAM event, LPARAM data) {
  const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(data);
  if (event == PBT_POWERSETTINGCHANGE && setting && ::IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
      setting->DataLength >= sizeof(DWORD)) {
    DWORD state;  // 0 off, 1 on, 2 dimmed
    std::memcpy(&state, setting->Data, sizeof(state));
    displayOff_ = state == 0;
    UpdateTimer();
  }
  return TRUE;
}

void TickerWnd::OnSessionChange(WPARAM event) {
  if (event != WTS_SESSION_LOCK && event != WTS_SESSION_UNLOCK) return;
  locked_ = event == WTS_SESSION_LOCK;
  UpdateTimer();
}

void TickerWnd::UpdateTimer() {
  const bool shown = Hwnd() && ::IsWindowVisible(Hwnd()) && !displayOff_ && !locked_;
  if (shown) TakeQueued();  // what ticks of the hidden strip would have taken
  SetScrolling(shown && !hovered_);
  const bool watch = shown && hovered_;
  if (watch == timerRunning_) return;
  if (watch) {
    timerRunning_ = ::SetTimer(Hwnd(), kTimer, kPeriodMs, nullptr) != 0;
  } else {
    ::KillTimer(Hwnd(), kTimer);
    timerRunning_ = false;
  }
}

void TickerWnd::SetScrolling(bool on) {
  {
    std::lock_guard<std::mutex> guard(scrollLock_);
    if (scroll_.running == on) return;
    scroll_.running = on;
  }
  if (on && !scroller_.joinable()) {
    try {
      scroller_ = std::thread(&TickerWnd::ScrollLoop, this);
    } catch (const std::system_error&) {
      // No thread: the strip holds still rather than fail; the next change tries again.
      std::lock_guard<std::mutex> guard(scrollLock_);
      scroll_.running = false;
      return;
    }
  }
  scrollWake_.notify_one();
}

void TickerWnd::StopScroller() {
  {
    std::lock_guard<std::mutex> guard(scrollLock_);
    scroll_.quit = true;
  }
  scrollWake_.notify_one();
  if (scroller_.joinable()) scroller_.join();
  scroll_ = Scroll{};
}

void TickerWnd::ScrollLoop() {
  std::unique_lock<std::mutex> lock(scrollLock_);
  ULONGLONG due = 0;
  for (;;) {
    if (!scroll_.running) {
      scrollWake_.wait(lock, [this] { return scroll_.running || scroll_.quit; });
      due = 0;  // a fresh start: the first step comes one period after it
    }
    if (scroll_.quit) return;
    const ULONGLONG now = ::GetTickCount64();
    // Steps at fixed times; after a stall (the lock held long) the row does not rush.
    due = due && due + kPeriodMs > now ? due + kPeriodMs : now + kPeriodMs;
    lock.unlock();
    ::Sleep(static_cast<DWORD>(due - now));
    lock.lock();
    if (scroll_.quit) return;
    if (!scroll_.running) continue;
    bool drawn = false;
    if (scroll_.armed) {
      ++scroll_.source;
      ++scroll_.steps;
      scroll_.armed = scroll_.source < scroll_.last;
      win::WindowDC dc(Hwnd());  // the window's own DC, free while the scroller is armed
      if (dc) {
        CopyRow(dc.Get(), scroll_.source, scroll_.cx, scroll_.cy);
        drawn = true;
      }
    } else if (scroll_.wanted && !scroll_.stepAsked) {
      scroll_.stepAsked = ::PostMessageW(Hwnd(), kStepMessage, 0, 0) != FALSE;
    }
    if (drawn) {
      lock.unlock();
      ::GdiFlush();
      // Wine puts a window's drawing on the screen when a thread of the process waits for
      // messages or looks at the input; this thread does neither, so it looks once a tick.
      ::GetAsyncKeyState(VK_CONTROL);
      lock.lock();
    }
  }
}

void TickerWnd::TakeBackScroll() {
  std::lock_guard<std::mutex> guard(scrollLock_);
  offset_ += scroll_.steps;
  scroll_.steps = 0;
  scroll_.armed = false;
  scroll_.wanted = false;
}

void TickerWnd::HandScrollOver() {
  std::lock_guard<std::mutex> guard(scrollLock_);
  if (!scroll_.running || !Hwnd()) return;
  scroll_.wanted = !entries_.empty();
  const RECT client = win::ClientRect(Hwnd());
  const int cx = client.right, cy = client.bottom;
  if (!scroll_.wanted || dragging_ || clickPoint_.x > 0 || !stripDrawn_ || stripVersion_ != listVersion_ ||
      drawnSlot_ >= slots_.size() || backSize_.cx != kStripWidths * cx || backSize_.cy != cy || cx <= 2)
    return;
  const Slot& slot = slots_[drawnSlot_];
  if (slot.entry != current_ || -offset_ >= cx) return;
  // The scroller's steps end where the current title leaves the window (the next one
  // becomes current) or where the window would reach past the strip.
  scroll_.source = slot.x + offset_;
  scroll_.last = std::min(slot.x + slot.cx - 1, static_cast<int>(backSize_.cx) - cx);
  scroll_.cx = cx;
  scroll_.cy = cy;
  scroll_.armed = scroll_.source < scroll_.last;
}

void TickerWnd::OnDestroy() {
  StopScroller();
  displayNotification_.Reset();
  displayOff_ = false;
  sessionNotification_.Reset();
  locked_ = false;
  ::KillTimer(Hwnd(), kTimer);
  timerRunning_ = false;
  entries_.clear();
  ListChanged();
  current_ = entries_.end();
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    queued_.clear();
    wakePosted_ = false;
  }
  ReleaseBackBuffer();
  font_.Reset();
}

void TickerWnd::OnTimer(UINT_PTR id) {
  if (id != kTimer) return;
  // Asking where the cursor is costs four requests to the server under Wine, more than
  // the rest of a tick: it is asked only while the cursor was last seen inside, and its
  // coming in is seen by WM_MOUSEMOVE (or when the strip is shown or moved).
  if (hovered_) SetHovered(CursorInside());
  if (!hovered_) {
    Step();  // the tick the cursor left in moves the row
  } else if (::GetAsyncKeyState(VK_CONTROL) < 0) {
    // The ticker never has the keyboard, so the key is asked of the system, not the queue.
    ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEALL));
  }
}

void TickerWnd::Step() {
  TakeQueued();
  if (!::IsWindowVisible(Hwnd()) || displayOff_ || locked_) {
    UpdateTimer();
    return;
  }
  // An empty strip has nothing to move; its offset waits for the first title.
  if (hovered_ || entries_.empty()) return;
  ++offset_;
  // Drawn at once instead of through an invalidated window: a step is one copy from the
  // strip, and a paint message would cost more than the copy.
  std::optional<ViewRequest> clicked;
  {
    win::WindowDC dc(Hwnd());
    if (dc) clicked = PaintRow(dc.Get());
  }
  SendView(std::move(clicked));
}

bool TickerWnd::CursorInside() const {
  const RECT client = win::ClientRect(Hwnd());
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::ScreenToClient(Hwnd(), &cursor);
  return ::PtInRect(&client, cursor) != 0;
}

void TickerWnd::SetHovered(bool inside) {
  if (inside == hovered_) return;
  SetWindowAlpha(Hwnd(), inside ? 100 : setting::OpacityPercent(setting::Get(setting::kTickerAlpha)));
  hovered_ = inside;
  UpdateTimer();
}

SIZE TickerWnd::Measure(Entry& entry) {
  if (entry.extent.cx < 0) {
    const std::wstring_view title = entry.Title();
    SIZE size{0, 0};
    if (!::GetTextExtentPoint32W(backDc_.Get(), title.data(), static_cast<int>(title.size()), &size))
      return SIZE{0, 0};  // not cached: the next paint measures again
    entry.extent = size;
  }
  return entry.extent;
}

void TickerWnd::Advance() {
  offset_ = -Px(kGap);
  if (++current_ != entries_.end()) return;
  // The scroll passed the end of the list: drop the oldest beyond the capacity.
  while (entries_.size() > capacity_) {
    entries_.pop_front();
    ListChanged();
  }
  current_ = entries_.begin();
}

bool TickerWnd::EnsureBackBuffer(HDC windowDc, int cx, int cy) {
  if (cx <= 0 || cy <= 0) return false;
  if (!backDc_) {
    backDc_.Reset(::CreateCompatibleDC(windowDc));
    if (!backDc_) return false;
    fontSelection_.emplace(backDc_.Get(), font_.Get());
    ::SetBkMode(backDc_.Get(), TRANSPARENT);
    ::SetTextColor(backDc_.Get(), RGB(0, 0, 0));
  }
  if (!backBitmap_ || backSize_.cx != cx || backSize_.cy != cy) {
    bitmapSelection_.reset();
    stripDrawn_ = false;
    backBitmap_.Reset(::CreateCompatibleBitmap(windowDc, cx, cy));
    backSize_ = SIZE{0, 0};
    if (!backBitmap_) return false;
    bitmapSelection_.emplace(backDc_.Get(), backBitmap_.Get());
    backSize_ = SIZE{cx, cy};
  }
  return true;
}

void TickerWnd::ReleaseBackBuffer() {
  bitmapSelection_.reset();
  fontSelection_.reset();
  backDc_.Reset();
  backBitmap_.Reset();
  backSize_ = SIZE{0, 0};
  stripDrawn_ = false;
  slots_.clear();
  drawnSlot_ = SIZE_MAX;
}

std::optional<ViewRequest> TickerWnd::PaintRow(HDC windowDc) {
  drawnSlot_ = SIZE_MAX;
  if (current_ == entries_.end()) {
    if (entries_.empty()) return std::nullopt;
    current_ = entries_.begin();
  }
  RECT client = win::ClientRect(Hwnd());
  const int cx = client.right, cy = client.bottom;
  if (!EnsureBackBuffer(windowDc, kStripWidths * cx, cy)) return std::nullopt;

  SIZE first = Measure(*current_);
  if (offset_ >= first.cx) Advance();
  if (-offset_ >= cx) {
    // The current title starts beyond the right edge (clicks while paused): an empty field.
    ::Rectangle(windowDc, 0, 0, cx, cy);
    return std::nullopt;
  }

  const Slot* slot = SlotOfCurrent(cx);
  const int source = slot->x + offset_;  // the strip's column shown at the window's left edge
  std::optional<ViewRequest> clicked;
  if (!dragging_ && clickPoint_.x > 0) {
    for (const Slot* s = slot; s != slots_.data() + slots_.size() && s->x - source < cx; ++s) {
      const int x = s->x - source;
      if (x < clickPoint_.x && clickPoint_.x < x + s->cx) {
        clickPoint_ = POINT{-1, -1};
        clicked.emplace(s->entry->Request());
        break;
      }
    }
  }
  CopyRow(windowDc, source, cx, cy);
  drawnSlot_ = static_cast<size_t>(slot - slots_.data());
  return clicked;
}

void TickerWnd::CopyRow(HDC windowDc, int source, int cx, int cy) const {
  // The inside from the strip; the frame's left and right edges, which titles scroll
  // under (black text on a black edge stays black), drawn here.
  if (cx > 2) ::BitBlt(windowDc, 1, 0, cx - 2, cy, backDc_.Get(), source + 1, 0, SRCCOPY);
  ::PatBlt(windowDc, 0, 0, 1, cy, BLACKNESS);
  if (cx > 1) ::PatBlt(windowDc, cx - 1, 0, 1, cy, BLACKNESS);
}

const TickerWnd::Slot* TickerWnd::SlotOfCurrent(int clientWidth) {
  if (stripDrawn_ && stripVersion_ == listVersion_) {
    // A slot of the current title serves when the window, placed at the offset, lies in
    // the strip and sees nothing of the title before (a blank gap, as on a fresh row).
    int previousEnd = 0;
    for (const Slot& slot : slots_) {
      const int source = slot.x + offset_;
      if (slot.entry == current_ && source >= previousEnd && source + clientWidth <= backSize_.cx) return &slot;
      previousEnd = slot.x + slot.cx;
    }
  }
  RenderStrip();
  return &slots_.front();
}

void TickerWnd::RenderStrip() {
  HDC dc = backDc_.Get();
  const int width = backSize_.cx, height = backSize_.cy;
  // The DC's own pen and brush: a white field in a one-pixel black frame.
  ::Rectangle(dc, 0, 0, width, height);
  slots_.clear();
  const int y = (height - Measure(*current_).cy) / 2;
  // Blank room on the left for a current title that has not reached the left edge yet
  // (PaintRow sees to it that this is less than a window).
  int x = std::max(-offset_, Px(kGap));
  for (auto it = current_; x < width;) {
    const std::wstring_view title = it->Title();
    ::TextOutW(dc, x, y, title.data(), static_cast<int>(title.size()));
    const int cx = Measure(*it).cx;
    slots_.push_back(Slot{it, x, cx});
    x += cx + Px(kGap);
    if (++it == entries_.end()) it = entries_.begin();
  }
  stripVersion_ = listVersion_;
  stripDrawn_ = true;
}

void TickerWnd::OnPaint(HDC dc, const RECT&) { clickedInPaint_ = PaintRow(dc); }

void TickerWnd::OnPaintEnded() { SendView(std::exchange(clickedInPaint_, std::nullopt)); }

void TickerWnd::SendView(std::optional<ViewRequest> clicked) {
  // Sent once painting is over, with a copy: whatever the frame does meanwhile (even
  // pumping messages that repaint and trim the list) cannot pull the entry from under it.
  if (clicked) SendFrameCode(::GetParent(Hwnd()), frame_code::kView, &*clicked);
}

LRESULT TickerWnd::OnFrameMessage(uint32_t code, LPARAM arg) {
  switch (code) {
    case frame_code::kAdd:
      if (arg) {
        const std::unique_ptr<ViewRequest> request(reinterpret_cast<ViewRequest*>(arg));
        entries_.emplace_back(*request);
        ListChanged();
        TrimToCeiling();
      } else {
        TakeQueued();
      }
      break;
    case frame_code::kMain:
      owner_ = reinterpret_cast<HWND>(arg);
      break;
  }
  return 0;
}

void TickerWnd::Enqueue(std::vector<std::unique_ptr<ViewRequest>> entries) {
  if (entries.empty()) return;
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    if (queued_.empty()) {
      queued_ = std::move(entries);
    } else {
      queued_.insert(queued_.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    }
    post = !wakePosted_;
    wakePosted_ = true;
  }
  if (post && (!Hwnd() || !PostFrameCode(Hwnd(), frame_code::kAdd))) {
    std::lock_guard<std::mutex> guard(queueLock_);
    wakePosted_ = false;  // the next Enqueue tries again; the timer takes them meanwhile
  }
}

void TickerWnd::TakeQueued() {
  std::vector<std::unique_ptr<ViewRequest>> taken;
  {
    std::lock_guard<std::mutex> guard(queueLock_);
    taken.swap(queued_);
    wakePosted_ = false;
  }
  for (auto& request : taken) {
    if (!request) continue;
    entries_.emplace_back(*request);
    request.reset();
    ListChanged();
    TrimToCeiling();
  }
}

void TickerWnd::TrimToCeiling() {
  // The list is trimmed to its capacity when the scroll passes its end. A hidden strip
  // (switched off, or behind a pinned popup nobody clicks) never gets there, and a visible
  // one may fall far behind a busy feed: beyond ten times the capacity the oldest entries
  // go at once — on a visible strip only those the scroll has already passed.
  const size_t ceiling = capacity_ * kCeilingFactor;
  const bool visible = ::IsWindowVisible(Hwnd()) != FALSE;
  while (entries_.size() > ceiling) {
    if (current_ == entries_.begin()) {
      if (visible) break;  // on screen: it stays
      // Hidden: start again from the first entry kept, from its beginning.
      current_ = entries_.end();
      offset_ = -Px(kGap);
    }
    entries_.pop_front();
    ListChanged();
  }
}

void TickerWnd::RestartCurrent() {
  offset_ = Px(kWheelStart);
  ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool TickerWnd::OnRButtonDown(POINT, UINT) {
  if (HasEntries()) RestartCurrent();
  return true;
}

bool TickerWnd::OnMouseWheel(POINT, UINT, int delta) {
  if (entries_.empty()) return true;
  if (delta <= 0) {  // towards the user: the next title
    if (current_ == entries_.end() || ++current_ == entries_.end()) current_ = entries_.begin();
  } else {
    if (current_ == entries_.begin() || current_ == entries_.end()) current_ = entries_.end();
    --current_;
  }
  RestartCurrent();
  return true;
}

bool TickerWnd::OnLButtonDown(POINT at, UINT keys) {
  clickPoint_ = at;
  if (keys & MK_CONTROL) dragging_ = true;
  ::SetCapture(Hwnd());
  return true;
}

bool TickerWnd::OnMouseMove(POINT at, UINT) {
  const RECT client = win::ClientRect(Hwnd());
  SetHovered(::PtInRect(&client, at) != 0);  // also outside, while the mouse is captured
  if (!dragging_) return true;
  RECT r = win::WindowRect(Hwnd());
  ::SetWindowPos(Hwnd(), nullptr, r.left + (at.x - clickPoint_.x), r.top + (at.y - clickPoint_.y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool TickerWnd::OnLButtonUp(POINT, UINT) {
  if (dragging_)
    clickPoint_ = POINT{-1, -1};
  else
    --offset_;  // the first scroll step after the pause gives it back: the row stays put
  dragging_ = false;
  ::ReleaseCapture();
  return true;
}

bool TickerWnd::OnCaptureChanged(HWND gainer) {
  // Capture taken away mid-drag (another window grabbed the mouse): the button-up will
  // not come here, so the drag ends now instead of following the cursor.
  if (dragging_ && gainer != Hwnd()) {
    dragging_ = false;
    clickPoint_ = POINT{-1, -1};
  }
  return true;
}

void TickerWnd::OnMove() {
  Box window = ToBox(win::WindowRect(Hwnd()));
  Box snapped = SnapTicker(window, ToBox(win::NearestWorkArea(Hwnd())));
  if (snapped != window)
    ::SetWindowPos(Hwnd(), nullptr, snapped.left, snapped.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (::IsIconic(Hwnd()) || ::IsZoomed(Hwnd())) return;
  setting::Set(setting::kTickerX, snapped.left);
  setting::Set(setting::kTickerY, snapped.top);
}

LRESULT TickerWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (messageDepth_++ == 0) TakeBackScroll();
  const LRESULT result = HandleMessage(msg, wParam, lParam);
  if (--messageDepth_ == 0) HandScrollOver();
  return result;
}

LRESULT TickerWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kStepMessage) {
    {
      std::lock_guard<std::mutex> guard(scrollLock_);
      scroll_.stepAsked = false;
    }
    Step();
    return 0;
  }
  if (msg == WM_POWERBROADCAST) return OnPowerBroadcast(wParam, lParam);
  if (msg == WM_WTSSESSION_CHANGE) {
    OnSessionChange(wParam);
    return 0;
  }
  if (msg == WM_WINDOWPOSCHANGED) {
    // Shown or hidden by ShowWindow or SetWindowPos alike; the default handling sends
    // WM_MOVE and WM_SIZE.
    const LRESULT result = Window::OnMessage(msg, wParam, lParam);
    UpdateTimer();
    // Shown or moved under a cursor that stays still: no mouse message says so.
    if (::IsWindowVisible(Hwnd())) SetHovered(CursorInside());
    return result;
  }
  return Window::OnMessage(msg, wParam, lParam);
}

int TickerWnd::Px(int pixels) const { return ScaleForDpi(pixels, dpi_); }

bool TickerWnd::OnDpiChanged(int dpi, const RECT& suggested) {
  const int oldDpi = dpi_;
  dpi_ = dpi;
  // The width is the user's, in physical pixels; the height follows the DPI. Everything
  // measured or drawn with the old font goes.
  const RECT now = win::WindowRect(Hwnd());
  win::ApplySuggestedRect(
      Hwnd(), RECT{suggested.left, suggested.top, suggested.left + (now.right - now.left), suggested.top + Px(kHeight)});
  ReleaseBackBuffer();  // it holds the old font selected
  font_ = display::CreatePointFont(90, setting::Get(setting::kTickerFont), dpi_);
  for (Entry& entry : entries_) entry.extent = SIZE{-1, -1};
  ListChanged();
  offset_ = ::MulDiv(offset_, dpi_, oldDpi > 0 ? oldDpi : 96);
  ::InvalidateRect(Hwnd(), nullptr, FALSE);
  return true;
}
