#include "doc/Opml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Addresses = std::vector<std::wstring>;

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

struct Shape {
  const char* name;
  std::string bytes;
  Addresses addresses;
  size_t unusable;
};

// Channel lists as other readers and hand editors write them.
const Shape kShapes[] = {
    {"nested folders, text without title, CRLF",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<opml version=\"1.0\">\r\n<head><title>subs</title></head>\r\n<body>\r\n"
     "<outline text=\"Tech\">\r\n  <outline text=\"Deep\">\r\n    <outline text=\"A\" type=\"rss\" xmlUrl=\"http://a.example/feed\"/>\r\n"
     "  </outline>\r\n  <outline text=\"B\" type=\"atom\" xmlUrl=\"http://b.example/atom\"/>\r\n</outline>\r\n"
     "<outline text=\"C\" xmlUrl=\"http://c.example/rss\"></outline>\r\n</body>\r\n</opml>\r\n",
     {L"http://a.example/feed", L"http://b.example/atom", L"http://c.example/rss"}, 0},
    {"no declaration, no version, attribute names in any case",
     "<opml><body><outline XMLURL=\"http://a/\"/><outline xmlurl=\"http://b/\" TYPE=\"RSS\"/></body></opml>",
     {L"http://a/", L"http://b/"}, 0},
    {"UTF-8 byte-order mark without declaration, Hangul",
     "\xEF\xBB\xBF<opml version=\"2.0\"><body><outline text=\"\xED\x95\x9C\" xmlUrl=\"http://k.example/\xED\x95\x9C\"/></body></opml>",
     {L"http://k.example/\xD55C"}, 0},
    {"declared ISO-8859-1",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><opml version=\"1.1\"><body>"
     "<outline title=\"caf\xE9\" xmlUrl=\"http://x/caf\xE9\"/></body></opml>",
     {L"http://x/caf\xE9"}, 0},
    {"processing instruction, comment and doctype before the root",
     "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?>\n<!-- exported -->\n<!DOCTYPE opml>\n"
     "<opml version=\"2.0\"><head/><body><outline xmlUrl=\"http://p/\"/></body></opml>",
     {L"http://p/"}, 0},
    {"empty and missing addresses, a link outline, an empty folder",
     "<opml><body><outline text=\"e\" xmlUrl=\"\"/><outline text=\"l\" type=\"link\" url=\"http://l/\"/>"
     "<outline text=\"folder\"></outline><outline text=\"f\"><outline xmlUrl=\"http://ok/\"/></outline>"
     "<outline xmlUrl=\"   \"/></body></opml>",
     {L"http://ok/"}, 4},
    {"references in addresses, layout blanks around them",
     "<opml><body><outline xmlUrl=\" http://q/?a=1&amp;b=2 \"/><outline xmlUrl=\"http://q/&amp;lt;&#xD55C;&#54620;\"/>"
     "<outline xmlUrl=\"http://q/&nbsp;\"/></body></opml>",
     {L"http://q/?a=1&b=2", L"http://q/&lt;\xD55C\xD55C", L"http://q/&nbsp;"}, 0},
    {"UTF-16LE with byte-order mark",
     Utf16Le(u"<opml><body><outline xmlUrl=\"h:/\xD55C\"/></body></opml>"),
     {L"h:/\xD55C"}, 0},
    {"no body", "<opml version=\"2.0\"><head><title>t</title></head></opml>", {}, 0},
};

TEST(OpmlReadTest, RealWorldShapes) {
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    OpmlList list;
    ASSERT_EQ(ReadOpml(shape.bytes, list), OpmlStatus::Ok);
    EXPECT_EQ(list.addresses, shape.addresses);
    EXPECT_EQ(list.unusable, shape.unusable);
  }
}

std::string Nested(size_t depth) {
  std::string s = "<opml><body>";
  for (size_t i = 0; i < depth; ++i) s += "<outline text=\"f\">";
  s += "<outline xmlUrl=\"http://deep/\"/>";
  for (size_t i = 0; i < depth; ++i) s += "</outline>";
  return s + "</body></opml>";
}

std::string Flat(size_t count) {
  std::string s = "<opml><body>";
  for (size_t i = 0; i < count; ++i) s += "<outline xmlUrl=\"http://f/" + std::to_string(i) + "\"/>";
  return s + "</body></opml>";
}

