#include "net/FeedEncoding.h"

#include <array>

#include "common/CharClass.h"

namespace {

struct Encoding {
  std::string_view name;
  unsigned codePage;
};

// The original table: a declared text that starts with one of these names reads in its
// code page ("big5-hkscs", "utf-8x"); stored feeds rely on that.
constexpr std::array<Encoding, 6> kPrefixEncodings{{
    {"euc-kr", 949},
    {"shift-jis", 932},
    {"windows-31j", 932},
    {"big5", 950},
    {"utf-8", 65001},
    {"utf-7", 65000},
}};

// Every other encoding Windows has a code page for, by its registered names and the
// aliases feeds use, matched whole. Latin-1 and ASCII read as windows-1252, as browsers
// read them (the difference is in 0x80-0x9F, where feeds mean the Windows characters).
// A UTF-16 name in a document whose declaration read as ASCII names a mistake; its bytes
// are read as UTF-8.
constexpr Encoding kNamedEncodings[] = {
    {"iso-8859-1", 1252}, {"iso8859-1", 1252}, {"iso_8859-1", 1252}, {"latin1", 1252}, {"l1", 1252},
    {"cp819", 1252}, {"ibm819", 1252}, {"csisolatin1", 1252}, {"iso-ir-100", 1252},
    {"us-ascii", 1252}, {"ascii", 1252}, {"ansi_x3.4-1968", 1252}, {"iso646-us", 1252}, {"csascii", 1252},
    {"iso-8859-2", 28592}, {"iso8859-2", 28592}, {"iso_8859-2", 28592}, {"latin2", 28592}, {"l2", 28592},
    {"iso-8859-3", 28593}, {"iso8859-3", 28593}, {"iso_8859-3", 28593}, {"latin3", 28593}, {"l3", 28593},
    {"iso-8859-4", 28594}, {"iso8859-4", 28594}, {"iso_8859-4", 28594}, {"latin4", 28594}, {"l4", 28594},
    {"iso-8859-5", 28595}, {"iso8859-5", 28595}, {"iso_8859-5", 28595}, {"cyrillic", 28595},
    {"iso-8859-6", 28596}, {"iso8859-6", 28596}, {"iso_8859-6", 28596}, {"arabic", 28596},
    {"iso-8859-7", 28597}, {"iso8859-7", 28597}, {"iso_8859-7", 28597}, {"greek", 28597},
    {"iso-8859-8", 28598}, {"iso8859-8", 28598}, {"iso_8859-8", 28598}, {"hebrew", 28598},
    {"iso-8859-8-i", 38598},
    {"iso-8859-9", 28599}, {"iso8859-9", 28599}, {"iso_8859-9", 28599}, {"latin5", 28599}, {"l5", 28599},
    {"iso-8859-11", 874}, {"iso8859-11", 874}, {"tis-620", 874}, {"windows-874", 874}, {"cp874", 874},
    {"iso-8859-13", 28603}, {"iso8859-13", 28603}, {"iso_8859-13", 28603},
    {"iso-8859-15", 28605}, {"iso8859-15", 28605}, {"iso_8859-15", 28605}, {"latin9", 28605}, {"latin-9", 28605},
    {"windows-1250", 1250}, {"cp1250", 1250}, {"x-cp1250", 1250},
    {"windows-1251", 1251}, {"cp1251", 1251}, {"x-cp1251", 1251},
    {"windows-1252", 1252}, {"cp1252", 1252}, {"x-cp1252", 1252},
    {"windows-1253", 1253}, {"cp1253", 1253},
    {"windows-1254", 1254}, {"cp1254", 1254},
    {"windows-1255", 1255}, {"cp1255", 1255},
    {"windows-1256", 1256}, {"cp1256", 1256},
    {"windows-1257", 1257}, {"cp1257", 1257},
    {"windows-1258", 1258}, {"cp1258", 1258},
    {"koi8-r", 20866}, {"koi8r", 20866}, {"cskoi8r", 20866}, {"koi8-u", 21866}, {"koi8-ru", 21866},
    {"ibm866", 866}, {"cp866", 866}, {"ibm437", 437}, {"cp437", 437}, {"ibm850", 850}, {"cp850", 850},
    {"macintosh", 10000}, {"mac", 10000}, {"x-mac-roman", 10000}, {"x-mac-cyrillic", 10007},
    {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"x-gbk", 936}, {"csgb2312", 936}, {"gb_2312-80", 936},
    {"chinese", 936}, {"euc-cn", 936}, {"gb18030", 54936}, {"hz-gb-2312", 52936},
    {"big5-hkscs", 950}, {"cn-big5", 950}, {"x-x-big5", 950}, {"csbig5", 950},
    {"shift_jis", 932}, {"sjis", 932}, {"ms_kanji", 932}, {"x-sjis", 932}, {"csshiftjis", 932}, {"cp932", 932},
    {"euc-jp", 20932}, {"x-euc-jp", 20932}, {"cseucpkdfmtjapanese", 20932},
    {"iso-2022-jp", 50220}, {"csiso2022jp", 50220},
    {"ks_c_5601-1987", 949}, {"ks_c_5601-1989", 949}, {"ksc5601", 949}, {"ksc_5601", 949}, {"korean", 949},
    {"csksc56011987", 949}, {"iso-ir-149", 949}, {"windows-949", 949}, {"cp949", 949}, {"uhc", 949},
    {"iso-2022-kr", 50225}, {"csiso2022kr", 50225},
    {"utf8", 65001}, {"unicode-1-1-utf-8", 65001},
    {"utf-16", 65001}, {"utf-16le", 65001}, {"utf-16be", 65001}, {"ucs-2", 65001}, {"unicode", 65001},
};

bool Byte(std::string_view bytes, size_t at, unsigned value) {
  return at < bytes.size() && static_cast<unsigned char>(bytes[at]) == value;
}

// The declared name: the declared text up to a quote, white space or the end of the
// declaration.
std::string_view DeclaredName(std::string_view declared) {
  const size_t end = declared.find_first_of("\"' \t\r\n?>");
  return declared.substr(0, end);
}

}  // namespace

