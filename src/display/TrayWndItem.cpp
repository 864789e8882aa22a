#include "display/TrayWndItem.h"


#include <algorithm>

#include "common/Dpi.h"
#include "common/TextUtil.h"
#include "common/WindowAlpha.h"
#include "display/PointFont.h"
#include "win/Dpi.h"
#include "win/Module.h"

namespace {
constexpr UINT_PTR kTimer = 0;
constexpr wchar_t kClassName[] = L"pellora.Popup";
constexpr COLORREF kTransparent = RGB(255, 0, 255);
// While a popup is fully shown nothing moves: its timer only watches the display time,
// which needs no 7 ms resolution. A pinned popup may sit on screen all day.
constexpr UINT kRestingPeriodMs = 100;

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

// Moves one coordinate towards its goal by at most `step`, never past it.
LONG Towards(LONG value, LONG goal, int step) {
  if (value < goal) return std::min<LONG>(goal, value + step);
  if (value > goal) return std::max<LONG>(goal, value - step);
  return value;
}
}  // namespace

CTrayWndItem::CTrayWndItem() = default;

CTrayWndItem::~CTrayWndItem() {
  deleting_ = true;  // the window's last message must not delete this object again
  Destroy();
  if (stack_) {
    stack_->Remove(this);
    stack_->Detach(this);
  }
}

void CTrayWndItem::OnFinalMessage() {
  if (!deleting_) delete this;
}

win::Font CTrayWndItem::CreateTextFont(int dpi) { return display::CreatePointFont(90, L"Tahoma", dpi); }

UINT CTrayWndItem::StackCloseBitmap() const { return stack_ ? stack_->CloseBitmap() : 0; }

int CTrayWndItem::Px(int pixels) const { return ScaleForDpi(pixels, dpi_); }

bool CTrayWndItem::CreatePopup(PopupPlacement* stack, int slot, const RECT& rect, int dpi, HWND owner) {
  stack_ = stack;
  slot_ = slot;
  dpi_ = dpi;
  targetRect_ = rect;
  startRect_ = rect;  // no movement: appearing and disappearing only fade
  if (!RegisterWindowClass(kClassName, 0, ::LoadCursorW(nullptr, IDC_HAND))) return false;
  return CreateEx(WS_EX_TOPMOST | WS_EX_LAYERED, kClassName, nullptr, WS_POPUP, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, owner, nullptr);
}

int CTrayWndItem::OnCreate() {
  phase_ = kAppearing;
  currentRect_ = startRect_;
  lastTick_ = ::GetTickCount();
  LoadBitmaps();
  ::SetTimer(Hwnd(), kTimer, static_cast<UINT>(std::max(1, TimerPeriod())), nullptr);
  ApplyAlpha();  // a layered window without its alpha would not show at all
  ::ShowWindow(Hwnd(), SW_SHOWNOACTIVATE);
  return 0;
}

void CTrayWndItem::LoadBitmaps() {
  auto load = [this](UINT id) {
    HBITMAP bitmap = ::LoadBitmapW(win::Instance(), MAKEINTRESOURCEW(PictureIdForDpi(id, dpi_)));
    return bitmap ? bitmap : ::LoadBitmapW(win::Instance(), MAKEINTRESOURCEW(id));
  };
  closeBitmap_.Reset(CloseBitmap() ? load(CloseBitmap()) : nullptr);
  closeSize_ = BitmapSize(closeBitmap_.Get());
  backBitmap_.Reset(BackBitmap() ? load(BackBitmap()) : nullptr);
}

bool CTrayWndItem::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  font_.Reset();  // made again for the new DPI at the next paint
  LoadBitmaps();
  // Popups only fade: where the window is, is where it stays and goes.
  startRect_ = targetRect_ = currentRect_ = suggested;
  win::ApplySuggestedRect(Hwnd(), suggested);
  Redraw();
  return true;
}

