#include <gtest/gtest.h>

#include "common/TextUtil.h"

TEST(ParseLeadingInt, ReadsLikeTheRuntimeConversion) {
  EXPECT_EQ(ParseLeadingInt(L"abc"), 0);
  EXPECT_EQ(ParseLeadingInt(L"12xyz"), 12);
  EXPECT_EQ(ParseLeadingInt(L"  \t-42"), -42);
  EXPECT_EQ(ParseLeadingInt(L"+7"), 7);
  EXPECT_EQ(ParseLeadingInt(L"- 7"), 0);
  EXPECT_EQ(ParseLeadingInt(L""), 0);
  EXPECT_EQ(ParseLeadingInt(L"99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingInt(L"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseLeadingInt(L"-99999999999"), -2147483647 - 1);
}

TEST(TrimSet, TrimsOnlyTheGivenCharactersAtBothEnds) {
  EXPECT_EQ(TrimSet(L"\r\n a b \n", L" \r\n"), L"a b");
  EXPECT_EQ(TrimSet(L"\t a \t", L" \r\n"), L"\t a \t");
  EXPECT_EQ(TrimSet(L" \r\n", L" \r\n"), L"");
}

TEST(IsWideSpace, CoversUnicodeSpacesButNotTheByteOrderMark) {
  for (wchar_t c : {L' ', L'\t', L'\n', L'\r', L'\v', L'\f', wchar_t(0xA0), wchar_t(0x3000), wchar_t(0x2003)})
    EXPECT_TRUE(IsWideSpace(c)) << int(c);
  for (wchar_t c : {L'a', L'0', wchar_t(0xFEFF), wchar_t(0x200B), wchar_t(0)})
    EXPECT_FALSE(IsWideSpace(c)) << int(c);
}
