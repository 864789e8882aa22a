#include "doc/Opml.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "common/CharClass.h"
#include "doc/XmlDocument.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;


void AppendCodePoint(std::wstring& text, uint32_t c) {
  if (c >= 0x10000 && sizeof(wchar_t) == 2) {
    c -= 0x10000;
    text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    text.push_back(static_cast<wchar_t>(c));
  }
}

void AppendDecimalOrHex(std::wstring& out, std::wstring_view digits, bool hex, std::wstring_view original) {
  uint32_t value = 0;
  bool valid = !digits.empty();
  for (wchar_t c : digits) {
    uint32_t d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (hex && FoldAscii(c) >= L'a' && FoldAscii(c) <= L'f') d = FoldAscii(c) - L'a' + 10;
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
    if (EqualsIgnoreAsciiCase(attribute.first, name)) return &attribute;
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

}  // namespace

OpmlStatus ReadOpml(std::wstring_view text, OpmlList& out) {
  out = {};
  // A byte-order mark that survived decoding (a doubled one) and leading blanks.
  while (!text.empty() && (text.front() == 0xFEFF || IsXmlBlank(text.front()))) text.remove_prefix(1);
  // The XML reader reads up to a NUL.
  const std::wstring terminated(text.substr(0, text.find(L'\0')));

  XmlDocument document;
  try {
    if (document.Parse(terminated.c_str()) != 0) return OpmlStatus::Malformed;
  } catch (const std::bad_alloc&) {
    return OpmlStatus::TooLarge;
  }
  const XmlNode* opml = nullptr;
  for (const XmlNode* child : document.root->children)
    if (IsElement(*child)) {
      opml = child;
      break;
    }
  if (!opml || !EqualsIgnoreAsciiCase(opml->name, L"opml")) return OpmlStatus::NotOpml;
  const XmlNode* body = nullptr;
  for (const XmlNode* child : opml->children)
    if (EqualsIgnoreAsciiCase(child->name, L"body")) body = child;
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
    if (EqualsIgnoreAsciiCase(node->name, L"outline")) {
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
void AppendEscaped(std::wstring& out, std::wstring_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool edge = i == 0 || i + 1 == text.size();
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'"': out += L"&quot;"; break;
      default:
        if (c < 0x20 || (c == L' ' && edge)) {
          out += L"&#" + std::to_wstring(static_cast<unsigned>(c)) + L";";
        } else {
          out.push_back(c);
        }
    }
  }
}

void AppendOutline(std::wstring& out, const OpmlChannel& channel, const wchar_t* indent, bool disabled) {
  out += indent;
  out += L"<outline type=\"rss\" text=\"";
  AppendEscaped(out, channel.title);
  out += L"\" title=\"";
  AppendEscaped(out, channel.title);
  out += disabled ? L"\" pellora:url=\"" : L"\" xmlUrl=\"";
  AppendEscaped(out, channel.address);
  out += L"\"/>\n";
}

bool Disabled(const OpmlChannel& channel) { return !channel.address.empty() && channel.address[0] == L'#'; }

}  // namespace

std::wstring WriteOpml(const std::vector<OpmlChannel>& channels, std::wstring_view title,
                       std::wstring_view dateCreated) {
  std::wstring out = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\" xmlns:pellora=\"";
  out += kOpmlNamespace;
  out += L"\">\n  <head>\n    <title>";
  AppendEscaped(out, title);
  out += L"</title>\n    <dateCreated>";
  AppendEscaped(out, dateCreated);
  out += L"</dateCreated>\n  </head>\n  <body>\n";
  for (const OpmlChannel& channel : channels)
    if (!Disabled(channel)) AppendOutline(out, channel, L"    ", false);
  if (std::any_of(channels.begin(), channels.end(), Disabled)) {
    out += L"    <outline text=\"pellora: \xAEBC \xB454 \xCC44\xB110\">\n";  // "꺼 둔 채널": switched off
    for (const OpmlChannel& channel : channels)
      if (Disabled(channel)) AppendOutline(out, channel, L"      ", true);
    out += L"    </outline>\n";
  }
  out += L"  </body>\n</opml>\n";
  return out;
}