void CTrayWndItem::OnDestroy() { ::KillTimer(Hwnd(), kTimer); }

int CTrayWndItem::Step() {
  const DWORD now = ::GetTickCount();
  // By elapsed time, so the fade takes as long whatever the timer's real resolution.
  const int step = std::max(1, static_cast<int>((now - lastTick_) / static_cast<DWORD>(std::max(1, TimerPeriod()))));
  lastTick_ = now;
  return step;
}

bool CTrayWndItem::MoveTowards(const RECT& goal, int step) {
  RECT next{Towards(currentRect_.left, goal.left, step), Towards(currentRect_.top, goal.top, step),
            Towards(currentRect_.right, goal.right, step), Towards(currentRect_.bottom, goal.bottom, step)};
  if (::EqualRect(&next, &currentRect_)) return false;
  currentRect_ = next;
  ::MoveWindow(Hwnd(), next.left, next.top, next.right - next.left, next.bottom - next.top, TRUE);
  return true;
}

void CTrayWndItem::ApplyAlpha() {
  if (alpha_ < 0 || alpha_ > 100) return;
  // The popup is created layered, so only its alpha changes at every animation step.
  SetLayeredAlpha(Hwnd(), AlphaFromPercent(alpha_));
}

void CTrayWndItem::SetPhase(int phase) {
  if (phase == phase_) return;
  const UINT period = static_cast<UINT>(std::max(1, TimerPeriod()));
  phase_ = phase;
  ::SetTimer(Hwnd(), kTimer, phase == kShown ? std::max(period, kRestingPeriodMs) : period, nullptr);
}

void CTrayWndItem::Redraw() { ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void CTrayWndItem::OnTimer(UINT_PTR id) {
  if (id != kTimer) return;
  switch (phase_) {
    case kAppearing: {
      const int step = Step();
      if (alpha_ != 0) {
        alpha_ = std::min(100, alpha_ + step);
        ApplyAlpha();
      }
      MoveTowards(targetRect_, step);
      if (::EqualRect(&currentRect_, &targetRect_) && (alpha_ == 0 || alpha_ == 100)) {
        SetPhase(kShown);
        Redraw();
        if (stack_) stack_->PopupShown(this);
      } else if (alpha_ == 0) {
        Redraw();
      }
      break;
    }
    case kShown: {
      // lastTick_ is the end of appearing: a popup hovered for longer than its display
      // time starts to go as soon as the cursor leaves.
      const int display = DisplayTime();
      if (display > 0 && !hovered_ && ::GetTickCount() - lastTick_ > static_cast<DWORD>(display)) {
        SetPhase(kDisappearing);
        lastTick_ = ::GetTickCount();
      }
      break;
    }
    case kDisappearing: {
      if (hovered_ && !closed_) {
        SetPhase(kAppearing);  // the cursor brings it back
        break;
      }
      const int step = Step();
      if (alpha_ != 0) {
        alpha_ = std::max(0, alpha_ - step);
        ApplyAlpha();
      }
      MoveTowards(startRect_, step);
      if (::EqualRect(&currentRect_, &startRect_) && alpha_ == 0) Destroy();  // deletes this object
      break;
    }
  }
}

void CTrayWndItem::SetHovered(bool hovered) {
  if (hovered_ == hovered) return;
  hovered_ = hovered;
  Redraw();  // the text colour follows the cursor
}

void CTrayWndItem::OnClick(int button, POINT at) {
  if (closed_) return;
  closed_ = true;
  if (stack_) stack_->Remove(this);  // frees the slot: the next popup may come now
  ::ShowWindow(Hwnd(), SW_HIDE);
  // From now on the timer runs the hidden popup out, whatever its display time or hover.
  SetPhase(kDisappearing);
  lastTick_ = ::GetTickCount();
  const LONG width = win::ClientRect(Hwnd()).right;
  const bool onCloseButton = at.x >= width - closeSize_.cx && at.y <= closeSize_.cy;
  // fun is the last thing done here: the object may be gone when it returns.
  if (button == 1 && !onCloseButton)
    fun(1);
  else if (button == 2 && at.x < width - closeSize_.cx && at.y > closeSize_.cy)
    fun(2);
}

void CTrayWndItem::DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  SIZE size = BitmapSize(bitmap);
  win::MemoryDC source(::CreateCompatibleDC(dc));
  if (!source || size.cx == 0) return;
  win::SelectScope select(source.Get(), bitmap);
  ::TransparentBlt(dc, x, y, size.cx, size.cy, source.Get(), 0, 0, size.cx, size.cy, kTransparent);
}

