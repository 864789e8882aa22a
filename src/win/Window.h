#pragma once
// The window base of the thin framework: an object owns one HWND, finds itself from the
// HWND, and gets its messages unpacked once into typed handlers (OnCreate, OnSize,
// OnTimer, OnPaint, OnLButtonDown, OnFrameMessage, ...); a class overrides the handlers it
// needs, and its list of handlers is its behaviour. Commands arrive at OnCommand; menus ask
// OnUpdateCommand for their check and enable state when they open; WM_NOTIFY is reflected
// to the control's object, then offered to OnNotify. Messages without a typed handler
// reach OnMessage, which falls back to DefaultMessage.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

namespace win {

// Check and enable state of one menu command, filled in by OnUpdateCommand.
struct CommandState {
  bool enabled = true;
  bool checked = false;
  void Enable(bool on) { enabled = on; }
  void SetCheck(bool on) { checked = on; }
};

class Window {
 public:
  Window() = default;
  // Destroys a window that is still alive. Classes whose WM_DESTROY handling matters
  // call Destroy() in their own destructor, while their overrides are still in place.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Hwnd() const { return hwnd_; }
  bool IsAlive() const { return hwnd_ != nullptr; }

  // The object behind a window of ours or of a control we subclassed; null otherwise.
  static Window* FromHandle(HWND hwnd);

  // Registers a window class whose procedure dispatches to Window objects. Registering
  // an existing name again is harmless.
  static bool RegisterWindowClass(const wchar_t* className, UINT style, HCURSOR cursor,
                                  HBRUSH background = nullptr, HICON icon = nullptr);

  // Creates a window of a class registered with RegisterWindowClass.
  bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                int x, int y, int cx, int cy, HWND parent, HMENU menuOrId);

  // Creates a window of a system class (tree view, ...) and subclasses it.
  bool CreateControl(DWORD exStyle, const wchar_t* className, DWORD style, const RECT& rect,
                     HWND parent, UINT_PTR id);

  void Destroy();

  // Walks from the message's window up through parents and owners, giving each object
  // of ours a chance to handle the message before it is dispatched.
  static bool PreTranslateChain(MSG& msg);
  // PreTranslateChain, then TranslateMessage and DispatchMessage.
  static void ProcessMessage(MSG& msg);

  virtual bool PreTranslateMessage(MSG& msg) { return false; }


 protected:
  // The message switch: the base unpacks the messages of the handlers below and passes
  // everything else to DefaultMessage. A class overrides it only for messages that have
  // no typed handler, and passes the rest on to its base class's OnMessage.
  virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // The default processing of the message being handled now, run once; its answer. For a
  // typed handler whose order matters (the default first, or between two of its steps);
  // the base then does not run it again. Static: it never touches the object, so a
  // handler may go on after it with the object deleted.
  static LRESULT Default();

  // Typed handlers. Where a message's default processing runs is the same for every class:
  // WM_CREATE: after the default processing; -1 fails the creation.
  virtual int OnCreate() { return 0; }
  // WM_DESTROY: before the default processing.
  virtual void OnDestroy() {}
  // WM_SIZE (SIZE_RESTORED, ...; the client size), WM_MOVE, WM_SETFOCUS: after the
  // default processing.
  virtual void OnSize(UINT type, int cx, int cy) {}
  virtual void OnMove() {}
  virtual void OnSetFocus() {}
  // WM_TIMER: after the default processing, which runs a timer's callback. Last of all,
  // so a handler may end with the object deleted.
  virtual void OnTimer(UINT_PTR id) {}
  // WM_CLOSE: true when handled; false lets the default processing destroy the window.
  virtual bool OnClose() { return false; }
  // WM_DPICHANGED with the new DPI and the rectangle the system suggests; true when handled.
  virtual bool OnDpiChanged(int dpi, const RECT& suggested) { return false; }
  // WM_USER, the program's private message: a four-character code in the word parameter
  // and an argument in the long parameter. The answer goes back to a sender.
  virtual LRESULT OnFrameMessage(uint32_t code, LPARAM arg) { return DefaultMessage(WM_USER, code, arg); }

  // WM_PAINT of a window of our own class: the base begins painting, calls OnPaint with
  // the DC and the rectangle to paint, and ends painting; then OnPaintEnded runs, for what
  // must not happen inside painting (sending to other windows). A subclassed control
  // paints itself.
  virtual void OnPaint(HDC dc, const RECT& dirty) {}
  virtual void OnPaintEnded() {}
  // WM_ERASEBKGND: whether the background counts as erased. By default the system erases it.
  virtual bool OnEraseBackground(HDC dc) { return Default() != 0; }

  // Mouse messages: `at` in client coordinates (in screen coordinates for the wheel and the
  // context menu, {-1, -1} for a menu asked for from the keyboard), `keys` the MK_ flags.
  // True when handled; false lets the default processing run after the handler (unless it
  // called Default() itself). A handled message answers 0, or what Default() answered.
  virtual bool OnMouseMove(POINT at, UINT keys) { return false; }
  virtual bool OnLButtonDown(POINT at, UINT keys) { return false; }
  virtual bool OnLButtonUp(POINT at, UINT keys) { return false; }
  virtual bool OnLButtonDblClk(POINT at, UINT keys) { return false; }
  virtual bool OnRButtonDown(POINT at, UINT keys) { return false; }
  virtual bool OnRButtonUp(POINT at, UINT keys) { return false; }
  virtual bool OnMouseWheel(POINT at, UINT keys, int delta) { return false; }
  virtual bool OnMouseHover(POINT at, UINT keys) { return false; }
  virtual bool OnMouseLeave() { return false; }
  // The mouse capture went to `gainer` (null or another window: a drag in progress ends).
  virtual bool OnCaptureChanged(HWND gainer) { return false; }
  virtual bool OnContextMenu(HWND window, POINT at) { return false; }

  // A command from a menu, accelerator or control; true when handled.
  virtual bool OnCommand(UINT id, UINT code, HWND control) { return false; }
  // State of a menu command about to be shown; true when this window decided it.
  virtual bool OnUpdateCommand(UINT id, CommandState& state) { return false; }
  // A WM_NOTIFY that this control sent to its parent; true when handled.
  virtual bool OnReflectedNotify(NMHDR& header, LRESULT& result) { return false; }
  // A WM_NOTIFY sent to this window that its source's object did not take (a child or a
  // tooltip that is no object of ours); true when handled.
  virtual bool OnNotify(NMHDR& header, LRESULT& result) { return false; }
  // Called by CreateControl once the system control exists and is subclassed; false
  // destroys it again and fails the creation.
  virtual bool OnAttached() { return true; }
  // Called after the last message (WM_NCDESTROY) of a window that was fully created.
  // The window handle is already gone; a self-owning window may delete itself here.
  virtual void OnFinalMessage() {}

  // Asks OnUpdateCommand for every command item of `menu` and applies the answers.
  void UpdateMenuCommands(HMENU menu);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR refData);
  LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnPaintMessage();
  // The answer to a mouse message whose handler returned `handled`.
  static LRESULT AfterMouseHandler(bool handled);

  HWND hwnd_ = nullptr;
  bool subclassed_ = false;
  bool created_ = false;
};

// Rectangle helpers used by many windows.
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }
RECT WindowRect(HWND hwnd);
RECT ClientRect(HWND hwnd);
// Work area of the monitor nearest to the window, and of the primary monitor.
RECT NearestWorkArea(HWND hwnd);
RECT PrimaryWorkArea();

}  // namespace win
