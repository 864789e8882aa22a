#include <gtest/gtest.h>

#include <string>

#include "net/FeedEncoding.h"
#include "net/HttpHeaders.h"

TEST(HttpHeaders, RetryAfterIsSecondsOrAnHttpDateCutToADayAndIgnoredWhenBad) {
  constexpr int64_t kNow = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  const struct {
    const char* value;
    int64_t seconds;  // -1: ignored
  } cases[] = {
      {"120", 120}, {" 0 ", 0}, {"86401", 86400}, {"999999999999999999999999", 86400},
      {"Sun, 06 Nov 1994 09:49:37 GMT", 3600}, {"Sunday, 06-Nov-94 08:50:37 GMT", 60},
      {"Sun Nov  6 08:51:37 1994", 120}, {"Sun, 06 Nov 1994 07:49:37 GMT", 0},  // past: no wait
      {"Fri, 31 Dec 9999 23:59:59 GMT", 86400}, {"-5", -1}, {"12abc", -1}, {"1.5", -1}, {"soon", -1}, {"", -1},
      {"Sun, 06 Nov 1994 08:49:37 PST", -1}, {"Sun, 32 Nov 1994 08:49:37 GMT", -1},
      {"Sun, 06 Nov 1994 24:00:00 GMT", -1}, {"Sun, 06 Nov 1994", -1},
  };
  for (const auto& c : cases) {
    const auto seconds = RetryAfterSeconds(c.value, kNow);
    EXPECT_EQ(seconds ? int64_t(*seconds) : -1, c.seconds) << c.value;
  }
  EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2028 23:59:59 GMT").value_or(0), 1835481599);
}

TEST(HttpHeaders, TheAnswersCharsetComesAfterTheMarkAndTheDeclaration) {
  EXPECT_EQ(ContentTypeCharset("text/xml; charset=EUC-KR"), "EUC-KR");
  EXPECT_EQ(ContentTypeCharset("application/rss+xml;Charset=\"windows-1252\" ; q=1"), "windows-1252");
  EXPECT_EQ(ContentTypeCharset("text/xml; charsets=utf-8"), "");
  EXPECT_EQ(DetectFeedEncoding("\xEF\xBB\xBF<r/>", "windows-1252").codePage, 65001u);
  EXPECT_EQ(DetectFeedEncoding("<?xml encoding=\"euc-kr\"?><r/>", "windows-1252").codePage, 949u);
  EXPECT_EQ(DetectFeedEncoding("<r>caf\xE9</r>", "windows-1252").codePage, 1252u);
  EXPECT_EQ(DetectFeedEncoding("<r>caf\xE9</r>", "x-unknown").codePage, 949u);
  // Only a short, printable validator is sent back: a CR LF would add a header.
  EXPECT_TRUE(IsSendableHeaderValue(L"W/\"x y\""));
  EXPECT_FALSE(IsSendableHeaderValue(std::wstring(kMaxHeaderValueChars + 1, L'a')));
  EXPECT_FALSE(IsSendableHeaderValue(L"\"a\"\r\nX-Evil: 1"));
}
