#include <gtest/gtest.h>

#include <string>

#include "net/FeedEncoding.h"

using namespace std::string_literals;

TEST(FeedEncoding, DeclarationPicksTheCodePage) {
  struct Case {
    std::string document;
    unsigned codePage;
  };
  const Case cases[] = {
      {R"(<?xml version="1.0" encoding="utf-8"?><rss/>)", 65001},
      {R"(<?xml version='1.0' encoding='SHIFT-JIS'?><rss/>)", 932},
      {R"(<?xml version="1.0" encoding=euc-kr?><rss/>)", 949},
      {R"(<?xml version="1.0" ENCODING="Windows-31J"?>)", 932},
      {R"(<?xml encoding="big5"?>)", 950},
      {R"(<?xml encoding="UTF-7"?>)", 65000},
      // The table name only has to start the declared text.
      {R"(<?xml encoding="big5-hkscs"?>)", 950},
      {R"(<?xml encoding="utf-8x"?>)", 65001},
      // Registered names and aliases, whole; Latin-1 and ASCII as windows-1252.
      {R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", 1252},
      {R"(<?xml version="1.0" encoding='us-ascii'?>)", 1252},
      {R"(<?xml version="1.0" encoding="windows-1251"?>)", 1251},
      {R"(<?xml encoding="KOI8-R" standalone="yes"?>)", 20866},
      {R"(<?xml version="1.0" encoding="ks_c_5601-1987"?>)", 949},
      {R"(<?xml encoding="Shift_JIS"?>)", 932},
      {R"(<?xml encoding="GB2312"?>)", 936},
      {R"(<?xml encoding="gb18030"?>)", 54936},
      {R"(<?xml encoding="EUC-JP"?>)", 20932},
      {R"(<?xml encoding="iso-8859-15"?>)", 28605},
      // Unknown names, and names only begun: no code page (the feed gets an empty text).
      {R"(<?xml version="1.0" encoding="euc_kr"?>)", 0},
      {R"(<?xml version="1.0" encoding="iso-8859-1x"?>)", 0},
      {R"(<?xml version="1.0" encoding="x-unknown"?>)", 0},
      {R"(<?xml version="1.0" encoding=?>)", 0},
      // No declaration, or none with an encoding: UTF-8 when the bytes are, else CP949.
      {"<rss version=\"2.0\"></rss>", 65001},
      {"<rss>\xED\x95\x9C\xEA\xB8\x80</rss>", 65001},
      {"<rss>\xC7\xD1\xB1\xDB</rss>", 949},
      {"<rss>\xC0\xAF</rss>", 949},        // an overlong form is not UTF-8
      {"<rss>\xED\xA0\x80</rss>", 949},   // nor is a surrogate
      {"<rss>\xED\x95</rss>", 949},        // nor a cut sequence
      {R"(<?xml version="1.0"?><rss/>)", 65001},
      {"", 65001},
      // Only the stretch from the first "<?" to the first "?>" is searched.
      {R"(<?xml version="1.0"?><?other encoding="big5"?>)", 65001},
      {R"(?><?xml encoding="big5"?>)", 65001},
      // The document ends at its first zero byte.
      {"<?xml version=\"1.0\"\0 encoding=\"big5\"?>"s, 65001},
      {"<?xml encoding=\"utf-8\"?>\0<?x encoding=\"big5\"?>"s, 65001},
      {"<rss>\0\xC7\xD1</rss>"s, 65001},
      // A UTF-8 mark wins over a declaration.
      {"\xEF\xBB\xBF<?xml encoding=\"euc-kr\"?>"s, 65001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    EXPECT_EQ(FeedCodePage(c.document), c.codePage);
  }
}

TEST(FeedEncoding, DeclaredTextStartsAfterOneQuote) {
  EXPECT_EQ(DeclaredEncoding(R"(<?xml encoding="utf-8"?>)"), R"(utf-8"?>)");
  EXPECT_EQ(DeclaredEncoding(R"(<?xml encoding='x'?>)"), R"(x'?>)");
  EXPECT_EQ(DeclaredEncoding(R"(<?xml encoding=""x"?>)"), R"("x"?>)");
  EXPECT_EQ(DeclaredEncoding("<?xml encoding=\"utf-8\"?>\0tail"s), "utf-8\"?>");
  EXPECT_EQ(DeclaredEncoding("<x/>"), "");
}

TEST(FeedEncoding, ByteOrderMarksAndUnmarkedUtf16) {
  struct Case {
    std::string document;
    FeedDecoding::Kind kind;
    size_t skip;
    std::u16string text;
  };
  using Kind = FeedDecoding::Kind;
  const Case cases[] = {
      {"\xFF\xFE<\0\x5C\xD5?\0"s, Kind::Utf16Le, 2, u"<\uD55C?"},
      {"\xFE\xFF\0<\xD5\x5C\0?"s, Kind::Utf16Be, 2, u"<\uD55C?"},
      {"<\0?\0x\0m\0l\0"s, Kind::Utf16Le, 0, u"<?xml"},
      {"\0<\0?\0x"s, Kind::Utf16Be, 0, u"<?x"},
      // The first zero unit ends the text; a zero byte that is half a unit does not.
      {"\xFF\xFE" "a\0b\0\0\0c\0"s, Kind::Utf16Le, 2, u"ab"},
      {"\xFF\xFE\0\x01"s, Kind::Utf16Le, 2, u"\u0100"},
      // An odd last byte is the low half of a last unit.
      {"\xFF\xFE" "a\0b"s, Kind::Utf16Le, 2, u"ab"},
      {"\xFF\xFE"s, Kind::Utf16Le, 2, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    const FeedDecoding decoding = DetectFeedEncoding(c.document);
    EXPECT_EQ(decoding.kind, c.kind);
    EXPECT_EQ(decoding.skip, c.skip);
    EXPECT_EQ(Utf16Text(c.document, c.kind == Kind::Utf16Be, decoding.skip), c.text);
  }
  const FeedDecoding utf8 = DetectFeedEncoding("\xEF\xBB\xBF<rss/>");
  EXPECT_EQ(utf8.kind, Kind::CodePage);
  EXPECT_EQ(utf8.codePage, 65001u);
  EXPECT_EQ(utf8.skip, 3u);
  const FeedDecoding unknown = DetectFeedEncoding(R"(<?xml encoding="x-klingon"?>)");
  EXPECT_EQ(unknown.kind, Kind::Unknown);
  EXPECT_EQ(unknown.name, "x-klingon");
}