TEST(OpmlReadTest, RefusesWhatIsNotAUsableList) {
  const struct {
    const char* name;
    std::string bytes;
    OpmlStatus status;
  } cases[] = {
      {"an RSS feed", "<rss version=\"2.0\"><channel><title>x</title></channel></rss>", OpmlStatus::NotOpml},
      {"plain text", "just some words", OpmlStatus::NotOpml},
      {"empty file", "", OpmlStatus::NotOpml},
      {"unclosed element", "<opml><body><outline xmlUrl=\"http://a/\"></body></opml>", OpmlStatus::Malformed},
      {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-mystery\"?><opml/>", OpmlStatus::Encoding},
      {"too many outlines", Flat(kOpmlMaxOutlines + 1), OpmlStatus::TooManyOutlines},
      {"too deep", Nested(kOpmlMaxDepth), OpmlStatus::TooDeep},
      {"too large", std::string(kOpmlMaxBytes + 1, ' '), OpmlStatus::TooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OpmlList list;
    EXPECT_EQ(ReadOpml(c.bytes, list), c.status);
  }
  OpmlList list;
  EXPECT_EQ(ReadOpml(Flat(kOpmlMaxOutlines), list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses.size(), kOpmlMaxOutlines);
  EXPECT_EQ(ReadOpml(Nested(kOpmlMaxDepth - 1), list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses, Addresses{L"http://deep/"});
}

TEST(OpmlReadTest, UnknownEncodingGoesToTheDecoder) {
  OpmlDecoder decoder = [](std::string_view encoding, std::string_view, std::wstring& text) {
    if (encoding != "euc-kr") return false;
    text = L"<opml><body><outline xmlUrl=\"http://e/\"/></body></opml>";
    return true;
  };
  OpmlList list;
  ASSERT_EQ(ReadOpml("<?xml version=\"1.0\" encoding=\"EUC-KR\"?><opml/>", list, decoder), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses, Addresses{L"http://e/"});
  EXPECT_EQ(ReadOpml("<?xml version=\"1.0\" encoding=\"big5\"?><opml/>", list, decoder), OpmlStatus::Encoding);
}

TEST(OpmlWriteTest, RoundTripKeepsEveryAddressAndHidesDisabledOnes) {
  const std::vector<OpmlChannel> channels = {
      {L"\xB274\xC2A4 & \"\xC18C\xC2DD\"", L"http://n.example/rss?a=1&b=<2>"},
      {L"http://off.example/", L"#http://off.example/"},
      {L"hangul", L"http://k.example/\xD55C\xAE00/feed"},
      {L"blanks", L" http://s.example/ "},
      {L"astral", L"http://u.example/\U0001F600"},
  };
  const std::string written = WriteOpml(channels, L"pellora", L"Wed, 09 Dec 2026 15:00:00 GMT");
  EXPECT_NE(written.find("<opml version=\"2.0\""), std::string::npos);
  EXPECT_NE(written.find("<dateCreated>Wed, 09 Dec 2026 15:00:00 GMT</dateCreated>"), std::string::npos);
  EXPECT_NE(written.find("xmlUrl=\"http://n.example/rss?a=1&amp;b=&lt;2&gt;\""), std::string::npos);
  EXPECT_NE(written.find("http://k.example/\xED\x95\x9C\xEA\xB8\x80/feed"), std::string::npos);
  // Other readers must not fetch a disabled channel.
  EXPECT_EQ(written.find("xmlUrl=\"#"), std::string::npos);

  OpmlList list;
  ASSERT_EQ(ReadOpml(written, list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses, (Addresses{L"http://n.example/rss?a=1&b=<2>", L"http://k.example/\xD55C\xAE00/feed",
                                       L" http://s.example/ ", L"http://u.example/\U0001F600",
                                       L"#http://off.example/"}));
  EXPECT_EQ(list.unusable, 0u);
}

TEST(OpmlTextTest, Utf8InvalidSequencesBecomeReplacements) {
  const struct {
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"a\xC3\xA9", L"a\xE9"},
      {"\xC3", L"\xFFFD"},              // cut short
      {"\xC0\xAF", L"\xFFFD\xFFFD"},    // overlong
      {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},  // a surrogate
      {"\x80z", L"\xFFFDz"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.text);
}

}  // namespace
