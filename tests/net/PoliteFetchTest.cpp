// The fetch as a modern client does it, against a scripted server on 127.0.0.1:
// conditional requests, compressed answers, the charset of the answer and Retry-After.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "config/ConfigStore.h"
#include "net/FeedFetcher.h"
#include "net/UpdateCheck.h"
#include "support/net/PythonTestServer.h"
#include "support/net/RecordingFrame.h"
#include "support/net/TestHttpServer.h"
#include "support/win/WinTest.h"

using namespace std::string_literals;
using test::Reply;
using test::ScriptedReply;
using test::TestHttpServer;

namespace {

const std::string kDoc = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>gz</title></channel></rss>";
const std::wstring kDocText = L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>gz</title></channel></rss>";
// kDoc compressed with gzip.
const std::string kGzip =
    "\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\x03\xB3\xB1\xAF\xC8\xCD\x51\x28\x4B\x2D\x2A\xCE\xCC\xCF\xB3\x55\x32\xD4\x33"
    "\x50\x52\x48\xCD\x4B\xCE\x4F\xC9\xCC\x4B\xB7\x55\x2A\x2D\x49\xD3\xB5\x50\xB2\xB7\xB3\x29\x2A\x2E\xB6\xB3\x49\xCE"
    "\x48\xCC\xCB\x4B\xCD\xB1\xB3\x29\xC9\x2C\xC9\x49\xB5\x4B\xAF\xB2\xD1\x87\xB0\x6C\xF4\xE1\x52\xFA\x20\x95\x00\x4F"
    "\x4A\x72\x04\x55\x00\x00\x00"s;
// The raw deflate stream, as WinINet reads a "deflate" answer (Wine does not take the
// zlib-wrapped form).
const std::string kDeflate =
    "\xB3\xB1\xAF\xC8\xCD\x51\x28\x4B\x2D\x2A\xCE\xCC\xCF\xB3\x55\x32\xD4\x33\x50\x52\x48\xCD\x4B\xCE\x4F\xC9"
    "\xCC\x4B\xB7\x55\x2A\x2D\x49\xD3\xB5\x50\xB2\xB7\xB3\x29\x2A\x2E\xB6\xB3\x49\xCE\x48\xCC\xCB\x4B\xCD\xB1\xB3\x29"
    "\xC9\x2C\xC9\x49\xB5\x4B\xAF\xB2\xD1\x87\xB0\x6C\xF4\xE1\x52\xFA\x20\x95\x00"s;

// A complete answer with extra header lines.
ScriptedReply Answer(int status, const std::string& reason, const std::string& headers, const std::string& body) {
  ScriptedReply reply;
  reply.bytes = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + headers +
                "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  return reply;
}

// One run over the channels configured now; the results by channel id.
std::map<std::wstring, FeedResult> FetchOnce(const KnownFeeds& known = {}) {
  test::RecordingFrame frame;
  EXPECT_TRUE(StartFeedFetcher(frame.Hwnd(), known));
  EXPECT_TRUE(frame.WaitForEnd(20000));
  std::map<std::wstring, FeedResult> results;
  for (const FeedResult& result : frame.results) results[result.id] = result;
  return results;
}

}  // namespace

