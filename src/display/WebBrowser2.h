#pragma once
// Hosts the system's web-browser ActiveX control in a child window of ours, through a
// minimal OLE container (client site, in-place site and frame), and calls its methods
// through IDispatch by dispatch id. The thread must be OleInitialize'd.
//
// Where the control cannot be created or cannot show pages, the window stays an empty
// white area and the calls do nothing.
#include <windows.h>
#include <ole2.h>

#include <string>

#include "win/Handles.h"
#include "win/Window.h"

class CWebBrowser2 : public win::Window {
 public:
  // Dispatch ids of the control's methods and properties used here.
  static constexpr DISPID kNavigate = 0x68;
  static constexpr DISPID kStop = 0x6A;
  static constexpr DISPID kLocationUrl = 0xD3;

  CWebBrowser2();
  ~CWebBrowser2() override;

  // Creates the host window (a child of `parent` with `style`) and the control in it.
  // False only when the window could not be created; see HasControl for the control.
  bool Create(HWND parent, const RECT& rect, DWORD style, UINT id);

  // Navigate(url, flags, targetFrame, postData, headers) with the four optional
  // arguments left empty.
  void Navigate(const std::wstring& url);
  void Stop();
  // Gives the keyboard focus to the control (or to the host when there is none).
  void Focus();
  // Lets the control handle its own keys (Tab between links, editing keys in forms);
  // true when it used the message.
  bool TranslateAccelerator(MSG& msg);

  bool HasControl() const { return static_cast<bool>(dispatch_); }
  // The control's own in-place window, null without one.
  HWND ControlWindow() const;
  // The address last asked for, and the control's answer to that call.
  const std::wstring& LastUrl() const { return lastUrl_; }
  HRESULT LastResult() const { return lastResult_; }
  int StopCount() const { return stopCount_; }
  // The control's LocationURL property; empty when it has none.
  std::wstring LocationUrl() const;

 protected:
  void OnSize(UINT type, int cx, int cy) override;
  void OnSetFocus() override;
  void OnDestroy() override;

 private:
  class Site;

  void AttachControl();
  void DetachControl();
  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) const;

  Site* site_ = nullptr;  // one reference held while the control is attached
  win::ComPtr<IOleObject> object_;
  win::ComPtr<IOleInPlaceObject> inPlace_;
  win::ComPtr<IDispatch> dispatch_;
  std::wstring lastUrl_;
  HRESULT lastResult_ = S_OK;
  int stopCount_ = 0;
};
