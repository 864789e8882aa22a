#include <gtest/gtest.h>

#include "common/Links.h"

TEST(IsWebLink, OnlyAbsoluteHttpAndHttpsAddresses) {
  for (const wchar_t* ok : {L"http://example.org/a", L"https://example.org", L"HTTPS://X.Y/", L"hTTp://a"})
    EXPECT_TRUE(IsWebLink(ok)) << ok;
  for (const wchar_t* bad : {L"", L"http://", L"https:/x", L"file:///C:/Windows/notepad.exe", L"C:\\evil.exe",
                             L"javascript:alert(1)", L" http://x", L"mailto:a@b", L"\\\\server\\share\\x.exe",
                             L"ftp://x/y", L"httpx://x"})
    EXPECT_FALSE(IsWebLink(bad)) << bad;
}
