#include "app/AboutDialog.h"

#include "config/ConfigStore.h"
#include "res/resource.h"

AboutDialog::AboutDialog() : win::Dialog(IDD_ABOUTBOX) {}

bool AboutDialog::OnInitDialog() {
  SetItemText(IDC_VERSION, version);
  return true;
}
