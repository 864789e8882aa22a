#include "doc/TextDecode.h"

#include <string_view>

#include "common/DebugTrace.h"
#include "common/TextUtil.h"

namespace {

struct NamedEntity {
  std::wstring_view text;
  wchar_t replacement;
};

// &copy; has always become a circled small c and &nbsp; a plain space; stored titles and
// keyword matches depend on that.
constexpr NamedEntity kNamedEntities[] = {
    {L"&amp;", L'&'},         {L"&apos;", L'\''},       {L"&lt;", L'<'},
    {L"&gt;", L'>'},          {L"&quot;", L'"'},        {L"&copy;", wchar_t(0x24D2)},
    {L"&reg;", wchar_t(0xAE)}, {L"&trade;", wchar_t(0x2122)}, {L"&nbsp;", L' '},
    {L"&#039;", L'\''},       {L"&#39;", L'\''},
};
constexpr size_t kLongestEntity = 7;

// The named entities as one left-to-right pass. Each entity starts with its only '&' and
// ends with its only ';', so no two can overlap, and only &amp; yields a character ('&')
// that can start another one. Replacing an entity the moment its ';' arrives on the output
// therefore reaches the same text as replacing each table row over the whole text until it
// no longer occurs, row after row. `at` is the first '&'.
std::wstring DecodeNamed(const std::wstring& text, size_t at) {
  std::wstring out;
  out.reserve(text.size());
  out.append(text, 0, at);
  const size_t n = text.size();
  while (at < n) {
    size_t semi = text.find(L';', at);
    if (semi == std::wstring::npos) {
      out.append(text, at, std::wstring::npos);
      break;
    }
    out.append(text, at, semi + 1 - at);
    at = semi + 1;
    const size_t window = out.size() < kLongestEntity ? out.size() : kLongestEntity;
    const size_t amp = std::wstring_view(out).substr(out.size() - window).rfind(L'&');
    if (amp == std::wstring_view::npos) continue;
    const size_t start = out.size() - window + amp;
    const std::wstring_view tail = std::wstring_view(out).substr(start);
    for (const NamedEntity& entity : kNamedEntities) {
      if (tail == entity.text) {
        out.resize(start);
        out.push_back(entity.replacement);
        break;
      }
    }
  }
  return out;
}

// The text of a numeric reference's value. Values beyond Unicode, and negative ones (which
// a 16-bit truncation would turn into arbitrary characters), become U+FFFD. Surrogate code
// units below 0x10000 pass through, as feeds sometimes escape each half of a pair.
void PushReplacementReversed(std::wstring& stack, int32_t value) {
  if (value == 0) return;
  if (value < 0 || value > 0x10FFFF) {
    stack.push_back(wchar_t(0xFFFD));
  } else if (value <= 0xFFFF) {
    stack.push_back(static_cast<wchar_t>(value));
  } else {
    const int32_t v = value - 0x10000;
    stack.push_back(static_cast<wchar_t>(0xDC00 + (v & 0x3FF)));
    stack.push_back(static_cast<wchar_t>(0xD800 + (v >> 10)));
  }
}

// Numeric references, always taking the first "&#" of the whole text up to the next ';'.
// A replacement can form a new "&#" with the character before it or after it, and the
// earliest "&#" can then lie one character before the last one. So the text is read once,
// left to right: what is behind the read position holds no "&#" and is output; each
// replacement is pushed back in front of the unread text, and the '&' it replaced is taken
// off the output, which reproduces the restart from the beginning without its cost.
std::wstring DecodeNumeric(std::wstring text) {
  size_t i = text.find(L"&#");
  if (i == std::wstring::npos) return text;
  const bool trace = DebugTraceActive();
  std::wstring out;
  out.reserve(text.size());
  out.append(text, 0, i);
  std::wstring pushback;  // unread characters before text[i], the next one last
  std::wstring number;
  std::wstring whole;
  for (;;) {
    wchar_t c;
    if (!pushback.empty()) {
      c = pushback.back();
      pushback.pop_back();
    } else {
      const size_t hash = text.find(L'#', i);
      if (hash == std::wstring::npos) {
        out.append(text, i, std::wstring::npos);
        break;
      }
      out.append(text, i, hash - i);
      i = hash + 1;
      c = L'#';
    }
    if (c != L'#' || out.empty() || out.back() != L'&') {
      out.push_back(c);
      continue;
    }

    // "&#" found: its '&' ends the output, its '#' has been read.
    std::wstring_view digits;
    const size_t semiInPushback = pushback.rfind(L';');
    size_t semiInText = std::wstring::npos;
    if (semiInPushback != std::wstring::npos) {
      number.assign(pushback.rbegin(), pushback.rbegin() + (pushback.size() - semiInPushback - 1));
      digits = number;
    } else {
      semiInText = text.find(L';', i);
      if (semiInText == std::wstring::npos) {
        // No ';' follows: the rest stays as it is.
        out.push_back(L'#');
        out.append(pushback.rbegin(), pushback.rend());
        out.append(text, i, std::wstring::npos);
        break;
      }
      if (pushback.empty()) {
        digits = std::wstring_view(text).substr(i, semiInText - i);
      } else {
        number.assign(pushback.rbegin(), pushback.rend());
        number.append(text, i, semiInText - i);
        digits = number;
      }
    }

    if (trace) {
      whole.assign(out);
      whole.push_back(L'#');
      whole.append(pushback.rbegin(), pushback.rend());
      whole.append(text, i, std::wstring::npos);
      const size_t amp = out.size() - 1;
      DebugTrace(L"%d %d %ls\n", static_cast<int>(amp), static_cast<int>(amp + 2 + digits.size()), whole.c_str());
    }

    const int32_t value = ParseLeadingInt(digits);
    if (semiInPushback != std::wstring::npos) {
      pushback.resize(semiInPushback);
    } else {
      pushback.clear();
      i = semiInText + 1;
    }
    out.pop_back();
    PushReplacementReversed(pushback, value);
  }
  return out;
}

}  // namespace

std::wstring DecodeEntities(std::wstring text) {
  const size_t amp = text.find(L'&');
  if (amp == std::wstring::npos) return text;
  return DecodeNumeric(DecodeNamed(text, amp));
}

StringTokenizer::StringTokenizer(const wchar_t* text) : remaining_(text ? text : L"") {}

std::wstring StringTokenizer::NextToken(const wchar_t* delimiters) {
  const std::wstring_view set = delimiters ? std::wstring_view(delimiters) : std::wstring_view();
  const std::wstring_view rest(remaining_);
  const size_t first = rest.find_first_not_of(set);
  if (first == std::wstring_view::npos) {
    remaining_.clear();
    return std::wstring();
  }
  const size_t stop = rest.find_first_of(set, first);
  if (stop == std::wstring_view::npos) {
    token_.assign(rest.substr(first));
    remaining_.clear();
    return token_;
  }
  token_.assign(rest.substr(first, stop - first));
  const size_t next = rest.find_first_not_of(set, stop + 1);
  if (next == std::wstring_view::npos)
    remaining_.clear();
  else
    remaining_.erase(0, next);
  return token_;
}
