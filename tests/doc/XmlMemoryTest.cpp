// Allocation failure in the middle of a parse: every allocation the parser makes is made
// to fail once, in turn. Each time Parse must report the memory message, leak nothing
// (LeakSanitizer checks at exit) and leave the document usable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <regex>
#include <algorithm>
#include <vector>
#include <string>

#include "doc/XmlDocument.h"

namespace {
// Allocations left before the injected failure; negative: never fail.
thread_local long allocationsBeforeFailure = -1;
// Bytes asked for so far, freed or not.
thread_local size_t allocatedBytes = 0;
}  // namespace

// GCC takes the free() below for a mismatch with the library's operator new; this file
// replaces both, on malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (allocationsBeforeFailure == 0) {
    allocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
  allocatedBytes += size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(XmlDocumentMemory, EveryAllocationFailureIsReportedAndRecovered) {
  // Big enough that the tree needs several storage blocks, one of them for a long joined
  // text of its own, so failures strike at many places in the middle of the document.
  std::wstring feed =
      L"<?xml version=\"1.0\"?>\n<rss><channel><title>T &amp; U</title>\n"
      L"<item a=\"1\" b='2'><title>x<!-- c -->y</title><link>http://a.example/</link><br/></item>";
  for (int i = 0; i < 2000; ++i)
    feed += L"<item n=\"" + std::to_wstring(i) + L"\"><title>t" + std::to_wstring(i) + L"</title><x/></item>";
  const std::wstring longText(40000, L'w');
  feed += L"<item><title><![CDATA[<b>z</b>]]></title><description>" + longText + L"<!-- -->v</description></item></channel></rss>";

  const std::wregex memoryMessage(L"\\[[1-3]:[0-9]+\\] CMemoryException error\n");
  XmlDocument doc;
  std::vector<std::wstring> messages;  // distinct
  for (long n = 0;; ++n) {
    allocationsBeforeFailure = n;
    const int result = doc.Parse(feed.c_str());
    const bool injected = allocationsBeforeFailure < 0;
    allocationsBeforeFailure = -1;
    if (!injected) {
      ASSERT_EQ(result, 0) << doc.error;
      break;
    }
    EXPECT_EQ(result, -1) << n;
    EXPECT_TRUE(std::regex_match(doc.error, memoryMessage)) << n << ": " << testing::PrintToString(doc.error);
    if (std::find(messages.begin(), messages.end(), doc.error) == messages.end()) messages.push_back(doc.error);
  }
  // Failures struck at several places in the long last line, not only before the scan.
  size_t inTheScan = 0;
  for (const std::wstring& message : messages) inTheScan += message.rfind(L"[3:", 0) == 0;
  EXPECT_GE(inTheScan, 3u) << testing::PrintToString(messages);
  EXPECT_EQ(doc.Find(L"link", nullptr, true)->text, L"http://a.example/");
  EXPECT_EQ(doc.Find(L"description", nullptr, true)->text, longText + L"v");
  EXPECT_EQ(doc.Find(L"channel", nullptr, true)->children.size(), 2003u);
}

TEST(XmlDocumentMemory, FailureAtTheFirstAllocationIsAtTheStart) {
  XmlDocument doc;
  allocationsBeforeFailure = 0;
  EXPECT_EQ(doc.Parse(L"<a>x</a>"), -1);
  allocationsBeforeFailure = -1;
  EXPECT_EQ(doc.error, L"[1:1] CMemoryException error\n");
}

// Hostile shapes whose tree grows a node per "/>" inside one tag with an open quote: each
// node is named with one more '/' and keeps the attributes seen so far. The tree must come
// out whole, and the parse must ask for storage in proportion to the text, not to the
// square of the number of closes.
TEST(XmlDocumentMemory, HostileTagsTakeStorageInProportionToTheText) {
  const size_t k = 2000;
  auto times = [](const wchar_t* piece, size_t n) {
    std::wstring out;
    for (size_t i = 0; i < n; ++i) out += piece;
    return out;
  };
  const std::wstring longName(k, L'n');
  struct Shape {
    const char* what;
    std::wstring text;
    std::wstring name;  // of the first node of the chain
    size_t attributes;  // of the first node
    bool growing;       // one attribute more at each node
  };
  const Shape shapes[] = {
      {"open quote", L"<item x=\"" + times(L"/>", k), L"item", 0, false},
      {"long name", L"<" + longName + L" x='" + times(L"/>", k), longName, 0, false},
      {"many attributes", L"<a" + times(L" b", k) + L" x=\"" + times(L"/>", k), L"a", k, false},
      {"attributes added between closes", L"<t q=\"" + times(L"/>\" y=\"", k), L"t", 0, true},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    XmlDocument doc;
    allocatedBytes = 0;
    ASSERT_EQ(doc.Parse(shape.text.c_str()), -1);
    const size_t used = allocatedBytes;
    EXPECT_EQ(doc.error, L"[1:" + std::to_wstring(shape.text.size() + 1) + L"] Tag match error\n");
    // A chain: each node the only child of the one before, named with one more slash.
    size_t depth = 0;
    for (const XmlNode* node = doc.root->children.front(); node; node = node->children.front(), ++depth) {
      ASSERT_LE(node->children.size(), 1u);
      ASSERT_EQ(node->name.find_first_not_of(L'/'), depth);
      ASSERT_EQ(node->name.substr(depth), shape.name);
      ASSERT_EQ(node->attributes.size(), shape.attributes + (shape.growing ? depth : 0));
      if (!node->attributes.empty()) {
        ASSERT_EQ(node->attributes.back().first, shape.growing ? (depth > 1 ? L"y" : L"q") : L"b");
        ASSERT_EQ(node->attributes.back().second, shape.growing ? L">" : L"");
      }
    }
    EXPECT_EQ(depth, k);
    EXPECT_LT(used, 40 * sizeof(wchar_t) * shape.text.size()) << used;
  }
}

}  // namespace

// Plain names, values and texts are shown where they stand in the text: the tree's storage
// is its nodes, far less than a copy of the characters would take.
TEST(XmlDocumentMemory, PlainStringsTakeNoStorageOfTheirOwn) {
  std::wstring text = L"<feed>";
  for (int i = 0; i < 500; ++i)
    text += L"<item id=\"" + std::wstring(100, L'v') + L"\">" + std::wstring(200, L't') + L"</item>";
  text += L"</feed>";
  XmlDocument doc;
  allocatedBytes = 0;
  ASSERT_EQ(doc.Parse(text.c_str()), 0) << doc.error;
  EXPECT_LT(allocatedBytes, text.size() * sizeof(wchar_t) / 2);
  const XmlNode* item = doc.Find(L"item", nullptr, true);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text, std::wstring(200, L't'));
  EXPECT_TRUE(item->text.data() > text.data() && item->text.data() < text.data() + text.size());
}
