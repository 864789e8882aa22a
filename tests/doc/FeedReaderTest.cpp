#include <gtest/gtest.h>

#include <string>

#include "doc/FeedReader.h"

namespace {

// What a document yields, in one line: "status|title|item;item;..." with each item as
// "title>link>category"; a missing channel title is "-".
std::wstring Read(const std::wstring& text) {
  const FeedDocument feed = ReadFeed(text.c_str());
  std::wstring out;
  switch (feed.status) {
    case FeedDocument::Status::Parsed: out = L"parsed"; break;
    case FeedDocument::Status::NoChannel: out = L"none"; break;
    case FeedDocument::Status::Failed: return L"failed " + feed.message;
  }
  out += L"|" + (feed.hasTitle ? feed.channelTitle : L"-") + L"|";
  for (size_t i = 0; i < feed.items.size(); ++i)
    out.append(i ? L";" : L"")
        .append(feed.items[i].title)
        .append(L">")
        .append(feed.items[i].link)
        .append(L">")
        .append(feed.items[i].category);
  return out;
}

struct Row {
  const wchar_t* document;
  const wchar_t* yields;
};

TEST(FeedReader, EachFormatYieldsItsTitleAndItems) {
  const Row rows[] = {
      // RSS 2.0 as it has always been read.
      {L"<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title> T &amp; U \r\n</title>"
       L"<item><title>A &lt;b&gt;</title><link>http://a/?x=1&amp;y=2</link><category>C &amp; D</category></item>"
       L"<item><title>no link</title></item><item><title></title><link>http://e/</link></item>"
       L"<ITEM><Title>B</Title><LINK>http://b/</LINK></ITEM></channel></rss>",
       L"parsed|T & U|A <b>>http://a/?x=1&y=2>C &amp; D;B>http://b/>"},
      {L"<rss><channel><title>T</title></channel><item><title>x</title><link>http://x/</link></item></rss>",
       L"parsed|T|"},
      {L"<rss><channel><item><title>x</title><link>http://x/</link></item></channel></rss>", L"parsed|-|x>http://x/>"},
      // RSS 0.91 with its document type declaration.
      {L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS "
       L"0.91//EN\" \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n<rss version=\"0.91\"><channel>"
       L"<title>Old</title><item><title>Caf&#xE9; &mdash; &#8217;</title><link>http://o/</link></item></channel></rss>",
       L"parsed|Old|Caf\xE9 \x2014 \x2019>http://o/>"},
      // A channel's own title and an item's own parts come first: the image's title and
      // link, and a link inside the category, are not the channel's or the item's.
      {L"<rss><channel><image><title>Logo</title><link>http://logo/</link></image><title>Real</title>"
       L"<item><category><link>http://wrong/</link>Cat</category><title>I</title><link>http://right/</link></item>"
       L"</channel></rss>",
       L"parsed|Real|I>http://right/>Cat"},
      {L"<rss><channel><image><title>Logo</title></image><item><title>I</title><link>http://i/</link></item>"
       L"<description><title>Deep</title></description></channel></rss>",
       L"parsed|Deep|I>http://i/>"},
      {L"<rss><channel><image><title>Logo</title></image></channel></rss>", L"parsed|-|"},
      {L"<rss><channel><item><source><title>S</title><link>http://s/</link></source></item></channel></rss>",
       L"parsed|-|S>http://s/>"},
      // RSS 1.0: the items are the root's children, beside the channel.
      {L"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
       L"<channel rdf:about=\"http://r/\"><title>R</title><link>http://r/</link><items/></channel>"
       L"<item rdf:about=\"http://r/1\"><title>One</title><link>http://r/1</link><dc:subject>S</dc:subject></item>"
       L"<rss:item><rss:title>Two</rss:title><rss:link>http://r/2</rss:link></rss:item></rdf:RDF>",
       L"parsed|R|One>http://r/1>;Two>http://r/2>"},
      // Atom: titles as text, html or xhtml; the first link for reading; the term.
      {L"<?xml version=\"1.0\" encoding=\"utf-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
       L"<title type=\"html\">Code &amp;amp; &lt;b&gt;Notes&lt;/b&gt;</title><link rel=\"self\" href=\"http://f/atom\"/>"
       L"<entry><title>Plain &amp; simple</title><link rel=\"edit\" href=\"http://f/edit\"/>"
       L"<link rel=\"enclosure\" href=\"http://f/a.mp3\"/><link href=\"http://f/1?a=1&amp;b=2\"/>"
       L"<category term=\"news &amp; views\" label=\"News\"/></entry>"
       L"<entry><title type=\"html\"><![CDATA[Hello <b>bold</b>   world<br/>again]]></title>"
       L"<link rel=\"alternate\" type=\"text/html\" href=\"http://f/2\"/></entry>"
       L"<entry><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">X <i>marks</i></div></title>"
       L"<link href=\"http://f/3\"/></entry>"
       L"<entry><title>only self</title><link rel=\"self\" href=\"http://f/4\"/></entry></feed>",
       L"parsed|Code & Notes|Plain & simple>http://f/1?a=1&b=2>news & views;Hello bold world again>http://f/2>;"
       L"X marks>http://f/3>"},
      {L"<atom:feed xmlns:atom=\"http://www.w3.org/2005/Atom\"><atom:title>P</atom:title><atom:entry>"
       L"<atom:title>E</atom:title><atom:link href=\"http://p/e\"/></atom:entry></atom:feed>",
       L"parsed|P|E>http://p/e>"},
      // Neither format; not well-formed.
      {L"<html><body>Not found</body></html>", L"none|-|"},
      {L"<rss><channel></rss>", L"failed [1:20] End tag match error\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(Read(row.document), row.yields) << row.document;
}

TEST(FeedReader, HtmlIsShownAsABrowserShowsIt) {
  const Row rows[] = {
      {L"  <p>One</p><p>Two</p>  ", L"One Two"},
      {L"a<b>b</b>c &amp;amp; d<!-- <i>x</i> -->e", L"abc & de"},
      {L"1 &lt; 2 and 3 > 2", L"1 < 2 and 3 > 2"},
      {L"unclosed <tag and\n\t more", L"unclosed <tag and more"},
  };
  for (const Row& row : rows) EXPECT_EQ(HtmlToText(row.document), row.yields) << row.document;
}

}  // namespace
