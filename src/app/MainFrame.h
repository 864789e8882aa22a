#pragma once
// The main frame: creates and owns every other window, asks the first-start question,
// keeps its placement in the settings, hides instead of closing, and ends the program on
// the exit command. The hub of the private message (OnFrameMessage).
#include <memory>
#include <string>

#include "app/MainTrayIcon.h"
#include "common/FrameCode.h"
#include "win/FrameWindow.h"

class CMainFrame : public win::FrameWindow {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // Creates the window from frame resource 128 (hidden until the tray icon shows it).
  bool Create();

  bool PreTranslateMessage(MSG& msg) override;

  // State, for the windows and tests that need to look.
  MainTrayIcon* Tray() const { return trayIcon_.get(); }
  bool Fetching() const { return fetching_; }
  int Opacity() const { return opacity_; }
  unsigned LastFetchEnd() const { return lastFetchEnd_; }

  // The text of the first-start question.
  static const wchar_t* const kFirstStartQuestion;

 protected:
  bool PreCreateWindow(CREATESTRUCTW& cs) override;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnCommand(UINT id, UINT code, HWND control) override;

 private:
  int OnCreate();
  void OnSetFocus();
  void OnSize(UINT type);
  void OnMove();
  void OnClose();
  void OnExit();
  LRESULT OnFrameMessage(FrameCode code, LPARAM arg);
  void CreateTrayIcon();

  // Field order follows the frame's data model; the later members join as they land.
  bool fetching_ = false;
  unsigned char opacity_ = 100;
  std::wstring lastVersion_;
  std::unique_ptr<MainTrayIcon> trayIcon_;
  int popupsShown_ = 0;
  unsigned lastFetchEnd_ = 0;
  int arrivalCounter_ = 0;

  UINT taskbarCreated_ = 0;
};
