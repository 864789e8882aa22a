#include <gtest/gtest.h>

#include "net/HttpUrl.h"

namespace {

struct UrlCase {
  const wchar_t* url;
  const wchar_t* host;
  const wchar_t* port;
  const wchar_t* object;
  bool https;
};

}  // namespace

TEST(HttpUrl, SplitsTheAddressFormsClientsUse) {
  const UrlCase cases[] = {
      {L"http://feeds.example/feed.xml?x=1&y=2", L"feeds.example", L"80", L"/feed.xml?x=1&y=2", false},
      {L"https://feeds.example/feed.xml?x=1&y=2", L"feeds.example", L"443", L"/feed.xml?x=1&y=2", true},
      {L"HTTPS://feeds.example/a", L"feeds.example", L"443", L"/a", true},
      {L"hTTps://feeds.example:8443/a", L"feeds.example", L"8443", L"/a", true},
      // No scheme: plain HTTP; an explicit port is used whatever the scheme.
      {L"feeds.example:8080/rss", L"feeds.example", L"8080", L"/rss", false},
      {L"http://feeds.example:8080/rss", L"feeds.example", L"8080", L"/rss", false},
      {L"https://feeds.example:80/rss", L"feeds.example", L"80", L"/rss", true},
      // Other schemes are treated like http.
      {L"ftp://feeds.example/rss", L"feeds.example", L"80", L"/rss", false},
      // A ":" after the first "/" belongs to the path.
      {L"http://feeds.example/a:b/c", L"feeds.example", L"80", L"/a:b/c", false},
      // Only the first "?" splits; a "/" or "://" in the query stays there.
      {L"http://feeds.example/a?b?c", L"feeds.example", L"80", L"/a?b?c", false},
      {L"http://feeds.example/r?u=http://x/y", L"feeds.example", L"80", L"/r?u=http://x/y", false},
      // No "/" after the host or the port: the object is "/".
      {L"http://feeds.example", L"feeds.example", L"80", L"/", false},
      {L"feeds.example", L"feeds.example", L"80", L"/", false},
      {L"http://feeds.example:8080", L"feeds.example", L"8080", L"/", false},
      {L"http://feeds.example?x=1", L"feeds.example", L"80", L"/?x=1", false},
      {L"http://feeds.example:8080?x=1", L"feeds.example", L"8080", L"/?x=1", false},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "url index " << (&c - cases));
    const HttpUrl url = HttpUrl::Split(c.url);
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.portText, c.port);
    EXPECT_EQ(url.ObjectName(), c.object);
    EXPECT_EQ(url.isHttps, c.https);
  }
}

TEST(HttpUrl, KeepsPathAndQueryApart) {
  const HttpUrl url = HttpUrl::Split(L"http://h/feed.xml?x=1&y=2");
  EXPECT_EQ(url.scheme, L"http");
  EXPECT_EQ(url.path, L"/feed.xml");
  EXPECT_EQ(url.query, L"x=1&y=2");
  const HttpUrl bare = HttpUrl::Split(L"h/feed.xml?");
  EXPECT_EQ(bare.path, L"/feed.xml");
  EXPECT_EQ(bare.query, L"");
  EXPECT_EQ(bare.ObjectName(), L"/feed.xml");  // an empty query adds no "?"
}

TEST(HttpUrl, ReadsThePortLikeTheRuntimeAndRejectsImpossibleOnes) {
  auto port = [](const wchar_t* url) { return HttpUrl::Split(url).PortNumber(); };
  EXPECT_EQ(port(L"http://h/"), 80);
  EXPECT_EQ(port(L"https://h/"), 443);
  EXPECT_EQ(port(L"h:8080/"), 8080);
  EXPECT_EQ(port(L"h:65535/"), 65535);
  EXPECT_EQ(port(L"h:12ab/"), 12);  // digits up to the first non-digit
  EXPECT_EQ(port(L"h:/"), 0);       // nothing: the platform's default port
  EXPECT_EQ(port(L"h:65536/"), -1);
  EXPECT_EQ(port(L"h:-1/"), -1);
  EXPECT_EQ(port(L"h:99999999999/"), -1);
}

TEST(HttpUrl, EmptyAddressHasNoHost) {
  const HttpUrl url = HttpUrl::Split(L"");
  EXPECT_EQ(url.host, L"");
  EXPECT_EQ(HttpUrl::Split(L"http:///x").host, L"");
}