TEST(PoliteFetch, ASecondRequestIsConditionalAnd304IsNotModified) {
  const std::string etag = "\"v1\"";
  const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
  TestHttpServer server([&](const test::ReceivedRequest& request) {
    const std::string target = request.Target();
    if (target == "/304-always") return Answer(304, "Not Modified", "", "");
    if (target == "/big-etag")
      return Answer(200, "OK", "ETag: \"" + std::string(100000, 'e') + "\"\r\nContent-Type: text/xml\r\n", kDoc);
    if (request.Header("If-None-Match") == etag) return Answer(304, "Not Modified", "ETag: " + etag + "\r\n", "");
    return Answer(200, "OK", "ETag: " + etag + "\r\nLast-Modified: " + date + "\r\nContent-Type: text/xml\r\n", kDoc);
  });
  test::ScopedConfig config;
  Config().SetString(section::Channel(L"a"), L"URL", server.Url(L"/feed"));
  Config().SetString(section::Channel(L"b"), L"URL", server.Url(L"/304-always"));
  Config().SetString(section::Channel(L"c"), L"URL", server.Url(L"/big-etag"));

  auto first = FetchOnce();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[L"a"].text, kDocText);
  EXPECT_FALSE(first[L"a"].notModified);
  EXPECT_EQ(first[L"a"].validators.etag, L"\"v1\"");
  EXPECT_EQ(first[L"a"].validators.lastModified, L"Sun, 06 Nov 1994 08:49:37 GMT");
  // A 304 to a request that asked nothing is a failed download, not "unchanged".
  EXPECT_EQ(first[L"b"].text, L"");
  EXPECT_FALSE(first[L"b"].notModified);
  // An ETag of 100 KB is not kept (it would be sent back with every request).
  EXPECT_EQ(first[L"c"].text, kDocText);
  EXPECT_TRUE(first[L"c"].validators.Empty());

  auto second = FetchOnce({{server.Url(L"/feed"), first[L"a"].validators}, {server.Url(L"/big-etag"), {}}});
  EXPECT_TRUE(second[L"a"].notModified);
  EXPECT_EQ(second[L"a"].text, L"");
  EXPECT_EQ(second[L"c"].text, kDocText);

  std::map<std::string, std::vector<test::ReceivedRequest>> byTarget;
  for (const auto& request : server.Requests()) byTarget[request.Target()].push_back(request);
  ASSERT_EQ(byTarget["/feed"].size(), 2u);
  EXPECT_EQ(byTarget["/feed"][0].Header("If-None-Match"), "");
  EXPECT_EQ(byTarget["/feed"][1].Header("If-None-Match"), etag);
  EXPECT_EQ(byTarget["/feed"][1].Header("If-Modified-Since"), date);
  EXPECT_EQ(byTarget["/big-etag"][1].Header("If-None-Match"), "");
  EXPECT_NE(byTarget["/feed"][0].Header("Accept-Encoding").find("gzip"), std::string::npos);
}

TEST(PoliteFetch, CompressedAnswersAndTheCharsetOfTheAnswerAreRead) {
  const std::string latin1 = "<rss>caf\xE9</rss>";
  TestHttpServer server([&](const test::ReceivedRequest& request) {
    const std::string target = request.Target();
    if (target == "/gzip") return Answer(200, "OK", "Content-Encoding: gzip\r\n", kGzip);
    if (target == "/deflate") return Answer(200, "OK", "Content-Encoding: deflate\r\n", kDeflate);
    if (target == "/lying-gzip") return Answer(200, "OK", "Content-Encoding: gzip\r\n", kDoc);
    if (target == "/latin1") return Answer(200, "OK", "Content-Type: text/xml; charset=ISO-8859-1\r\n", latin1);
    if (target == "/declared")
      return Answer(200, "OK", "Content-Type: text/xml; charset=ISO-8859-1\r\n",
                    "<?xml version=\"1.0\" encoding=\"euc-kr\"?><r>\xC7\xD1</r>");
    if (target == "/unknown") return Answer(200, "OK", "Content-Type: text/xml; charset=x-nothing\r\n", latin1);
    return Reply(404, "");
  });
  test::ScopedConfig config;
  const wchar_t* paths[] = {L"/gzip", L"/deflate", L"/lying-gzip", L"/latin1", L"/declared", L"/unknown"};
  for (const wchar_t* path : paths) Config().SetString(section::Channel(path + 1), L"URL", server.Url(path));

  auto results = FetchOnce();
  EXPECT_EQ(results[L"gzip"].text, kDocText);
  EXPECT_EQ(results[L"deflate"].text, kDocText);
  EXPECT_EQ(results[L"lying-gzip"].text, L"");  // no document: a failed download
  EXPECT_EQ(results[L"latin1"].text, L"<rss>caf\u00E9</rss>");
  EXPECT_EQ(results[L"declared"].text, L"<?xml version=\"1.0\" encoding=\"euc-kr\"?><r>\uD55C</r>");
  // A charset naming nothing known is ignored: the undeclared rule reads the bytes.
  EXPECT_NE(results[L"unknown"].text, L"");
  EXPECT_NE(results[L"unknown"].text, L"<rss>caf\u00E9</rss>");
}

