// DecodeEntities against the naive decoder, and StringTokenizer against a plain split.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "doc/LiteralDecode.h"
#include "doc/TextDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::wstring text = FuzzText(data, size);
  const std::wstring fast = DecodeEntities(text);
  if (text.size() <= 2048 && fast != LiteralDecodeEntities(text)) std::abort();

  // The first character, when it is one of these, joins the space as a delimiter.
  std::wstring delimiters = L" ";
  if (!text.empty() && (text[0] == L',' || text[0] == L';' || text[0] == L'\n')) delimiters += text[0];
  StringTokenizer tokens(text.c_str());
  size_t at = 0;
  for (;;) {
    const size_t begin = text.find_first_not_of(delimiters, at);
    const std::wstring token = tokens.NextToken(delimiters.c_str());
    if (begin == std::wstring::npos) {
      if (!token.empty() || !tokens.Remaining().empty()) std::abort();
      break;
    }
    const size_t end = text.find_first_of(delimiters, begin);
    if (token != text.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin)) std::abort();
    if (end == std::wstring::npos) break;
    at = end;
    const size_t next = text.find_first_not_of(delimiters, at);
    if (tokens.Remaining() != (next == std::wstring::npos ? std::wstring() : text.substr(next))) std::abort();
  }
  return 0;
}
