#pragma once
#include <string>

#include "win/Dialog.h"

// The About box: the program version in static 1001.
class AboutDialog : public win::Dialog {
 public:
  AboutDialog();
  std::wstring version;

 protected:
  bool OnInitDialog() override;
};
