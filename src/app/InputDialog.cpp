#include "app/InputDialog.h"

#include "res/resource.h"

const wchar_t* const InputDialog::kAddCaption = L"RSS \xC8FC\xC18C \xB4F1\xB85D";
const wchar_t* const InputDialog::kModifyCaption = L"RSS \xC8FC\xC18C \xC218\xC815";
const wchar_t* const InputDialog::kKeywordCaption = L"\xC54C\xB9BC\xCC3D \xACE0\xC815 \xD0A4\xC6CC\xB4DC \xC785\xB825";

InputDialog::InputDialog(const wchar_t* caption, std::wstring text)
    : win::Dialog(IDD_INPUT), editText(std::move(text)), caption_(caption) {}

bool InputDialog::OnInitDialog() {
  SetItemText(IDC_INPUT_EDIT, editText);
  ::SetWindowTextW(Hwnd(), caption_);
  return true;
}

void InputDialog::OnOK() {
  editText = ItemText(IDC_INPUT_EDIT);
  EndDialog(IDOK);
}