std::string_view DeclaredEncoding(std::string_view bytes) {
  // The document is read as a zero-terminated byte string.
  bytes = bytes.substr(0, bytes.find('\0'));
  const size_t open = bytes.find("<?");
  const size_t close = bytes.find("?>");
  if (open != std::string_view::npos && close != std::string_view::npos) {
    constexpr std::string_view kKey = "encoding=";
    for (size_t pos = open; pos < close; ++pos) {
      if (!StartsWithIgnoreAsciiCase(bytes.substr(pos), kKey)) continue;
      size_t start = pos + kKey.size();
      if (start < bytes.size() && (bytes[start] == '"' || bytes[start] == '\'')) ++start;
      return bytes.substr(start);
    }
  }
  return {};
}

unsigned EncodingCodePage(std::string_view declared) {
  for (const Encoding& entry : kPrefixEncodings)
    if (StartsWithIgnoreAsciiCase(declared, entry.name)) return entry.codePage;
  const std::string_view name = DeclaredName(declared);
  for (const Encoding& entry : kNamedEncodings)
    if (name.size() == entry.name.size() && StartsWithIgnoreAsciiCase(name, entry.name)) return entry.codePage;
  return 0;
}

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const unsigned c = static_cast<unsigned char>(bytes[i]);
    size_t length;
    unsigned min, value;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2, min = 0x80, value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, min = 0x800, value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, min = 0x10000, value = c & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

FeedDecoding DetectFeedEncoding(std::string_view bytes, std::string_view headerCharset) {
  FeedDecoding decoding;
  if (Byte(bytes, 0, 0xEF) && Byte(bytes, 1, 0xBB) && Byte(bytes, 2, 0xBF)) {
    decoding.kind = FeedDecoding::Kind::CodePage;
    decoding.codePage = 65001;
    decoding.skip = 3;
    return decoding;
  }
  if (Byte(bytes, 0, 0xFE) && Byte(bytes, 1, 0xFF)) {
    decoding.kind = FeedDecoding::Kind::Utf16Be;
    decoding.skip = 2;
    return decoding;
  }
  if (Byte(bytes, 0, 0xFF) && Byte(bytes, 1, 0xFE)) {
    decoding.kind = FeedDecoding::Kind::Utf16Le;
    decoding.skip = 2;
    return decoding;
  }
  // UTF-16 without a mark still begins with "<?" (or at least '<'), one zero byte each.
  if (Byte(bytes, 0, '<') && Byte(bytes, 1, 0) && Byte(bytes, 2, '?') && Byte(bytes, 3, 0)) {
    decoding.kind = FeedDecoding::Kind::Utf16Le;
    return decoding;
  }
  if (Byte(bytes, 0, 0) && Byte(bytes, 1, '<') && Byte(bytes, 2, 0) && Byte(bytes, 3, '?')) {
    decoding.kind = FeedDecoding::Kind::Utf16Be;
    return decoding;
  }
  const std::string_view declared = DeclaredEncoding(bytes);
  if (!declared.empty()) {
    decoding.codePage = EncodingCodePage(declared);
    decoding.name = std::string(DeclaredName(declared));
  } else if (const unsigned named = headerCharset.empty() ? 0 : EncodingCodePage(headerCharset); named != 0) {
    decoding.codePage = named;
  } else {
    decoding.codePage = IsValidUtf8(bytes.substr(0, bytes.find('\0'))) ? 65001 : 949;
  }
  decoding.kind = decoding.codePage ? FeedDecoding::Kind::CodePage : FeedDecoding::Kind::Unknown;
  return decoding;
}

unsigned FeedCodePage(std::string_view bytes) {
  const FeedDecoding decoding = DetectFeedEncoding(bytes);
  return decoding.kind == FeedDecoding::Kind::CodePage ? decoding.codePage : 0;
}

std::u16string Utf16Text(std::string_view bytes, bool bigEndian, size_t skip) {
  std::u16string text;
  if (skip > bytes.size()) return text;
  text.reserve((bytes.size() - skip + 1) / 2);
  for (size_t i = skip; i < bytes.size(); i += 2) {
    const unsigned first = static_cast<unsigned char>(bytes[i]);
    const unsigned second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    const char16_t unit = static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}
