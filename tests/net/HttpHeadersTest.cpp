#include <gtest/gtest.h>

#include <string>

#include "net/FeedEncoding.h"
#include "net/HttpHeaders.h"

namespace {
constexpr int64_t kNow = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
}

TEST(HttpHeaders, HttpDatesInTheThreeFormsAndNothingElse) {
  struct Case {
    const char* text;
    int64_t expected;  // -1: not a date
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", kNow},
      {"Sunday, 06-Nov-94 08:49:37 GMT", kNow},
      {"Sun Nov  6 08:49:37 1994", kNow},
      {"  Thu, 01 Jan 1970 00:00:00 GMT ", 0},
      {"Tue, 29 Feb 2028 23:59:59 GMT", 1835481599},
      {"Sun, 06 Nov 1994 08:49:37 PST", -1},
      {"Sun, 32 Nov 1994 08:49:37 GMT", -1},
      {"Sun, 06 Foo 1994 08:49:37 GMT", -1},
      {"Sun, 06 Nov 1994 24:00:00 GMT", -1},
      {"Sun, 06 Nov 1994", -1},
      {"06 Nov 1994 08:49:37 GMT", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseHttpDate(c.text);
    if (c.expected < 0)
      EXPECT_FALSE(parsed) << c.text;
    else
      EXPECT_EQ(parsed.value_or(-1), c.expected) << c.text;
  }
}

TEST(HttpHeaders, RetryAfterIsSecondsOrADateCutToADayAndIgnoredWhenBad) {
  struct Case {
    const char* value;
    int64_t expected;  // -1: ignored
  } cases[] = {
      {"120", 120},
      {" 0 ", 0},
      {"86400", 86400},
      {"86401", 86400},
      {"999999999999999999999999", 86400},
      {"Sun, 06 Nov 1994 09:49:37 GMT", 3600},
      {"Sun, 06 Nov 1994 07:49:37 GMT", 0},  // in the past: no wait
      {"Mon, 06 Nov 1995 08:49:37 GMT", 86400},
      {"-5", -1},
      {"12abc", -1},
      {"1.5", -1},
      {"soon", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    const auto seconds = RetryAfterSeconds(c.value, kNow);
    if (c.expected < 0)
      EXPECT_FALSE(seconds) << c.value;
    else
      EXPECT_EQ(seconds.value_or(12345), c.expected) << c.value;
  }
}

TEST(HttpHeaders, CharsetOfContentTypeAndTheOrderOfEncodings) {
  EXPECT_EQ(ContentTypeCharset("text/xml; charset=EUC-KR"), "EUC-KR");
  EXPECT_EQ(ContentTypeCharset("application/rss+xml;Charset=\"windows-1252\" ; q=1"), "windows-1252");
  EXPECT_EQ(ContentTypeCharset("text/xml; format=flowed; charset='utf-8'"), "utf-8");
  EXPECT_EQ(ContentTypeCharset("text/xml"), "");
  EXPECT_EQ(ContentTypeCharset("text/xml; charsets=utf-8"), "");

  // A mark, then the declaration, then the header, then the undeclared rule.
  EXPECT_EQ(DetectFeedEncoding("\xEF\xBB\xBF<r/>", "windows-1252").codePage, 65001u);
  EXPECT_EQ(DetectFeedEncoding("<?xml encoding=\"euc-kr\"?><r/>", "windows-1252").codePage, 949u);
  EXPECT_EQ(DetectFeedEncoding("<r>caf\xE9</r>", "windows-1252").codePage, 1252u);
  EXPECT_EQ(DetectFeedEncoding("<r>caf\xE9</r>", "x-unknown").codePage, 949u);
  EXPECT_EQ(DetectFeedEncoding("<r>caf\xC3\xA9</r>", "").codePage, 65001u);
}

TEST(HttpHeaders, OnlyShortPrintableValuesAreSentBack) {
  EXPECT_TRUE(IsSendableHeaderValue(L"\"abc\""));
  EXPECT_TRUE(IsSendableHeaderValue(L"W/\"x y\""));
  EXPECT_TRUE(IsSendableHeaderValue(std::wstring(kMaxHeaderValueChars, L'a')));
  EXPECT_FALSE(IsSendableHeaderValue(std::wstring(kMaxHeaderValueChars + 1, L'a')));
  EXPECT_FALSE(IsSendableHeaderValue(L""));
  EXPECT_FALSE(IsSendableHeaderValue(L"\"a\"\r\nX-Evil: 1"));
  EXPECT_FALSE(IsSendableHeaderValue(L"a\tb"));
}
