#pragma once
#include <string>

#include "win/Dialog.h"

// The one-line input dialog (template 132) for a channel address or a keyword list; the
// three uses differ only in their caption.
class InputDialog : public win::Dialog {
 public:
  static const wchar_t* const kAddCaption;      // "RSS 주소 등록"
  static const wchar_t* const kModifyCaption;   // "RSS 주소 수정"
  static const wchar_t* const kKeywordCaption;  // "알림창 고정 키워드 입력"

  InputDialog(const wchar_t* caption, std::wstring text);
  std::wstring editText;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  const wchar_t* caption_;
};
