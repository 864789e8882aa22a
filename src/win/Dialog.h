#pragma once
// A modal dialog on a resource template.
#include <windows.h>

#include <functional>
#include <string>

namespace win {

class Dialog {
 public:
  explicit Dialog(UINT templateId) : templateId_(templateId) {}
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; IDOK, IDCANCEL, or -1 when it could not be created.
  INT_PTR DoModal(HWND parent);
  HWND Hwnd() const { return hwnd_; }

  // Drives modal dialogs without a person: once a dialog is initialised, its modal loop
  // calls the automation with the dialog's window (tests answer dialogs this way).
  using Automation = std::function<void(HWND dialog)>;
  static void SetAutomation(Automation automation);

 protected:
  // After the template's controls exist; true lets the system set the focus.
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Any other message; return TRUE when handled.
  virtual INT_PTR OnDialogMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return FALSE; }

  void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }
  std::wstring ItemText(int id) const;
  void SetItemText(int id, const std::wstring& text) const;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  UINT templateId_;
  HWND hwnd_ = nullptr;
};

// Every message box of the program goes through here, so tests can answer them.
using MessageBoxHook = std::function<int(HWND owner, const std::wstring& text,
                                         const std::wstring& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

}  // namespace win