void CTrayWndItem::Draw(HDC dc) {
  RECT r = win::ClientRect(Hwnd());
  {
    win::SelectScope pen(dc, ::GetStockObject(BLACK_PEN));
    win::SelectScope brush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
  }
  RECT inner = r;
  ::InflateRect(&inner, -1, -1);
  win::Brush back(::CreateSolidBrush(BackColor()));
  ::FillRect(dc, &inner, back.Get());
  if (closeBitmap_) DrawBitmap(dc, closeBitmap_.Get(), r.right - closeSize_.cx - Px(1), Px(2));
  if (backBitmap_) DrawBitmap(dc, backBitmap_.Get(), 0, 0);
  if (!font_) font_ = CreateTextFont(dpi_);
  win::SelectScope font(dc, font_.Get());
  ::SetTextColor(dc, TextColor(hovered_));
  ::SetBkMode(dc, TRANSPARENT);
  DrawContent(dc);
}

void CTrayWndItem::DrawBody(HDC dc, const std::wstring& text, RECT box) {
  if (text.empty()) return;
  // Feed texts are not menu labels: '&' is shown, never taken as a mnemonic prefix.
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), L'\n')) + 1;
  if (lines == 1) {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    return;
  }
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  // The block is centred by its whole height (half of it would push the last line below the
  // box), and only whole lines are shown: a block taller than the box keeps the lines that
  // fit instead of ending in half a line.
  const LONG lineHeight = std::max(1L, tm.tmHeight + tm.tmExternalLeading);
  const LONG room = box.bottom - box.top;
  LONG height = lineHeight * lines;
  if (height > room) height = std::max(1L, room / lineHeight) * lineHeight;
  box.top += std::max(0L, (room - height) / 2);
  box.bottom = box.top + height;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
}

void CTrayWndItem::DrawContent(HDC dc) {
  RECT box = win::ClientRect(Hwnd());
  ::InflateRect(&box, -Px(5), -Px(5));
  DrawBody(dc, TrimSet(BodyText(), L"\r\n "), box);
}

bool CTrayWndItem::OnEraseBackground(HDC dc) {
  Draw(dc);
  return true;
}

bool CTrayWndItem::OnMouseMove(POINT, UINT) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = Hwnd();
  track.dwHoverTime = 1;
  ::TrackMouseEvent(&track);
  return false;
}

bool CTrayWndItem::OnMouseHover(POINT, UINT) {
  SetHovered(true);
  return true;
}

bool CTrayWndItem::OnMouseLeave() {
  SetHovered(false);
  return true;
}

// The click's action may pump messages (a shell launch, the frame's 'VIEW'), during which
// this popup can run out and be deleted: the default handling comes first, and nothing
// touches the object once the action has started.
bool CTrayWndItem::OnLButtonUp(POINT at, UINT) {
  Default();
  OnClick(1, at);
  return true;
}

bool CTrayWndItem::OnRButtonUp(POINT at, UINT) {
  Default();
  OnClick(2, at);
  return true;
}

LRESULT CTrayWndItem::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Popups stay on screen when the owner is minimised.
  if (msg == WM_SHOWWINDOW && lParam == SW_PARENTCLOSING) return 0;
  return Window::OnMessage(msg, wParam, lParam);
}
