#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "doc/LiteralDecode.h"
#include "doc/TextDecode.h"
#include "support/TraceCapture.h"

namespace {

struct Case {
  std::wstring input;
  std::wstring expected;
};

TEST(DecodeEntities, DecodesTheTableThenNumericReferences) {
  const Case cases[] = {
      {L"Tom &amp; Jerry", L"Tom & Jerry"},
      {L"plain text; no ampersand # here", L"plain text; no ampersand # here"},
      {L"&amp;quot;", L"\""},
      {L"&amp;amp;lt;b&amp;gt;", L"<b>"},
      {L"&copy; 2008 &reg;&trade;&nbsp;&apos;&#039;&#39;", L"\x24D2 2008 \xAE\x2122 '''"},
      {L"&AMP; &unknown; &amp", L"&AMP; &unknown; &amp"},
      {L"caf&#233;", L"caf\xE9"},
      {L"&#x41;&#X2019;&#x1F600;", L"A\x2019\xD83D\xDE00"},
      // A "&#" that starts no reference stays as written.
      {L"a &# b; c", L"a &# b; c"},
      {L"&#  65;&#+66;&#0;x&#65abc;&#x;&#xG1;&#;", L"&#  65;&#+66;x&#65abc;&#x;&#xG1;&#;"},
      {L"&#65", L"&#65"},
      {L"&#128512;", L"\xD83D\xDE00"},
      {L"&#55357;&#56832;", L"\xD83D\xDE00"},
      {L"&#65536;&#1114111;", L"\xD800\xDC00\xDBFF\xDFFF"},
      {L"&#1114112;&#-65471;&#99999999999;&#x110000;", L"\xFFFD&#-65471;\xFFFD\xFFFD"},
      // HTML 4 entities after the program's own table, which keeps its choices.
      {L"&mdash;&hellip;&rsquo;&eacute;&Omega;&euro;&thetasym;", L"\x2014\x2026\x2019\xE9\x3A9\x20AC\x3D1"},
      {L"&copy;&nbsp;&amp;eacute;&Eacute;&EACUTE;", L"\x24D2 \xE9\xC9&EACUTE;"},
      // Replacements combine with the text around them.
      {L"&#38;#38;#38;", L"&"},
      {L"&&#35;65;", L"A"},
      {L"&#38;amp;", L"&amp;"},
      {L"&#35;&#59;&#38;#59;", L"#;;"},
      {L"&#&#51;8;", L"&"},
      {L"&#x&#52;1;", L"A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeEntities(c.input), c.expected) << c.input;
    EXPECT_EQ(LiteralDecodeEntities(c.input), c.expected) << c.input;
  }
}

// Random texts dense in the characters that matter, compared with the naive decoder.
TEST(DecodeEntities, EqualsTheNaiveRepeatedReplacement) {
  const std::vector<std::wstring> pieces = {
      L"&", L"#", L";", L"amp;", L"&amp;", L"&#38;", L"&#35;", L"&#59;", L"lt;", L"&#", L"3", L"8",
      L"5", L"9", L"0", L" ", L"-", L"x", L"#39;", L"&#039;", L"quot;", L"&#128512;", L"\xD55C",
      L"&#x", L"X", L"A", L"f", L"&#120;", L"&#x26;", L"&eacute;", L"mdash;", L"&#x3B;"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 20000; ++round) {
    std::wstring text;
    const int count = std::uniform_int_distribution<int>(0, 24)(random);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    ASSERT_EQ(DecodeEntities(text), LiteralDecodeEntities(text)) << text;
  }
}

TEST(DecodeEntities, TracesEachNumericReferenceExactlyLikeTheNaiveDecoder) {
  TraceCapture capture;
  EXPECT_EQ(DecodeEntities(L"a&#65;b&#66;"), L"aAbB");
  EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{L"1 5 a&#65;b&#66;\n", L"3 7 aAb&#66;\n"}));
  for (const wchar_t* text : {L"&&&#35;35;35;x", L"&#38;#38;#59;;", L"&amp;#38;&#3 8;", L"&#x&#52;1;&#x3b;"}) {
    capture.Clear();
    const std::wstring fast = DecodeEntities(text);
    const std::vector<std::wstring> fastLines = capture.Lines();
    capture.Clear();
    EXPECT_EQ(fast, LiteralDecodeEntities(text));
    EXPECT_EQ(fastLines, capture.Lines()) << text;
  }
}

// Texts that make the naive decoder quadratic. Nobody listens to the trace here, so it must
// not be built either.
TEST(DecodeEntities, HostileTextsTakeLinearTime) {
  const size_t n = 250000;
  std::wstring amps = L"&";
  for (size_t i = 0; i < n; ++i) amps += L"amp;";
  std::wstring references;
  for (size_t i = 0; i < 100000; ++i) references += L"&#65;";
  std::wstring backwards(n, L'&');
  backwards += L"#35;";
  for (size_t i = 1; i < n; ++i) backwards += L"35;";
  std::wstring forwards = L"&#38;";
  for (size_t i = 0; i < n; ++i) forwards += L"#38;";

  const std::wstring* inputs[] = {&amps, &references, &backwards, &forwards};
  std::wstring results[4];
  for (int k = 0; k < 4; ++k) {
    const auto start = std::chrono::steady_clock::now();
    results[k] = DecodeEntities(*inputs[k]);
    // Tens of milliseconds optimised; generous for a sanitized debug build on a busy
    // machine. The naive way takes minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << k;
  }
  EXPECT_EQ(results[0], L"&");
  EXPECT_EQ(results[1], std::wstring(100000, L'A'));
  EXPECT_EQ(results[2], L"#");
  EXPECT_EQ(results[3], L"&");
}

TEST(StringTokenizer, SkipsRunsOfDelimiters) {
  StringTokenizer words(L"  red  %20blue ");
  EXPECT_EQ(words.NextToken(L" "), L"red");
  EXPECT_EQ(words.Remaining(), L"%20blue ");
  EXPECT_EQ(words.NextToken(L" "), L"%20blue");
  EXPECT_EQ(words.Remaining(), L"");
  EXPECT_EQ(words.NextToken(L" "), L"");

  StringTokenizer reply(L"2.5.0 http://example.org/x notice\r\n");
  EXPECT_EQ(reply.NextToken(L" \r\n"), L"2.5.0");
  EXPECT_EQ(reply.NextToken(L" \r\n"), L"http://example.org/x");
  EXPECT_EQ(reply.NextToken(L" \r\n"), L"notice");
  EXPECT_EQ(reply.NextToken(L" \r\n"), L"");

  StringTokenizer mixed(L"a,b;;c");
  EXPECT_EQ(mixed.NextToken(L","), L"a");
  EXPECT_EQ(mixed.NextToken(L";"), L"b");
  EXPECT_EQ(mixed.Remaining(), L"c");
  EXPECT_EQ(mixed.NextToken(L""), L"c");
  EXPECT_EQ(mixed.NextToken(L" "), L"");
}

}  // namespace
