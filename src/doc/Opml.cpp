#include "doc/Opml.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "doc/XmlDocument.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
wchar_t LowerWide(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerWide(a[i]) != LowerWide(b[i])) return false;
  return true;
}

// The encoding named by a leading XML declaration, lower-cased; empty without one.
std::string DeclaredEncoding(std::string_view bytes) {
  size_t start = 0;
  while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\t' || bytes[start] == '\r' || bytes[start] == '\n'))
    ++start;
  if (bytes.substr(start, 5) != "<?xml") return {};
  const size_t end = bytes.find("?>", start);
  if (end == std::string_view::npos) return {};
  const std::string_view declaration = bytes.substr(start, end - start);
  const size_t key = declaration.find("encoding");
  if (key == std::string_view::npos) return {};
  size_t p = key + 8;
  while (p < declaration.size() && (declaration[p] == ' ' || declaration[p] == '=')) ++p;
  if (p >= declaration.size() || (declaration[p] != '"' && declaration[p] != '\'')) return {};
  const char quote = declaration[p++];
  std::string name;
  for (; p < declaration.size() && declaration[p] != quote; ++p) name.push_back(LowerAscii(declaration[p]));
  return name;
}

// Windows-1252's characters at 0x80..0x9F; the rest of the code page is ISO-8859-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::wstring SingleByteToWide(std::string_view bytes, bool cp1252) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text.push_back(cp1252 && b >= 0x80 && b < 0xA0 ? static_cast<wchar_t>(kCp1252High[b - 0x80]) : static_cast<wchar_t>(b));
  }
  return text;
}

void AppendCodePoint(std::wstring& text, uint32_t c) {
  if (c >= 0x10000 && sizeof(wchar_t) == 2) {
    c -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(c));
  }
}

std::wstring Utf16ToWide(std::string_view bytes, bool bigEndian) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    const uint32_t unit = bigEndian ? (a << 8 | b) : (b << 8 | a);
    if (sizeof(wchar_t) == 2 || unit < 0xD800 || unit > 0xDFFF) {
      text.push_back(static_cast<wchar_t>(unit));
      continue;
    }
    // A wider wchar_t (the native build) holds the whole code point.
    if (unit < 0xDC00 && i + 3 < bytes.size()) {
      const auto c = static_cast<unsigned char>(bytes[i + 2]);
      const auto d = static_cast<unsigned char>(bytes[i + 3]);
      const uint32_t low = bigEndian ? (c << 8 | d) : (d << 8 | c);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendCodePoint(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    text.push_back(kReplacement);
  }
  return text;
}

// The file's text by its byte-order mark, else by its declaration (UTF-8 when none).
OpmlStatus DecodeFile(std::string_view bytes, OpmlDecoder decoder, std::wstring& text) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text = Utf8ToWide(bytes.substr(3));
  } else if (bytes.substr(0, 2) == "\xFF\xFE") {
    text = Utf16ToWide(bytes.substr(2), false);
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    text = Utf16ToWide(bytes.substr(2), true);
  } else {
    const std::string encoding = DeclaredEncoding(bytes);
    if (encoding.empty() || encoding == "utf-8" || encoding == "utf8") {
      text = Utf8ToWide(bytes);
    } else if (encoding == "iso-8859-1" || encoding == "latin1" || encoding == "us-ascii" || encoding == "ascii") {
      text = SingleByteToWide(bytes, false);
    } else if (encoding == "windows-1252" || encoding == "cp1252") {
      text = SingleByteToWide(bytes, true);
    } else if (!decoder || !decoder(encoding, bytes, text)) {
      return OpmlStatus::Encoding;
    }
  }
  // The XML reader stops at the first NUL; a NUL inside the text would hide the rest.
  for (wchar_t& c : text)
    if (c == 0) c = kReplacement;
  return OpmlStatus::Ok;
}

void AppendDecimalOrHex(std::wstring& out, std::wstring_view digits, bool hex, std::wstring_view original) {
  uint32_t value = 0;
  bool valid = !digits.empty();
  for (wchar_t c : digits) {
    uint32_t d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (hex && LowerWide(c) >= L'a' && LowerWide(c) <= L'f') d = LowerWide(c) - L'a' + 10;
    else { valid = false; break; }
    value = value * (hex ? 16 : 10) + d;
    if (value > 0x10FFFF) { valid = false; break; }
  }
  if (!valid) {
    out.append(original);
  } else {
    AppendCodePoint(out, (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) ? kReplacement : value);
  }
}

