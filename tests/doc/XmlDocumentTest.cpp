#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "doc/XmlDocument.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace {

// Compact picture of a subtree: name[attr=value,...]{text}(children...).
std::wstring Dump(const XmlNode* node) {
  std::wstring out(node->name);
  if (!node->attributes.empty()) {
    out += L'[';
    for (size_t i = 0; i < node->attributes.size(); ++i)
      out.append(i ? L"," : L"").append(node->attributes[i].first).append(L"=").append(node->attributes[i].second);
    out += L']';
  }
  if (!node->text.empty()) out.append(L"{").append(node->text).append(L"}");
  if (!node->children.empty()) {
    out += L'(';
    for (const XmlNode* child : node->children) {
      EXPECT_EQ(child->parent, node);
      out += (out.back() == L'(' ? L"" : L" ") + Dump(child);
    }
    out += L')';
  }
  return out;
}

std::wstring ParseToDump(const std::wstring& text) {
  XmlDocument doc;
  if (doc.Parse(text.c_str()) != 0) return L"failed: " + doc.error;
  EXPECT_EQ(doc.error, L"");
  EXPECT_EQ(doc.root->parent, nullptr);
  EXPECT_EQ(doc.root->name, L"");
  return Dump(doc.root);
}

struct Case {
  const wchar_t* input;
  const wchar_t* expected;
};