TEST(PoliteFetch, RetryAfterKeepsAChannelFromBeingAskedUntilThen) {
  struct Case {
    const char* path;
    int status;
    const char* retryAfter;
    bool skippedNext;
  } cases[] = {
      {"/429-hour", 429, "3600", true},
      {"/503-date", 503, "Fri, 31 Dec 20 23:59:59 GMT", false},  // not a date: ignored
      {"/503-far", 503, "Fri, 31 Dec 9999 23:59:59 GMT", true},   // cut to a day
      {"/429-huge", 429, "99999999999999999999", true},
      {"/429-negative", 429, "-60", false},
      {"/429-text", 429, "later", false},
      {"/429-zero", 429, "0", false},
      {"/503-none", 503, nullptr, false},
  };
  TestHttpServer server([&](const test::ReceivedRequest& request) {
    for (const Case& c : cases)
      if (request.Target() == c.path)
        return Answer(c.status, "Busy", c.retryAfter ? "Retry-After: "s + c.retryAfter + "\r\n" : "",
                      "<html>busy</html>");
    return Reply(404, "");
  });
  test::ScopedConfig config;
  for (const Case& c : cases) {
    const std::wstring path(c.path, c.path + std::strlen(c.path));
    Config().SetString(section::Channel(path.substr(1)), L"URL", server.Url(path));
  }
  auto first = FetchOnce();
  EXPECT_EQ(first.size(), std::size(cases));
  for (const auto& [id, result] : first) EXPECT_EQ(result.text, L"") << "a busy page is no feed";

  auto second = FetchOnce();
  std::map<std::string, int> asked;
  for (const auto& request : server.Requests()) asked[request.Target()] += 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::wstring id(c.path + 1, c.path + std::strlen(c.path));
    EXPECT_EQ(second.count(id), c.skippedNext ? 0u : 1u);
    EXPECT_EQ(asked[c.path], c.skippedNext ? 1 : 2);
  }
}

namespace {

// The test CA in the Root store of the machine (in the test's Wine prefix only) while the
// object lives.
class TrustedTestCa {
 public:
  explicit TrustedTestCa(const std::string& pem) {
    DWORD size = 0;
    if (!::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) return;
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) return;
    store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store_ &&
        ::CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_REPLACE_EXISTING,
                                           &added_))
      Commit();  // a registry store is written when committed; the chain engine reads the registry
  }
  ~TrustedTestCa() {
    if (added_) {
      ::CertDeleteCertificateFromStore(added_);  // frees the context too
      Commit();
    }
    if (store_) ::CertCloseStore(store_, 0);
  }
  bool Trusted() const { return added_ != nullptr; }

 private:
  void Commit() { ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr); }

  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

}  // namespace

TEST(PoliteFetch, HttpsFeedsAndUpdateServerAreReadWhenTheCertificateIsTrusted) {
  test::PythonTestServer server(/*tls=*/true, /*testCa=*/true);
  ASSERT_TRUE(server.Started()) << server.Error();
  auto ca = server.NextEvent(10000);
  ASSERT_EQ(ca["event"], "ca");
  TrustedTestCa trust(ca["pem"]);
  ASSERT_TRUE(trust.Trusted());
  const std::wstring port = std::to_wstring(server.Port());

  test::ScopedConfig config;
  Config().SetString(section::Channel(L"good"), L"URL", L"https://localhost:" + port + L"/feed.xml");
  // The certificate names localhost only.
  Config().SetString(section::Channel(L"wrongname"), L"URL", L"https://127.0.0.1:" + port + L"/feed.xml");
  auto results = FetchOnce();
  EXPECT_NE(results[L"good"].text.find(L"<title>over TLS</title>"), std::wstring::npos) << results[L"good"].text;
  EXPECT_EQ(results[L"wrongname"].text, L"");

  // The update server written as https://host:port is asked over TLS.
  Config().SetString(section::kConfig, L"UPDATE_SERVER", L"https://localhost:" + port);
  test::RecordingFrame frame;
  ASSERT_TRUE(StartUpdateCheck(frame.Hwnd()));
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.answers.empty(); }, 20000));
  EXPECT_EQ(frame.answers[0], L"ok");

  std::vector<std::string> targets;
  for (auto event = server.NextEvent(2000); !event.empty(); event = server.NextEvent(500))
    if (event["event"] == "request") targets.push_back(event["target"]);
  ASSERT_EQ(targets.size(), 2u);  // the wrong name never got as far as a request
  EXPECT_EQ(targets[0], "/feed.xml");
  EXPECT_EQ(targets[1].rfind("/Ver/?ver=", 0), 0u);
}