// An attribute value as XML defines it: the five named references and numeric ones, in
// one pass (so "&amp;lt;" stays "&lt;"), after white space became blanks. Anything that is
// not a reference (a bare '&' of a hand-written file) is kept as it is.
std::wstring AttributeValue(std::wstring_view raw) {
  std::wstring out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const wchar_t c = raw[i];
    if (c == L'\t' || c == L'\n' || c == L'\r') {
      out.push_back(L' ');
      continue;
    }
    const size_t semicolon = c == L'&' ? raw.find(L';', i) : std::wstring_view::npos;
    if (semicolon == std::wstring_view::npos || semicolon - i > 12) {
      out.push_back(c);
      continue;
    }
    const std::wstring_view name = raw.substr(i + 1, semicolon - i - 1);
    const std::wstring_view whole = raw.substr(i, semicolon - i + 1);
    if (name == L"amp") out.push_back(L'&');
    else if (name == L"lt") out.push_back(L'<');
    else if (name == L"gt") out.push_back(L'>');
    else if (name == L"quot") out.push_back(L'"');
    else if (name == L"apos") out.push_back(L'\'');
    else if (name.size() > 1 && name[0] == L'#' && (name[1] == L'x' || name[1] == L'X'))
      AppendDecimalOrHex(out, name.substr(2), true, whole);
    else if (!name.empty() && name[0] == L'#')
      AppendDecimalOrHex(out, name.substr(1), false, whole);
    else {
      out.push_back(c);
      continue;
    }
    i = semicolon;
  }
  return out;
}

bool IsXmlBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring_view TrimBlanks(std::wstring_view s) {
  while (!s.empty() && IsXmlBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsXmlBlank(s.back())) s.remove_suffix(1);
  return s;
}

const XmlAttribute* FindAttribute(const XmlNode& node, std::wstring_view name) {
  for (const XmlAttribute& attribute : node.attributes)
    if (SameIgnoringCase(attribute.first, name)) return &attribute;
  return nullptr;
}

bool IsElement(const XmlNode& node) { return !node.name.empty() && node.name[0] != L'?' && node.name[0] != L'!'; }

// The outline's feed address: `xmlUrl`, else our own attribute; empty when neither holds
// one. Blanks written around the value (as pretty-printers do) are not part of it; a
// character reference for a blank is.
std::wstring OutlineAddress(const XmlNode& outline) {
  const XmlAttribute* attribute = FindAttribute(outline, L"xmlUrl");
  if (!attribute || TrimBlanks(attribute->second).empty()) attribute = FindAttribute(outline, L"pellora:url");
  if (!attribute) return {};
  std::wstring address = AttributeValue(TrimBlanks(attribute->second));
  // A line break cannot be stored in a settings value.
  for (wchar_t c : address)
    if (c == L'\r' || c == L'\n') return {};
  return address;
}

bool HasElementChild(const XmlNode& node) {
  for (const XmlNode* child : node.children)
    if (IsElement(*child)) return true;
  return false;
}

// The XML reader takes a document type declaration for a second root element, so one in
// the prolog (after declarations, processing instructions and comments) is blanked out.
void BlankDoctype(std::wstring& text, size_t from) {
  size_t p = from;
  for (;;) {
    p = text.find(L'<', p);
    if (p == std::wstring::npos) return;
    const std::wstring_view rest(text.data() + p, text.size() - p);
    if (rest.substr(0, 2) == L"<?" || rest.substr(0, 4) == L"<!--") {
      p = text.find(rest[1] == L'?' ? L"?>" : L"-->", p + 2);
      if (p == std::wstring::npos) return;
      continue;
    }
    if (rest.size() < 9 || !SameIgnoringCase(rest.substr(0, 9), L"<!DOCTYPE")) return;
    int brackets = 0;
    size_t end = p + 9;
    for (; end < text.size(); ++end) {
      if (text[end] == L'[') ++brackets;
      else if (text[end] == L']') --brackets;
      else if (text[end] == L'>' && brackets <= 0) break;
    }
    if (end == text.size()) return;  // unterminated: the reader reports it
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(p), text.begin() + static_cast<std::ptrdiff_t>(end) + 1, L' ');
    return;
  }
}

}  // namespace

std::wstring Utf8ToWide(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      text.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    size_t need;
    uint32_t c, least;
    if (b >= 0xC2 && b <= 0xDF) need = 1, c = b & 0x1Fu, least = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) need = 2, c = b & 0x0Fu, least = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) need = 3, c = b & 0x07u, least = 0x10000;
    else need = 0, c = 0, least = 1;  // a stray continuation byte or an impossible lead
    size_t k = 1;
    for (; need && k <= need && i + k < bytes.size() && (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80; ++k)
      c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3Fu);
    if (!need || k != need + 1 || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      text.push_back(kReplacement);
      ++i;  // resynchronise at the next byte
      continue;
    }
    AppendCodePoint(text, c);
    i += 1 + need;
  }
  return text;
}

void AppendUtf8(std::string& out, std::wstring_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDFFF) {
      const bool pair = c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      c = pair ? 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00) : kReplacement;
    } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      c = kReplacement;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