TEST(XmlDocumentParse, BuildsTheTreeWithTheTextRule) {
  const Case cases[] = {
      {L"", L""},
      {L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>A</title></channel></rss>",
       L"(?xml[version=1.0,encoding=utf-8] rss(channel(title{A})))"},
      {L"<a>x</A>", L"(a{x})"},
      {L"<RSS></rss>", L"(RSS)"},
      {L"<a><b/></a>", L"(a(b))"},
      {L"<a>1<b>2</b>3</a>", L"(a{1}(b{2}))"},
      // Overwritten at each later child; the tail only when nothing else is left.
      {L"<a> <b>1</b> mid <c>2</c> </a>", L"(a{mid}(b{1} c{2}))"},
      {L"<a><b>1</b> tail </a>", L"(a{tail}(b{1}))"},
      // A self-closing element takes the text pending before it.
      {L"<a>lead<b/>rest</a>", L"(a{rest}(b{lead}))"},
      {L"<a>  <![CDATA[<p>&amp;</p>]]>  </a>", L"(a{<p>&amp;</p>})"},
      {L"<a>x<!-- <b>note</b> -->y</a>", L"(a{xy})"},
      {L"<a>x<![CDATA[]]>y</a>", L"(a{xy})"},
      {L"<title>a > b = \"c\" / d? 'e'</title>", L"(title{a > b = \"c\" / d? 'e'})"},
      {L"<a>\x3000\xA0x y\t\r\n</a>", L"(a{x y})"},
      {L"\xFEFF<a>\xFEFFx</a>", L"{\xFEFF}(a{\xFEFFx})"},  // text before the element belongs to the document node
      {L"<a/>tail", L"(a)"},
      {L"<a><!ELEMENT x><?pi data><b/></a>", L"(a(!ELEMENT[x=] ?pi[data=] b))"},
      // A document type declaration is skipped whole and is not the document's element.
      {L"<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
       L" \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n<rss><channel/></rss>",
       L"(!DOCTYPE rss(channel))"},
      {L"<?xml version=\"1.0\"?><!doctype rss [ <!ENTITY e \"a>b\"> <!-- ] > ' --> ]><rss/>",
       L"(?xml[version=1.0] !DOCTYPE rss)"},
      // Inside an open quote each "/>" makes a node, named with one more '/', that takes
      // the attributes so far; the tag's end then closes the last of them.
      {L"<item x=\"/>/>\"></item>", L"(item(/item[x=>>]))"},
      {L"<A x=\"/>/>/>\"><//a></a>", L"(A(/A(//A[x=>>>])))"},
      {L"<a b x=\"/>/>\" c/><//a></a>", L"(a[b=](/a[b=](//a[b=,x=>>,c=])))"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseToDump(c.input), c.expected) << c.input;
}

TEST(XmlDocumentParse, ReadsAttributesInOrder) {
  const Case cases[] = {
      {L"<a x=\"1\" y='two words' z=bare flag q=\"a'b\">t</a>", L"(a[x=1,y=two words,z=bare,flag=,q=a'b]{t})"},
      {L"<a x=\"p<q>=r/\"></a>", L"(a[x=p<q>=r/])"},
      {L"<a\n\tx=\"1\"\r\n/>", L"(a[x=1])"},
      {L"<a><b x='1'/></a>", L"(a(b[x=1]))"},
      {L"<a><br clear/></a>", L"(a(br[clear=]))"},
      {L"<a flag></a>", L"(a[flag=])"},
      {L"<a <!-- c -->x=\"1\"></a>", L"(a[x=1])"},
      {L"<a x=\"\"></a>", L"(a[x=])"},
      // Attributes on an end tag replace those of the element.
      {L"<a x=\"1\">t</a y=\"2\">", L"(a[y=2]{t})"},
      {L"<a x=1=2></a>", L"(a[1=2])"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseToDump(c.input), c.expected) << c.input;
}

TEST(XmlDocumentParse, ReportsEachErrorWhereTheScanStopped) {
  const Case cases[] = {
      {L"<a>x</b>", L"[1:8] End tag match error\n"},
      {L"</a>", L"[1:4] End tag match error\n"},
      {L"<a>x<!-- note </a>", L"[1:9] End tag match error\n"},
      {L"<a><![CDATA[x</a>", L"[1:13] End tag match error\n"},
      {L"<a?>", L"[1:3] End tag match error\n"},
      {L"<a></a><b></b>", L"[1:10] Root tag duplicate error\n"},
      {L"<!ENTITY x><a></a>", L"[1:14] Root tag duplicate error\n"},
      {L"<!DOCTYPE rss [ <!ENTITY x \"]>\"> ><rss/>", L"[1:10] End tag match error\n"},
      {L"<a><!DOCTYPE b \"x>", L"[1:13] End tag match error\n"},
      {L"<a/><b/>", L"[1:7] Root tag duplicate error\n"},
      {L"<a/><?pi?>", L"[1:9] Root tag duplicate error\n"},
      {L"<a>", L"[1:4] Tag match error\n"},
      {L"<a x=\"1", L"[1:8] Tag match error\n"},
      {L"<>", L"[1:2] Blank tag error\n"},
      {L"<a>\n<>", L"[2:2] Blank tag error\n"},
      {L"< a>", L"[1:2] Invalid charater error\n"},
      {L"<\na>", L"[1:2] Invalid charater error\n"},
      {L"<a =1>", L"[1:4] Invalid charater error\n"},
      {L"<a b =\"1\">", L"[1:6] Invalid charater error\n"},
      {L"<a b= \"1\">", L"[1:7] Invalid charater error\n"},
      {L"<a \"x\">", L"[1:4] Invalid charater error\n"},
      {L"<a b=\"x\"y\">", L"[1:11] Invalid charater error\n"},
      {L"<a b=\"x\"y\" c>", L"[1:11] Invalid charater error\n"},
      // A run of quotes is taken at once; what follows it is judged as before.
      {L"<a x=\"\"\"\" y=1>t</a>", L"[1:10] Invalid charater error\n"},
      {L"<a x='\"\"'''\"' y>t</a>", L"[1:14] Invalid charater error\n"},
      {L"<a <b>", L"[1:4] Start tag match error\n"},
      {L"</>", L"[1:2] Start tag match error\n"},
      // Lines and columns run through comments and CDATA like everywhere else.
      {L"<a><!--\n\n--><![CDATA[\nx]]>\n</b>", L"[5:4] End tag match error\n"},
      {L"<a>\r\n  <b>\xD55C\xAE00</c>", L"[2:11] End tag match error\n"},
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    EXPECT_EQ(doc.Parse(c.input), -1) << c.input;
    EXPECT_EQ(doc.error, c.expected) << c.input;
  }
}

// Below the document's element the common forms take a quicker road: end tags compared
// with the open element's name, text pieces kept as spans of the input, declarations of
// the plain form, and a search for '<' that may run to the end of the text. The results,
// errors and their places included, are those of the general steps.
TEST(XmlDocumentParse, QuickRoadAgreesWithTheGeneralSteps) {
  const Case cases[] = {
      {L"<r><Item>x</ITEM><abcdefghij>y</abcdefghij></r>", L"(r(Item{x} abcdefghij{y}))"},
      {L"<r><a>   <!-- c -->  long text here <!-- d --> more</a></r>", L"(r(a{long text here  more}))"},
      {L"<r><a>x<!-- -->   <!-- -->y</a></r>", L"(r(a{x   y}))"},
      {L"<r><a>  <![CDATA[ body ]]>  </a><b>x<![CDATA[y]]>z</b></r>", L"(r(a{body} b{xyz}))"},
      {L"<r>lead<?pi a='1' b=\"2\"?>tail text after it</r>", L"(r{tail text after it}(?pi[a=1,b=2]{lead}))"},
      {L"<r><a x=\"1\"/>some longer text</r>", L"(r{some longer text}(a[x=1]))"},
      {L"<r/>\na tail longer than a few characters", L"(r)"},
      {L"<r><ab>x</abc></r>", L"failed: [1:14] End tag match error\n"},
      {L"<r><abc>x</ab></r>", L"failed: [1:14] End tag match error\n"},
      {L"<r><a>text that runs to the end", L"failed: [1:32] Tag match error\n"},
      {L"<r>\n<a>x</a>\nmore text without an end", L"failed: [3:25] Tag match error\n"},
      // The name compared at once must not be read past the end of the text.
      {L"<r><abc>x</ab", L"failed: [1:14] Tag match error\n"},
      {L"<r><abc>x</abc", L"failed: [1:15] Tag match error\n"},
      {L"<r><a>x<!-- never closed", L"failed: [1:12] End tag match error\n"},
      {L"<r><a><![CDATA[x", L"failed: [1:16] End tag match error\n"},
      // Declarations: only "<?name ...?>" is the plain form; the others keep their ways.
      {L"<r><?" L"?></r>", L"(r(?))"},
      {L"<r><?pi x=\"1\"/></r>", L"(r(?pi[x=1]))"},
      {L"<r><?pi x=\"1\">t</r>", L"(r{t}(?pi[x=1]))"},
      {L"<r><?pi  x='1'\n?>t</r>", L"(r{t}(?pi[x=1]))"},
      {L"<r><a x=\"p>q\" y='a\"b'>t</a></r>", L"(r(a[x=p>q,y=a\"b]{t}))"},
      {L"<r><a x='1'y='2'/></r>", L"failed: [1:18] Invalid charater error\n"},
      {L"<r><a x='1' />t</r>", L"(r{t}(a[x=1]))"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseToDump(c.input), c.expected) << c.input;

  // Sixteen attributes take the quick road, a seventeenth the general steps.
  for (int extra = 0; extra <= 1; ++extra) {
    std::wstring text = L"<r><e", expected = L"(r(e[";
    for (int i = 0; i < 16 + extra; ++i) {
      text += L" a" + std::to_wstring(i) + L"='" + std::to_wstring(i) + L"'";
      expected += (i ? L",a" : L"a") + std::to_wstring(i) + L"=" + std::to_wstring(i);
    }
    EXPECT_EQ(ParseToDump(text + L">t</e></r>"), expected + L"]{t}))") << extra;
  }
}

// The searches for '<', '>' and the ends of names read the text in aligned blocks: every
// position of a run's end within a block, the text starting anywhere in one, and what lies
// past the NUL in the last block ('<' and '>' here) never taken for the text.
TEST(XmlDocumentParse, FindsEachTagAndTheEndWhereverTheyLieInMemory) {
  for (size_t n = 0; n <= 40; ++n) {
    const std::wstring run(n, L'x'), digits(n, L'9');
    const std::wstring withText = n ? L"{" + run + L"}" : L"";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"<r><a>" + run + L"</a></r>", L"(r(a" + withText + L"))"},
        {L"<r><!--" + run + L"--><a/></r>", L"(r(a))"},
        {L"<r><a><![CDATA[" + run + L"]]></a></r>", L"(r(a" + withText + L"))"},
        {L"<r><a>" + run, L"failed: [1:" + std::to_wstring(7 + n) + L"] Tag match error\n"},
        // Names of characters below '@' that do not end them, like the ones that do.
        {L"<r><d:" + digits + L" d-" + digits + L"='v'/></r>", L"(r(d:" + digits + L"[d-" + digits + L"=v]))"},
    };
    for (const auto& [text, expected] : cases) {
      for (size_t shift = 0; shift < 8; ++shift) {
        std::wstring memory(shift, L' ');
        memory += text;
        memory += L'\0';
        memory.append(32, L'<').append(32, L'>');
        XmlDocument doc;
        const std::wstring got = doc.Parse(memory.c_str() + shift) == 0 ? Dump(doc.root) : L"failed: " + doc.error;
        EXPECT_EQ(got, expected) << text << L" at " << shift;
      }
    }
  }
}

// Two pages, the second of which may not be touched: a text that ends at the end of the
// first shows whether a search ever reads into the next page.
class PageEnd {
 public:
  static constexpr size_t kPage = 4096;
  PageEnd() {
#if defined(_WIN32)
    base_ = static_cast<char*>(::VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    if (base_) ::VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
#else
    void* at = ::mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = at == MAP_FAILED ? nullptr : static_cast<char*>(at);
    if (base_) ::mprotect(base_ + kPage, kPage, PROT_NONE);
#endif
  }
  ~PageEnd() {
#if defined(_WIN32)
    if (base_) ::VirtualFree(base_, 0, MEM_RELEASE);
#else
    if (base_) ::munmap(base_, 2 * kPage);
#endif
  }
  // `text` and its NUL placed so that `after` characters ('>') follow them to the page's end.
  const wchar_t* Place(const std::wstring& text, size_t after) {
    auto* end = reinterpret_cast<wchar_t*>(base_ + kPage);
    std::fill(end - after, end, L'>');
    wchar_t* at = end - after - text.size() - 1;
    std::memcpy(at, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return at;
  }
  explicit operator bool() const { return base_ != nullptr; }

 private:
  char* base_ = nullptr;
};

// A text whose end lies at the end of its memory: every read stays inside it, whatever
// the search (a tag's start, a name's end, an end tag compared at once, a comment's end).
TEST(XmlDocumentParse, ReadsNothingPastThePageTheTextEndsIn) {
  PageEnd memory;
  ASSERT_TRUE(memory);
  const wchar_t* const texts[] = {
      L"<r><abcdefgh>x</abcdefgh></r>", L"<r><abcdefgh>x</abcdefgh>", L"<r><abcdefgh>x</abcdefg",
      L"<r><abc>x</abc", L"<r><a>text that runs on", L"<r><!-- open comment", L"<r><![CDATA[open",
      L"<r><abcdefghijklmnop", L"<r><a x='1' yyyyyyyyyy", L"<r><a x='1' y='22",
  };
  for (const wchar_t* text : texts) {
    const std::wstring expected = ParseToDump(text);
    for (size_t after = 0; after < 24; ++after) {
      for (size_t lead = 0; lead < 8; ++lead) {
        const std::wstring shifted = std::wstring(lead, L' ') + text;
        XmlDocument doc;
        const wchar_t* at = memory.Place(shifted, after);
        const std::wstring got = doc.Parse(at) == 0 ? Dump(doc.root) : L"failed: " + doc.error;
        const std::wstring want = lead ? ParseToDump(shifted) : expected;
        EXPECT_EQ(got, want) << text << L" with " << after << L" after, " << lead << L" before";
      }
    }
  }
}

TEST(XmlDocumentParse, KeepsPartialTreeAfterFailureAndResetsOnNextParse) {
  XmlDocument doc;
  ASSERT_EQ(doc.Parse(L"<a><b>x</b><c>"), -1);
  EXPECT_EQ(Dump(doc.root), L"(a(b{x} c))");
  ASSERT_EQ(doc.Parse(L"<z/>"), 0);
  EXPECT_EQ(doc.error, L"");
  EXPECT_EQ(Dump(doc.root), L"(z)");
}

TEST(XmlDocumentFind, SearchesDepthFirstIgnoringAsciiCase) {
  XmlDocument doc;
  ASSERT_EQ(doc.Parse(L"<R><a><X id='1'><x id='2'/></X></a><x id='3'/><\xC9/><b><y/></b></R>"), 0);
  const XmlNode* r = doc.Find(L"r", nullptr, false);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(doc.Find(L"x", nullptr, false), nullptr);
  EXPECT_EQ(doc.Find(L"x", nullptr, true)->attributes[0].second, L"1");
  EXPECT_EQ(doc.Find(L"x", r, false)->attributes[0].second, L"3");
  const XmlNode* a = doc.Find(L"A", r, false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(doc.Find(L"x", a->children.front(), true)->attributes[0].second, L"2");
  EXPECT_EQ(doc.Find(L"y", a, true), nullptr);  // below `from` only, never its siblings
  EXPECT_EQ(doc.Find(L"y", nullptr, true)->parent->name, L"b");
  EXPECT_EQ(doc.Find(L"\xE9", nullptr, true), nullptr);  // only A-Z fold
  EXPECT_NE(doc.Find(L"\xC9", nullptr, true), nullptr);
  EXPECT_EQ(doc.Find(L"missing", nullptr, true), nullptr);
}

// The tree's strings live in blocks the document owns: they must not point into the text
// that was parsed, must survive crossing from block to block, and long ones (longer than a
// block) must come out whole.
TEST(XmlDocumentStorage, TreeShowsItsStringsAcrossBlocksAndLongTexts) {
  const std::wstring longText(70000, L'\xAC00');
  const std::wstring joinedHalf(40000, L'j');
  XmlDocument doc;
  std::wstring text = L"<feed><big note=\"" + longText + L"\">" + longText + L"</big>";
  for (int i = 0; i < 3000; ++i)
    text += L"<item n=\"" + std::to_wstring(i) + L"\" flag='' bare>t" + std::to_wstring(i) + L"<!-- -->x</item>";
  text += L"<joined>" + joinedHalf + L"<!-- cut -->" + joinedHalf + L"<![CDATA[!]]></joined></feed>";
  ASSERT_EQ(doc.Parse(text.c_str()), 0) << doc.error;
  const XmlNode* feed = doc.Find(L"feed", nullptr, false);
  ASSERT_NE(feed, nullptr);
  ASSERT_EQ(feed->children.size(), 3002u);
  const XmlNode* big = feed->children.front();
  EXPECT_EQ(big->text, longText);
  ASSERT_EQ(big->attributes.size(), 1u);
  EXPECT_EQ(big->attributes[0].second, longText);
  int i = -1;
  for (const XmlNode* item : feed->children) {
    if (i >= 0 && i < 3000) {
      ASSERT_EQ(item->name, L"item");
      ASSERT_EQ(item->text, L"t" + std::to_wstring(i) + L"x");
      ASSERT_EQ(item->attributes.size(), 3u);
      const std::pair<std::wstring, std::wstring> expected[] = {{L"n", std::to_wstring(i)}, {L"flag", L""}, {L"bare", L""}};
      size_t k = 0;
      for (const auto& [name, value] : item->attributes) {
        EXPECT_EQ(name, expected[k].first);
        EXPECT_EQ(value, expected[k].second);
        ++k;
      }
    }
    ++i;
  }
  EXPECT_EQ(feed->children.back()->text, joinedHalf + joinedHalf + L"!");

  // A new parse replaces the whole tree.
  ASSERT_EQ(doc.Parse(L"<a b='c'>d</a>"), 0);
  EXPECT_EQ(Dump(doc.root), L"(a[b=c]{d})");
}

// Elements of the plain form take their storage in one piece each, from block after
// block: every string must come out whole and owned, whatever block it landed in.
TEST(XmlDocumentStorage, PlainElementsShowTheirStringsAcrossManyBlocks) {
  XmlDocument doc;
  std::wstring text = L"<feed>";
  for (int i = 0; i < 5000; ++i)
    text += L"<item n=\"" + std::to_wstring(i) + L"\" kind='k" + std::to_wstring(i % 7) + L"'> t" +
            std::to_wstring(i) + L" <x/></item>\n";
  text += L"</feed>";
  ASSERT_EQ(doc.Parse(text.c_str()), 0) << doc.error;
  int i = 0;
  for (const XmlNode* item : doc.Find(L"feed", nullptr, false)->children) {
    // The self-closing <x/> takes the text before it.
    ASSERT_EQ(Dump(item), L"item[n=" + std::to_wstring(i) + L",kind=k" + std::to_wstring(i % 7) + L"](x{t" +
                              std::to_wstring(i) + L"})");
    ++i;
  }
  EXPECT_EQ(i, 5000);
}

TEST(XmlDocumentDeep, MillionLevelsParseSearchAndFreeWithoutRecursion) {
  const size_t depth = 1000000;
  std::wstring text;
  text.reserve(depth * 7 + 16);
  for (size_t i = 0; i < depth; ++i) text += L"<a>";
  text += L"<b>deep</b>";
  for (size_t i = 0; i < depth; ++i) text += L"</a>";
  {
    XmlDocument doc;
    ASSERT_EQ(doc.Parse(text.c_str()), 0) << doc.error;
    const XmlNode* b = doc.Find(L"B", nullptr, true);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text, L"deep");
    EXPECT_EQ(doc.Find(L"c", nullptr, true), nullptr);
  }
  text.resize(depth * 3);  // never closed
  XmlDocument doc;
  EXPECT_EQ(doc.Parse(text.c_str()), -1);
  EXPECT_EQ(doc.error, L"[1:" + std::to_wstring(depth * 3 + 1) + L"] Tag match error\n");
}

}  // namespace
