#pragma once
// The naive decoder, step by step: each table row replaced over the whole text until it no
// longer occurs, then always the first "&#" of the text up to the next ';', again and again.
// Quadratic; the reference that the linear DecodeEntities must equal, trace lines included.
#include <string>
#include <string_view>
#include <utility>

#include "common/DebugTrace.h"
#include "common/TextUtil.h"

inline std::wstring LiteralDecodeEntities(std::wstring text) {
  static const std::pair<std::wstring_view, wchar_t> rows[] = {
      {L"&amp;", L'&'},  {L"&apos;", L'\''}, {L"&lt;", L'<'},   {L"&gt;", L'>'},
      {L"&quot;", L'"'}, {L"&copy;", 0x24D2}, {L"&reg;", 0xAE}, {L"&trade;", 0x2122},
      {L"&nbsp;", L' '}, {L"&#039;", L'\''}, {L"&#39;", L'\''},
  };
  for (const auto& [entity, ch] : rows) {
    while (text.find(entity) != std::wstring::npos) {
      std::wstring next;
      size_t from = 0, at;
      while ((at = text.find(entity, from)) != std::wstring::npos) {
        next.append(text, from, at - from);
        next.push_back(ch);
        from = at + entity.size();
      }
      next.append(text, from, std::wstring::npos);
      text.swap(next);
    }
  }
  for (;;) {
    const size_t amp = text.find(L"&#");
    if (amp == std::wstring::npos) break;
    const size_t semi = text.find(L';', amp);
    if (semi == std::wstring::npos) break;
    if (DebugTraceActive()) DebugTrace(L"%d %d %ls\n", int(amp), int(semi), text.c_str());
    const int32_t v = ParseLeadingInt(std::wstring_view(text).substr(amp + 2, semi - amp - 2));
    std::wstring r;
    if (v < 0 || v > 0x10FFFF)
      r.push_back(wchar_t(0xFFFD));
    else if (v >= 0x10000)
      r = {wchar_t(0xD800 + ((v - 0x10000) >> 10)), wchar_t(0xDC00 + ((v - 0x10000) & 0x3FF))};
    else if (v != 0)
      r.push_back(wchar_t(v));
    text.replace(amp, semi + 1 - amp, r);
  }
  return text;
}
