#pragma once
#include "app/TrayIcon.h"

// The main frame's tray icon: a left click shows the main window, the right-click menu
// offers About, Show Ticker and Exit.
class MainTrayIcon : public TrayIcon {
 protected:
  void OnTrayClick() override;
  void FillTrayMenu(HMENU menu) override;
};
