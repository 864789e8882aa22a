#include <gtest/gtest.h>

#include "support/TraceCapture.h"

TEST(DebugTrace, FormatsWideAndNarrowArgumentsIntoOneLine) {
  TraceCapture capture;
  EXPECT_TRUE(DebugTraceActive());
  DebugTrace(L"Connect error : %ls:%ls\n", L"example.org", L"8080");
  DebugTrace(L"%d %d %ls\n", 3, -7, L"\xD55C\xAE00");
  ASSERT_EQ(capture.Lines().size(), 2u);
  EXPECT_EQ(capture.Lines()[0], L"Connect error : example.org:8080\n");
  EXPECT_EQ(capture.Lines()[1], L"3 -7 \xD55C\xAE00\n");
}

TEST(DebugTrace, LongLinesAreNotCut) {
  TraceCapture capture;
  std::wstring big(5000, L'x');
  DebugTrace(L"[%ls]\n", big.c_str());
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Lines()[0], L"[" + big + L"]\n");
}
