#include <gtest/gtest.h>

#include <string>

#include "net/Crc32.h"
#include "net/Multipart.h"

TEST(Crc32, MatchesTheStandardCheckValues) {
  auto crc = [](const std::string& bytes) {
    Crc32 sum;
    sum.Update(bytes.data(), bytes.size());
    return sum.Value();
  };
  EXPECT_EQ(crc(""), 0u);
  EXPECT_EQ(crc("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc("a"), 0xE8B7BE43u);
  EXPECT_EQ(crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(crc(std::string(1, '\0')), 0xD202EF8Du);

  // Block boundaries do not matter.
  std::string data;
  for (int i = 0; i < 10000; ++i) data.push_back(static_cast<char>(i * 7 + 3));
  Crc32 pieces;
  for (size_t at = 0; at < data.size(); at += 4096)
    pieces.Update(data.data() + at, std::min<size_t>(4096, data.size() - at));
  EXPECT_EQ(pieces.Value(), crc(data));
}

TEST(Multipart, BoundaryPrintsTheLastDrawFirst) {
  EXPECT_EQ(multipart::Boundary(1, 2, 3, 4), L"0004000300020001-kestrum");
  EXPECT_EQ(multipart::Boundary(0x7fff, 0, 0xabc, 0x10), L"00100abc00007fff-kestrum");
}

TEST(Multipart, NameFollowsTheLaterSeparator) {
  EXPECT_EQ(multipart::UploadName(L"C:\\data\\in/report.xml"), L"report.xml");
  EXPECT_EQ(multipart::UploadName(L"C:/data/in\\report.xml"), L"report.xml");
  EXPECT_EQ(multipart::UploadName(L"report.xml"), L"report.xml");
  // A separator that is the first character does not count.
  EXPECT_EQ(multipart::UploadName(L"/report.xml"), L"/report.xml");
  EXPECT_EQ(multipart::UploadName(L"\\report.xml"), L"\\report.xml");
  EXPECT_EQ(multipart::UploadName(L"a/"), L"");
}

TEST(Multipart, HeadersAndBodyLayout) {
  EXPECT_EQ(multipart::RequestHeaders(L"B", L"X-One: 1\r\n"),
            L"Content-Type:multipart/form-data,boundary=B\r\nX-One: 1\r\n");
  EXPECT_EQ(multipart::Head(L"B", L"<t/>", L"f.bin", 1234, 0xabcdu),
            L"--B\r\n"
            L"Content-Type: text/xml\r\n\r\n<t/>\r\n"
            L"--B\r\n"
            L"Content-Disposition: form-data; name=\"name\"\r\n\r\nf.bin\r\n"
            L"--B\r\n"
            L"Content-Disposition: form-data; name=\"size\"\r\n\r\n1234\r\n"
            L"--B\r\n"
            L"Content-Disposition: form-data; name=\"crc32\"\r\n\r\nabcd\r\n"
            L"--B\r\n"
            L"Content-Disposition: form-data; name=\"upload\"; filename=\"f.bin\"\r\n"
            L"Content-Type: Application/octet-stream\r\n\r\n");
  EXPECT_EQ(multipart::Tail(L"B"), L"\r\n--B--\r\n");
}

TEST(Multipart, NumbersAreUnpaddedAndUnlimited) {
  auto field = [](uint64_t size, uint32_t crc) {
    const std::wstring head = multipart::Head(L"B", L"", L"n", size, crc);
    const size_t sizeAt = head.find(L"name=\"size\"\r\n\r\n") + 15;
    const size_t crcAt = head.find(L"name=\"crc32\"\r\n\r\n") + 16;
    return head.substr(sizeAt, head.find(L'\r', sizeAt) - sizeAt) + L"|" +
           head.substr(crcAt, head.find(L'\r', crcAt) - crcAt);
  };
  EXPECT_EQ(field(0, 0), L"0|0");
  EXPECT_EQ(field(5000000000ull, 0xFFFFFFFFu), L"5000000000|ffffffff");
  EXPECT_EQ(field(7, 0x0000abcdu), L"7|abcd");
}
