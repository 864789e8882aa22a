#include "win/Dialog.h"

#include "win/Module.h"

namespace win {

namespace {
constexpr UINT kAutomate = WM_APP + 0x3FF;
Dialog::Automation& CurrentAutomation() {
  static Dialog::Automation automation;
  return automation;
}
MessageBoxHook& CurrentMessageBoxHook() {
  static MessageBoxHook hook;
  return hook;
}
}  // namespace

void Dialog::SetAutomation(Automation automation) { CurrentAutomation() = std::move(automation); }

INT_PTR Dialog::DoModal(HWND parent) {
  return ::DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId_), parent, &Dialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

std::wstring Dialog::ItemText(int id) const {
  HWND item = ::GetDlgItem(hwnd_, id);
  int length = item ? ::GetWindowTextLengthW(item) : 0;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  if (item) text.resize(::GetWindowTextW(item, text.data(), length + 1));
  else text.clear();
  return text;
}

void Dialog::SetItemText(int id, const std::wstring& text) const { ::SetDlgItemTextW(hwnd_, id, text.c_str()); }

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Dialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    INT_PTR focus = self->OnInitDialog() ? TRUE : FALSE;
    if (CurrentAutomation()) ::PostMessageW(hwnd, kAutomate, 0, 0);
    return focus;
  }
  self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  switch (msg) {
    case kAutomate:
      if (auto automation = CurrentAutomation()) automation(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        self->OnOK();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        self->OnCancel();
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      self->hwnd_ = nullptr;
      break;
  }
  return self->OnDialogMessage(msg, wParam, lParam);
}

void SetMessageBoxHook(MessageBoxHook hook) { CurrentMessageBoxHook() = std::move(hook); }

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  if (auto hook = CurrentMessageBoxHook()) return hook(owner, text, caption, type);
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

}  // namespace win
