#pragma once
// The window base of the thin framework: an object owns one HWND, finds itself from the
// HWND, and gets its messages unpacked once into typed handlers (OnCreate, OnSize,
// OnTimer, OnFrameMessage, ...); a class overrides the handlers it needs, and its list of
// handlers is its behaviour. Commands arrive at OnCommand; menus ask OnUpdateCommand for
// their check and enable state when they open; WM_NOTIFY is reflected to the control's
// object. Messages without a typed handler reach OnMessage, which falls back to
// DefaultMessage.
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

  // A command from a menu, accelerator or control; true when handled.
  virtual bool OnCommand(UINT id, UINT code, HWND control) { return false; }
  // State of a menu command about to be shown; true when this window decided it.
  virtual bool OnUpdateCommand(UINT id, CommandState& state) { return false; }
  // A WM_NOTIFY that this control sent to its parent; true when handled.
  virtual bool OnReflectedNotify(NMHDR& header, LRESULT& result) { return false; }
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
