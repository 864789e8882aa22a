#include "doc/TextDecode.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/DebugTrace.h"

namespace {

// &copy; has always become a circled small c and &nbsp; a plain space; stored titles and
// keyword matches depend on that. The HTML 4 entities that feeds put in titles follow;
// where a name is in both, the first row wins, as when each row is replaced in turn.
constexpr NamedEntity kNamedEntities[] = {
    {L"&amp;", L'&'},         {L"&apos;", L'\''},       {L"&lt;", L'<'},
    {L"&gt;", L'>'},          {L"&quot;", L'"'},        {L"&copy;", wchar_t(0x24D2)},
    {L"&reg;", wchar_t(0xAE)}, {L"&trade;", wchar_t(0x2122)}, {L"&nbsp;", L' '},
    {L"&#039;", L'\''},       {L"&#39;", L'\''},
    {L"&nbsp;", 0x00A0}, {L"&iexcl;", 0x00A1}, {L"&cent;", 0x00A2}, {L"&pound;", 0x00A3}, {L"&curren;", 0x00A4},
    {L"&yen;", 0x00A5}, {L"&brvbar;", 0x00A6}, {L"&sect;", 0x00A7}, {L"&uml;", 0x00A8}, {L"&copy;", 0x00A9},
    {L"&ordf;", 0x00AA}, {L"&laquo;", 0x00AB}, {L"&not;", 0x00AC}, {L"&shy;", 0x00AD}, {L"&reg;", 0x00AE},
    {L"&macr;", 0x00AF}, {L"&deg;", 0x00B0}, {L"&plusmn;", 0x00B1}, {L"&sup2;", 0x00B2}, {L"&sup3;", 0x00B3},
    {L"&acute;", 0x00B4}, {L"&micro;", 0x00B5}, {L"&para;", 0x00B6}, {L"&middot;", 0x00B7}, {L"&cedil;", 0x00B8},
    {L"&sup1;", 0x00B9}, {L"&ordm;", 0x00BA}, {L"&raquo;", 0x00BB}, {L"&frac14;", 0x00BC}, {L"&frac12;", 0x00BD},
    {L"&frac34;", 0x00BE}, {L"&iquest;", 0x00BF}, {L"&Agrave;", 0x00C0}, {L"&Aacute;", 0x00C1}, {L"&Acirc;", 0x00C2},
    {L"&Atilde;", 0x00C3}, {L"&Auml;", 0x00C4}, {L"&Aring;", 0x00C5}, {L"&AElig;", 0x00C6}, {L"&Ccedil;", 0x00C7},
    {L"&Egrave;", 0x00C8}, {L"&Eacute;", 0x00C9}, {L"&Ecirc;", 0x00CA}, {L"&Euml;", 0x00CB}, {L"&Igrave;", 0x00CC},
    {L"&Iacute;", 0x00CD}, {L"&Icirc;", 0x00CE}, {L"&Iuml;", 0x00CF}, {L"&ETH;", 0x00D0}, {L"&Ntilde;", 0x00D1},
    {L"&Ograve;", 0x00D2}, {L"&Oacute;", 0x00D3}, {L"&Ocirc;", 0x00D4}, {L"&Otilde;", 0x00D5}, {L"&Ouml;", 0x00D6},
    {L"&times;", 0x00D7}, {L"&Oslash;", 0x00D8}, {L"&Ugrave;", 0x00D9}, {L"&Uacute;", 0x00DA}, {L"&Ucirc;", 0x00DB},
    {L"&Uuml;", 0x00DC}, {L"&Yacute;", 0x00DD}, {L"&THORN;", 0x00DE}, {L"&szlig;", 0x00DF}, {L"&agrave;", 0x00E0},
    {L"&aacute;", 0x00E1}, {L"&acirc;", 0x00E2}, {L"&atilde;", 0x00E3}, {L"&auml;", 0x00E4}, {L"&aring;", 0x00E5},
    {L"&aelig;", 0x00E6}, {L"&ccedil;", 0x00E7}, {L"&egrave;", 0x00E8}, {L"&eacute;", 0x00E9}, {L"&ecirc;", 0x00EA},
    {L"&euml;", 0x00EB}, {L"&igrave;", 0x00EC}, {L"&iacute;", 0x00ED}, {L"&icirc;", 0x00EE}, {L"&iuml;", 0x00EF},
    {L"&eth;", 0x00F0}, {L"&ntilde;", 0x00F1}, {L"&ograve;", 0x00F2}, {L"&oacute;", 0x00F3}, {L"&ocirc;", 0x00F4},
    {L"&otilde;", 0x00F5}, {L"&ouml;", 0x00F6}, {L"&divide;", 0x00F7}, {L"&oslash;", 0x00F8}, {L"&ugrave;", 0x00F9},
    {L"&uacute;", 0x00FA}, {L"&ucirc;", 0x00FB}, {L"&uuml;", 0x00FC}, {L"&yacute;", 0x00FD}, {L"&thorn;", 0x00FE},
    {L"&yuml;", 0x00FF}, {L"&fnof;", 0x0192}, {L"&Alpha;", 0x0391}, {L"&Beta;", 0x0392}, {L"&Gamma;", 0x0393},
    {L"&Delta;", 0x0394}, {L"&Epsilon;", 0x0395}, {L"&Zeta;", 0x0396}, {L"&Eta;", 0x0397}, {L"&Theta;", 0x0398},
    {L"&Iota;", 0x0399}, {L"&Kappa;", 0x039A}, {L"&Lambda;", 0x039B}, {L"&Mu;", 0x039C}, {L"&Nu;", 0x039D},
    {L"&Xi;", 0x039E}, {L"&Omicron;", 0x039F}, {L"&Pi;", 0x03A0}, {L"&Rho;", 0x03A1}, {L"&Sigma;", 0x03A3},
    {L"&Tau;", 0x03A4}, {L"&Upsilon;", 0x03A5}, {L"&Phi;", 0x03A6}, {L"&Chi;", 0x03A7}, {L"&Psi;", 0x03A8},
    {L"&Omega;", 0x03A9}, {L"&alpha;", 0x03B1}, {L"&beta;", 0x03B2}, {L"&gamma;", 0x03B3}, {L"&delta;", 0x03B4},
    {L"&epsilon;", 0x03B5}, {L"&zeta;", 0x03B6}, {L"&eta;", 0x03B7}, {L"&theta;", 0x03B8}, {L"&iota;", 0x03B9},
    {L"&kappa;", 0x03BA}, {L"&lambda;", 0x03BB}, {L"&mu;", 0x03BC}, {L"&nu;", 0x03BD}, {L"&xi;", 0x03BE},
    {L"&omicron;", 0x03BF}, {L"&pi;", 0x03C0}, {L"&rho;", 0x03C1}, {L"&sigmaf;", 0x03C2}, {L"&sigma;", 0x03C3},
    {L"&tau;", 0x03C4}, {L"&upsilon;", 0x03C5}, {L"&phi;", 0x03C6}, {L"&chi;", 0x03C7}, {L"&psi;", 0x03C8},
    {L"&omega;", 0x03C9}, {L"&thetasym;", 0x03D1}, {L"&upsih;", 0x03D2}, {L"&piv;", 0x03D6}, {L"&bull;", 0x2022},
    {L"&hellip;", 0x2026}, {L"&prime;", 0x2032}, {L"&Prime;", 0x2033}, {L"&oline;", 0x203E}, {L"&frasl;", 0x2044},
    {L"&weierp;", 0x2118}, {L"&image;", 0x2111}, {L"&real;", 0x211C}, {L"&trade;", 0x2122}, {L"&alefsym;", 0x2135},
    {L"&larr;", 0x2190}, {L"&uarr;", 0x2191}, {L"&rarr;", 0x2192}, {L"&darr;", 0x2193}, {L"&harr;", 0x2194},
    {L"&crarr;", 0x21B5}, {L"&lArr;", 0x21D0}, {L"&uArr;", 0x21D1}, {L"&rArr;", 0x21D2}, {L"&dArr;", 0x21D3},
    {L"&hArr;", 0x21D4}, {L"&forall;", 0x2200}, {L"&part;", 0x2202}, {L"&exist;", 0x2203}, {L"&empty;", 0x2205},
    {L"&nabla;", 0x2207}, {L"&isin;", 0x2208}, {L"&notin;", 0x2209}, {L"&ni;", 0x220B}, {L"&prod;", 0x220F},
    {L"&sum;", 0x2211}, {L"&minus;", 0x2212}, {L"&lowast;", 0x2217}, {L"&radic;", 0x221A}, {L"&prop;", 0x221D},
    {L"&infin;", 0x221E}, {L"&ang;", 0x2220}, {L"&and;", 0x2227}, {L"&or;", 0x2228}, {L"&cap;", 0x2229},
    {L"&cup;", 0x222A}, {L"&int;", 0x222B}, {L"&there4;", 0x2234}, {L"&sim;", 0x223C}, {L"&cong;", 0x2245},
    {L"&asymp;", 0x2248}, {L"&ne;", 0x2260}, {L"&equiv;", 0x2261}, {L"&le;", 0x2264}, {L"&ge;", 0x2265},
    {L"&sub;", 0x2282}, {L"&sup;", 0x2283}, {L"&nsub;", 0x2284}, {L"&sube;", 0x2286}, {L"&supe;", 0x2287},
    {L"&oplus;", 0x2295}, {L"&otimes;", 0x2297}, {L"&perp;", 0x22A5}, {L"&sdot;", 0x22C5}, {L"&lceil;", 0x2308},
    {L"&rceil;", 0x2309}, {L"&lfloor;", 0x230A}, {L"&rfloor;", 0x230B}, {L"&lang;", 0x2329}, {L"&rang;", 0x232A},
    {L"&loz;", 0x25CA}, {L"&spades;", 0x2660}, {L"&clubs;", 0x2663}, {L"&hearts;", 0x2665}, {L"&diams;", 0x2666},
    {L"&quot;", 0x0022}, {L"&amp;", 0x0026}, {L"&lt;", 0x003C}, {L"&gt;", 0x003E}, {L"&OElig;", 0x0152},
    {L"&oelig;", 0x0153}, {L"&Scaron;", 0x0160}, {L"&scaron;", 0x0161}, {L"&Yuml;", 0x0178}, {L"&circ;", 0x02C6},
    {L"&tilde;", 0x02DC}, {L"&ensp;", 0x2002}, {L"&emsp;", 0x2003}, {L"&thinsp;", 0x2009}, {L"&zwnj;", 0x200C},
    {L"&zwj;", 0x200D}, {L"&lrm;", 0x200E}, {L"&rlm;", 0x200F}, {L"&ndash;", 0x2013}, {L"&mdash;", 0x2014},
    {L"&lsquo;", 0x2018}, {L"&rsquo;", 0x2019}, {L"&sbquo;", 0x201A}, {L"&ldquo;", 0x201C}, {L"&rdquo;", 0x201D},
    {L"&bdquo;", 0x201E}, {L"&dagger;", 0x2020}, {L"&Dagger;", 0x2021}, {L"&permil;", 0x2030}, {L"&lsaquo;", 0x2039},
    {L"&rsaquo;", 0x203A}, {L"&euro;", 0x20AC},
};
constexpr size_t kLongestEntity = 10;  // "&thetasym;"

constexpr size_t kOwnRows = 11;  // the program's own rows, the ones feeds use most

// The replacement of an entity as written ("&name;"), the first row's where a name repeats.
const wchar_t* FindEntity(std::wstring_view text) {
  for (size_t i = 0; i < kOwnRows; ++i)
    if (kNamedEntities[i].text == text) return &kNamedEntities[i].replacement;
  static const std::unordered_map<std::wstring_view, wchar_t> table = [] {
    std::unordered_map<std::wstring_view, wchar_t> rows;
    for (const NamedEntity& entity : kNamedEntities) rows.emplace(entity.text, entity.replacement);
    return rows;
  }();
  auto found = table.find(text);
  return found == table.end() ? nullptr : &found->second;
}
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
    if (const wchar_t* replacement = FindEntity(std::wstring_view(out).substr(start))) {
      out.resize(start);
      out.push_back(*replacement);
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

// Where a reference being read stands, at the end of the output.
enum class Ref : unsigned char { None, Amp, Hash, Decimal, HexMark, Hex };

struct OpenRef {
  size_t start = 0;  // of its '&' in the output
  Ref state = Ref::None;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexDigit(wchar_t c) { return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// The value of the digits, or -1 beyond Unicode (however many digits there are).
int32_t ReferenceValue(std::wstring_view digits, bool hex) {
  int32_t value = 0;
  for (wchar_t c : digits) {
    const int32_t digit = IsDigit(c) ? c - L'0' : (c | 0x20) - L'a' + 10;
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return -1;
  }
  return value;
}

// Numeric references: "&#" and decimal digits, or "&#x" (or "&#X") and hexadecimal
// digits, then ';'. Anything else after "&#" is text. Replacing repeats until none is
// left, and a replacement can complete a reference with the text around it ("&#38;#38;"
// ends as "&"). The text is read once: a reference is replaced the moment its ';' reaches
// the output, and its replacement is read again in front of the rest. Since references
// contain no '&' but their first, none overlap, and the one completed first is the first
// one in the text, as a search from the start would find. What a replacement can complete
// is a reference begun before it: the references begun and not yet broken are kept on a
// stack, so reading never goes back over the output.
std::wstring DecodeNumeric(std::wstring text) {
  if (text.find(L"&#") == std::wstring::npos) return text;
  const bool trace = DebugTraceActive();
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  std::wstring pushback;  // replacements to read before text[i], the next one last
  OpenRef open;
  std::vector<OpenRef> interrupted;  // begun, then cut by a '&' that may still complete
  for (;;) {
    wchar_t c;
    if (!pushback.empty()) {
      c = pushback.back();
      pushback.pop_back();
    } else if (open.state == Ref::None && interrupted.empty()) {
      // Nothing begun: copy up to the next '&' at once.
      const size_t amp = text.find(L'&', i);
      if (amp == std::wstring::npos) {
        out.append(text, i, std::wstring::npos);
        break;
      }
      out.append(text, i, amp - i);
      i = amp + 1;
      c = L'&';
    } else if (i < text.size()) {
      c = text[i++];
    } else {
      break;
    }

    if (c == L'&') {
      if (open.state != Ref::None) interrupted.push_back(open);
      open = OpenRef{out.size(), Ref::Amp};
      out.push_back(c);
      continue;
    }
    out.push_back(c);
    Ref next = Ref::None;
    switch (open.state) {
      case Ref::None: break;
      case Ref::Amp: next = c == L'#' ? Ref::Hash : Ref::None; break;
      case Ref::Hash: next = IsDigit(c) ? Ref::Decimal : (c == L'x' || c == L'X') ? Ref::HexMark : Ref::None; break;
      case Ref::Decimal: next = IsDigit(c) || c == L';' ? Ref::Decimal : Ref::None; break;
      case Ref::HexMark: next = IsHexDigit(c) ? Ref::Hex : Ref::None; break;
      case Ref::Hex: next = IsHexDigit(c) || c == L';' ? Ref::Hex : Ref::None; break;
    }
    if (next == Ref::None) {
      // Broken: neither it nor a reference it interrupted can complete any more.
      open = OpenRef{};
      interrupted.clear();
      continue;
    }
    open.state = next;
    if (c != L';') continue;

    const bool hex = next == Ref::Hex;
    const size_t digitsAt = open.start + (hex ? 3 : 2);
    const std::wstring_view digits = std::wstring_view(out).substr(digitsAt, out.size() - 1 - digitsAt);
    if (trace) {
      std::wstring whole = out;
      whole.append(pushback.rbegin(), pushback.rend());
      whole.append(text, i, std::wstring::npos);
      DebugTrace(L"%d %d %ls\n", static_cast<int>(open.start), static_cast<int>(out.size() - 1), whole.c_str());
    }
    const int32_t value = ReferenceValue(digits, hex);
    out.resize(open.start);
    PushReplacementReversed(pushback, value);
    if (interrupted.empty()) {
      open = OpenRef{};
    } else {
      open = interrupted.back();
      interrupted.pop_back();
    }
  }
  return out;
}

}  // namespace

std::span<const NamedEntity> NamedEntities() { return kNamedEntities; }

namespace {

// The common case in one pass: every '&' starts an entity of the table, and none of the
// '&'s that "&amp;" yields can take part in another reference (no ';' close enough after
// it to end an entity, no '#' right after it). Then replacing each entity where it stands
// is what the repeated replacing gives. False, with `out` as it was, when the text needs
// the general steps.
bool DecodeSimple(std::wstring_view text, size_t amp, std::wstring& out) {
  const size_t start = out.size();
  out.reserve(start + text.size());
  size_t from = 0;
  while (amp != std::wstring_view::npos) {
    const size_t semi = text.find(L';', amp + 1);
    const wchar_t* replacement = nullptr;
    if (semi != std::wstring_view::npos && semi + 1 - amp <= kLongestEntity)
      replacement = FindEntity(text.substr(amp, semi + 1 - amp));
    if (!replacement) {
      out.resize(start);
      return false;
    }
    if (*replacement == L'&') {
      const size_t next = semi + 1;
      const size_t nextSemi = text.find(L';', next);
      if ((next < text.size() && text[next] == L'#') ||
          (nextSemi != std::wstring_view::npos && nextSemi + 1 - next < kLongestEntity)) {
        out.resize(start);
        return false;
      }
    }
    out.append(text.data() + from, amp - from);
    out.push_back(*replacement);
    from = semi + 1;
    amp = text.find(L'&', from);
  }
  out.append(text.data() + from, text.size() - from);
  return true;
}

}  // namespace

void AppendDecoded(std::wstring_view text, std::wstring& out) {
  const size_t amp = text.find(L'&');
  if (amp == std::wstring_view::npos) {
    out.append(text);
  } else if (!DecodeSimple(text, amp, out)) {
    out += DecodeNumeric(DecodeNamed(std::wstring(text), amp));
  }
}

std::wstring DecodeEntities(std::wstring text) {
  const size_t amp = text.find(L'&');
  if (amp == std::wstring::npos) return text;
  std::wstring out;
  if (DecodeSimple(text, amp, out)) return out;
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
