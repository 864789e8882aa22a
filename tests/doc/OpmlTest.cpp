#include "doc/Opml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Addresses = std::vector<std::wstring>;

struct Shape {
  const char* name;
  std::wstring text;
  Addresses addresses;
  size_t unusable;
};

// Channel lists as other readers and hand editors write them.
const Shape kShapes[] = {
    {"nested folders, text without title, CRLF",
     L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<opml version=\"1.0\">\r\n<head><title>subs</title></head>\r\n<body>\r\n"
     L"<outline text=\"Tech\">\r\n  <outline text=\"Deep\">\r\n    <outline text=\"A\" type=\"rss\" xmlUrl=\"http://a.example/feed\"/>\r\n"
     L"  </outline>\r\n  <outline text=\"B\" type=\"atom\" xmlUrl=\"http://b.example/atom\"/>\r\n</outline>\r\n"
     L"<outline text=\"C\" xmlUrl=\"http://c.example/rss\"></outline>\r\n</body>\r\n</opml>\r\n",
     {L"http://a.example/feed", L"http://b.example/atom", L"http://c.example/rss"}, 0},
    {"no declaration, no version, attribute names in any case",
     L"<opml><body><outline XMLURL=\"http://a/\"/><outline xmlurl=\"http://b/\" TYPE=\"RSS\"/></body></opml>",
     {L"http://a/", L"http://b/"}, 0},
    {"processing instruction, comment and doctype before the root",
     L"<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"s.xsl\"?>\n<!-- exported -->\n<!DOCTYPE opml>\n"
     L"<opml version=\"2.0\"><head/><body><outline xmlUrl=\"http://p/\"/></body></opml>",
     {L"http://p/"}, 0},
    {"empty and missing addresses, a link outline, an empty folder",
     L"<opml><body><outline text=\"e\" xmlUrl=\"\"/><outline text=\"l\" type=\"link\" url=\"http://l/\"/>"
     L"<outline text=\"folder\"></outline><outline text=\"f\"><outline xmlUrl=\"http://ok/\"/></outline>"
     L"<outline xmlUrl=\"   \"/></body></opml>",
     {L"http://ok/"}, 4},
    {"references in addresses, layout blanks around them",
     L"<opml><body><outline xmlUrl=\" http://q/?a=1&amp;b=2 \"/><outline xmlUrl=\"http://q/&amp;lt;&#xD55C;&#54620;\"/>"
     L"<outline xmlUrl=\"http://q/&nbsp;\"/></body></opml>",
     {L"http://q/?a=1&b=2", L"http://q/&lt;\xD55C\xD55C", L"http://q/&nbsp;"}, 0},
    {"no body", L"<opml version=\"2.0\"><head><title>t</title></head></opml>", {}, 0},
};

TEST(OpmlReadTest, RealWorldShapes) {
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.name);
    OpmlList list;
    ASSERT_EQ(ReadOpml(shape.text, list), OpmlStatus::Ok);
    EXPECT_EQ(list.addresses, shape.addresses);
    EXPECT_EQ(list.unusable, shape.unusable);
  }
}

std::wstring Nested(size_t depth) {
  std::wstring s = L"<opml><body>";
  for (size_t i = 0; i < depth; ++i) s += L"<outline text=\"f\">";
  s += L"<outline xmlUrl=\"http://deep/\"/>";
  for (size_t i = 0; i < depth; ++i) s += L"</outline>";
  return s + L"</body></opml>";
}

std::wstring Flat(size_t count) {
  std::wstring s = L"<opml><body>";
  for (size_t i = 0; i < count; ++i) s += L"<outline xmlUrl=\"http://f/" + std::to_wstring(i) + L"\"/>";
  return s + L"</body></opml>";
}

TEST(OpmlReadTest, RefusesWhatIsNotAUsableList) {
  const struct {
    const char* name;
    std::wstring text;
    OpmlStatus status;
  } cases[] = {
      {"an RSS feed", L"<rss version=\"2.0\"><channel><title>x</title></channel></rss>", OpmlStatus::NotOpml},
      {"plain text", L"just some words", OpmlStatus::NotOpml},
      {"empty file", L"", OpmlStatus::NotOpml},
      {"unclosed element", L"<opml><body><outline xmlUrl=\"http://a/\"></body></opml>", OpmlStatus::Malformed},
      {"too many outlines", Flat(kOpmlMaxOutlines + 1), OpmlStatus::TooManyOutlines},
      {"too deep", Nested(kOpmlMaxDepth), OpmlStatus::TooDeep},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OpmlList list;
    EXPECT_EQ(ReadOpml(c.text, list), c.status);
  }
  OpmlList list;
  EXPECT_EQ(ReadOpml(Flat(kOpmlMaxOutlines), list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses.size(), kOpmlMaxOutlines);
  EXPECT_EQ(ReadOpml(Nested(kOpmlMaxDepth - 1), list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses, Addresses{L"http://deep/"});
}

TEST(OpmlWriteTest, RoundTripKeepsEveryAddressAndHidesDisabledOnes) {
  const std::vector<OpmlChannel> channels = {
      {L"\xB274\xC2A4 & \"\xC18C\xC2DD\"", L"http://n.example/rss?a=1&b=<2>"},
      {L"http://off.example/", L"#http://off.example/"},
      {L"hangul", L"http://k.example/\xD55C\xAE00/feed"},
      {L"blanks", L" http://s.example/ "},
      {L"astral", L"http://u.example/\U0001F600"},
  };
  const std::wstring written = WriteOpml(channels, L"pellora", L"Wed, 09 Dec 2026 15:00:00 GMT");
  EXPECT_NE(written.find(L"encoding=\"UTF-8\"?>\n<opml version=\"2.0\""), std::wstring::npos);
  EXPECT_NE(written.find(L"<dateCreated>Wed, 09 Dec 2026 15:00:00 GMT</dateCreated>"), std::wstring::npos);
  EXPECT_NE(written.find(L"xmlUrl=\"http://n.example/rss?a=1&amp;b=&lt;2&gt;\""), std::wstring::npos);
  EXPECT_NE(written.find(L"xmlUrl=\"&#32;http://s.example/&#32;\""), std::wstring::npos);
  // Other readers must not fetch a disabled channel.
  EXPECT_EQ(written.find(L"xmlUrl=\"#"), std::wstring::npos);

  OpmlList list;
  ASSERT_EQ(ReadOpml(written, list), OpmlStatus::Ok);
  EXPECT_EQ(list.addresses, (Addresses{L"http://n.example/rss?a=1&b=<2>", L"http://k.example/\xD55C\xAE00/feed",
                                       L" http://s.example/ ", L"http://u.example/\U0001F600",
                                       L"#http://off.example/"}));
  EXPECT_EQ(list.unusable, 0u);
}

}  // namespace
