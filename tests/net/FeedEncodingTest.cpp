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
      // Outside the table: no code page (the feed gets an empty text).
      {R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", 0},
      {R"(<?xml version="1.0" encoding="ks_c_5601-1987"?>)", 0},
      {R"(<?xml version="1.0" encoding="euc_kr"?>)", 0},
      {R"(<?xml version="1.0" encoding=?>)", 0},
      // No declaration, or none with an encoding: euc-kr.
      {"<rss version=\"2.0\"></rss>", 949},
      {R"(<?xml version="1.0"?><rss/>)", 949},
      {"", 949},
      // Only the stretch from the first "<?" to the first "?>" is searched.
      {R"(<?xml version="1.0"?><?other encoding="utf-8"?>)", 949},
      {R"(<rss encoding="utf-8"><?pi?>)", 949},
      {R"(?><?xml encoding="utf-8"?>)", 949},
      {R"(<?xml version="1.0" encoding="utf-8")", 949},
      // The document ends at its first zero byte.
      {"<?xml version=\"1.0\"\0 encoding=\"utf-8\"?>"s, 949},
      {"<?xml encoding=\"utf-8\"?>\0<?x encoding=\"big5\"?>"s, 65001},
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
  EXPECT_EQ(DeclaredEncoding("<x/>"), "euc-kr");
}

TEST(FeedEncoding, Utf16LeTextAfterTheMark) {
  EXPECT_TRUE(HasUtf16LeMark("\xFF\xFE"s));
  EXPECT_FALSE(HasUtf16LeMark("\xFE\xFF<\0"s));
  EXPECT_FALSE(HasUtf16LeMark("\xFF"s));
  EXPECT_EQ(Utf16LeAfterMark("\xFF\xFE<\0\x5C\xD5?\0"s), u"<\uD55C?");
  // The first zero unit ends the text; a zero byte that is half a unit does not.
  EXPECT_EQ(Utf16LeAfterMark("\xFF\xFE" "a\0b\0\0\0c\0"s), u"ab");
  EXPECT_EQ(Utf16LeAfterMark("\xFF\xFE\0\x01"s), u"\u0100");
  // An odd last byte is the low half of a last unit.
  EXPECT_EQ(Utf16LeAfterMark("\xFF\xFE" "a\0b"s), u"ab");
  EXPECT_EQ(Utf16LeAfterMark("\xFF\xFE"s), u"");
  EXPECT_EQ(Utf16LeAfterMark("no mark"s), u"");
}
