#pragma once
// The naive decoder, step by step: each table row replaced over the whole text until it no
// longer occurs, then always the first numeric reference of the text, again and again.
// Quadratic; the reference that the linear DecodeEntities must equal, trace lines included.
#include <cwctype>
#include <string>
#include <string_view>

#include "common/DebugTrace.h"
#include "doc/TextDecode.h"

// Where the first numeric reference of `text` starts (npos: none), with its ';'.
inline size_t LiteralFirstReference(const std::wstring& text, size_t& semi, bool& hex) {
  for (size_t amp = text.find(L"&#"); amp != std::wstring::npos; amp = text.find(L"&#", amp + 1)) {
    size_t at = amp + 2;
    hex = at < text.size() && (text[at] == L'x' || text[at] == L'X');
    if (hex) ++at;
    const size_t first = at;
    while (at < text.size() && (hex ? std::iswxdigit(text[at]) && text[at] < 0x80 : text[at] >= L'0' && text[at] <= L'9'))
      ++at;
    if (at > first && at < text.size() && text[at] == L';') {
      semi = at;
      return amp;
    }
  }
  return std::wstring::npos;
}

inline std::wstring LiteralDecodeEntities(std::wstring text) {
  // Whether the row occurs: at one of the '&'s (a quicker search, the same answer).
  auto occurs = [&text](std::wstring_view entity) {
    for (size_t amp = text.find(L'&'); amp != std::wstring::npos; amp = text.find(L'&', amp + 1))
      if (text.compare(amp, entity.size(), entity) == 0) return true;
    return false;
  };
  for (const NamedEntity& row : NamedEntities()) {
    if (text.find(L'&') == std::wstring::npos) return text;  // nothing left for any step
    while (occurs(row.text)) {
      std::wstring next;
      size_t from = 0, at;
      while ((at = text.find(row.text, from)) != std::wstring::npos) {
        next.append(text, from, at - from);
        next.push_back(row.replacement);
        from = at + row.text.size();
      }
      next.append(text, from, std::wstring::npos);
      text.swap(next);
    }
  }
  for (;;) {
    size_t semi = 0;
    bool hex = false;
    const size_t amp = LiteralFirstReference(text, semi, hex);
    if (amp == std::wstring::npos) break;
    if (DebugTraceActive()) DebugTrace(L"%d %d %ls\n", int(amp), int(semi), text.c_str());
    long long v = 0;
    for (size_t k = amp + (hex ? 3 : 2); k < semi && v <= 0x10FFFF; ++k) {
      const wchar_t c = text[k];
      v = v * (hex ? 16 : 10) + (c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    }
    std::wstring r;
    if (v > 0x10FFFF)
      r.push_back(wchar_t(0xFFFD));
    else if (v >= 0x10000)
      r = {wchar_t(0xD800 + ((v - 0x10000) >> 10)), wchar_t(0xDC00 + ((v - 0x10000) & 0x3FF))};
    else if (v != 0)
      r.push_back(wchar_t(v));
    text.replace(amp, semi + 1 - amp, r);
  }
  return text;
}