OpmlStatus ReadOpml(std::string_view bytes, OpmlList& out, OpmlDecoder decoder) {
  out = {};
  if (bytes.size() > kOpmlMaxBytes) return OpmlStatus::TooLarge;
  std::wstring text;
  if (OpmlStatus status = DecodeFile(bytes, decoder, text); status != OpmlStatus::Ok) return status;
  // A byte-order mark that survived decoding (UTF-16 text re-declared, or a doubled mark).
  size_t start = 0;
  while (start < text.size() && (text[start] == 0xFEFF || IsXmlBlank(text[start]))) ++start;

  BlankDoctype(text, start);
  XmlDocument document;
  try {
    if (document.Parse(text.c_str() + start) != 0) return OpmlStatus::Malformed;
  } catch (const std::bad_alloc&) {
    return OpmlStatus::TooLarge;
  }
  const XmlNode* opml = nullptr;
  for (const XmlNode* child : document.root->children)
    if (IsElement(*child)) {
      opml = child;
      break;
    }
  if (!opml || !SameIgnoringCase(opml->name, L"opml")) return OpmlStatus::NotOpml;
  const XmlNode* body = nullptr;
  for (const XmlNode* child : opml->children)
    if (SameIgnoringCase(child->name, L"body")) body = child;
  if (!body) return OpmlStatus::Ok;  // an empty list

  // Depth first in document order, without recursion: the file decides the depth.
  std::vector<std::pair<const XmlNode*, size_t>> pending;
  for (const XmlNode* child : body->children) pending.emplace_back(child, 1);
  std::reverse(pending.begin(), pending.end());
  size_t outlines = 0;
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (!IsElement(*node)) continue;
    if (depth > kOpmlMaxDepth) return OpmlStatus::TooDeep;
    if (SameIgnoringCase(node->name, L"outline")) {
      if (++outlines > kOpmlMaxOutlines) return OpmlStatus::TooManyOutlines;
      std::wstring address = OutlineAddress(*node);
      if (!address.empty()) out.addresses.push_back(std::move(address));
      else if (!HasElementChild(*node)) ++out.unusable;
    }
    const size_t mark = pending.size();
    for (const XmlNode* child : node->children) pending.emplace_back(child, depth + 1);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
  }
  return OpmlStatus::Ok;
}

namespace {

// Text for an attribute value between double quotes. Blanks at either end are written as
// references, so that a reader trimming the value's layout keeps them.
void AppendEscaped(std::string& out, std::wstring_view text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool edge = i == 0 || i + 1 == text.size();
    switch (c) {
      case L'&': escaped += L"&amp;"; break;
      case L'<': escaped += L"&lt;"; break;
      case L'>': escaped += L"&gt;"; break;
      case L'"': escaped += L"&quot;"; break;
      default:
        if (c < 0x20 || (c == L' ' && edge)) {
          escaped += L"&#" + std::to_wstring(static_cast<unsigned>(c)) + L";";
        } else {
          escaped.push_back(c);
        }
    }
  }
  AppendUtf8(out, escaped);
}

void AppendOutline(std::string& out, const OpmlChannel& channel, const char* indent, bool disabled) {
  out += indent;
  out += "<outline type=\"rss\" text=\"";
  AppendEscaped(out, channel.title);
  out += "\" title=\"";
  AppendEscaped(out, channel.title);
  out += disabled ? "\" pellora:url=\"" : "\" xmlUrl=\"";
  AppendEscaped(out, channel.address);
  out += "\"/>\n";
}

}  // namespace

std::string WriteOpml(const std::vector<OpmlChannel>& channels, std::wstring_view title,
                      std::wstring_view dateCreated) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\" xmlns:pellora=\"";
  AppendUtf8(out, kOpmlNamespace);
  out += "\">\n  <head>\n    <title>";
  std::string escapedTitle;
  AppendEscaped(escapedTitle, title);
  out += escapedTitle;
  out += "</title>\n    <dateCreated>";
  AppendEscaped(out, dateCreated);
  out += "</dateCreated>\n  </head>\n  <body>\n";
  bool anyDisabled = false;
  for (const OpmlChannel& channel : channels) {
    if (!channel.address.empty() && channel.address[0] == L'#') anyDisabled = true;
    else AppendOutline(out, channel, "    ", false);
  }
  if (anyDisabled) {
    // "꺼 둔 채널" (channels switched off)
    out += "    <outline text=\"";
    AppendUtf8(out, L"pellora: \xAEBC \xB454 \xCC44\xB110");
    out += "\">\n";
    for (const OpmlChannel& channel : channels)
      if (!channel.address.empty() && channel.address[0] == L'#') AppendOutline(out, channel, "      ", true);
    out += "    </outline>\n";
  }
  out += "  </body>\n</opml>\n";
  return out;
}
