#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "config/ConfigStore.h"
#include "net/FeedFetcher.h"
#include "net/FeedRequest.h"
#include "net/NetSession.h"
#include "support/TraceCapture.h"
#include "support/net/RecordingFrame.h"
#include "support/net/TestHttpServer.h"
#include "support/win/WinTest.h"

using namespace std::string_literals;
using test::Reply;
using test::ScriptedReply;
using test::TestHttpServer;

namespace {

// Documents as a server sends them, and the text each must become.
const std::string kUtf8Declared = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss>\xED\x95\x9C\xEA\xB8\x80</rss>";
const std::wstring kUtf8Text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss>\uD55C\uAE00</rss>";
const std::string kShiftJis = "<?xml version='1.0' encoding='SHIFT-JIS'?><rss>\x83\x65\x83\x58\x83\x67</rss>";
const std::wstring kShiftJisText = L"<?xml version='1.0' encoding='SHIFT-JIS'?><rss>\u30C6\u30B9\u30C8</rss>";
const std::string kEucKrBare = "<?xml version=\"1.0\" encoding=euc-kr?><rss>\xC7\xD1\xB1\xDB</rss>";
const std::wstring kEucKrBareText = L"<?xml version=\"1.0\" encoding=euc-kr?><rss>\uD55C\uAE00</rss>";
const std::string kUndeclared = "<rss>\xC7\xD1\xB1\xDB</rss>";
const std::wstring kUndeclaredText = L"<rss>\uD55C\uAE00</rss>";
const std::string kLatin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss>caf\xE9</rss>";
const std::wstring kLatin1Text = L"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss>caf\xE9</rss>";
// "encoding=" only in a second processing instruction: not seen, so euc-kr.
const std::string kLateDeclaration = "<?xml version=\"1.0\"?><?style encoding=\"utf-8\"?><rss>\xC7\xD1\xB1\xDB</rss>";
const std::wstring kLateDeclarationText = L"<?xml version=\"1.0\"?><?style encoding=\"utf-8\"?><rss>\uD55C\uAE00</rss>";
const std::string kUtf16 = "\xFF\xFE<\0r\0>\0\x5C\xD5\0\xAC<\0/\0r\0>\0"s;
const std::wstring kUtf16Text = L"<r>\uD55C\uAC00</r>";
const std::string kWithZero = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss>before\0after</rss>"s;

class ShortTimeouts {
 public:
  explicit ShortTimeouts(DWORD ms) { SetNetworkTimeoutForTesting(ms); }
  ~ShortTimeouts() { SetNetworkTimeoutForTesting(0); }
};

bool Offline() { return false; }

class OfflineScope {
 public:
  OfflineScope() { SetConnectionProbeForTesting(&Offline); }
  ~OfflineScope() { SetConnectionProbeForTesting(nullptr); }
};

// Download files of this process in the temporary folder.
std::vector<std::wstring> OwnDownloadFiles() {
  wchar_t folder[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring pattern =
      std::wstring(folder) + L"pellora-" + std::to_wstring(::GetCurrentProcessId()) + L"-*.xml";
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(data.cFileName);
  while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

// Channel ids in the order the store lists them.
std::vector<std::wstring> ListedIds() {
  std::vector<std::wstring> ids;
  Config().EnumSubsections(section::kConfig, ids);
  return ids;
}

void AddChannel(const std::wstring& id, const std::wstring& url) {
  Config().SetString(section::Channel(id), L"URL", url);
}

std::vector<std::string> ExpectedEvents(const std::vector<std::wstring>& ids) {
  std::vector<std::string> events;
  for (const auto& id : ids) events.push_back("XML:" + std::string(id.begin(), id.end()));
  events.push_back("END");
  return events;
}

}  // namespace

TEST(FeedText, EveryTableEncodingConverts) {
  EXPECT_EQ(FeedText(kUtf8Declared), kUtf8Text);
  EXPECT_EQ(FeedText(kShiftJis), kShiftJisText);
  EXPECT_EQ(FeedText("<?xml encoding=\"windows-31j\"?>\x83\x4a\x83\x69"), L"<?xml encoding=\"windows-31j\"?>\u30AB\u30CA");
  EXPECT_EQ(FeedText("<?xml encoding=\"big5\"?>\xC1\x63\xC5\xE9"), L"<?xml encoding=\"big5\"?>\u7E41\u9AD4");
  EXPECT_EQ(FeedText("<?xml encoding=\"utf-7\"?>+1VyuAA-"), L"<?xml encoding=\"utf-7\"?>\uD55C\uAE00");
  EXPECT_EQ(FeedText(kEucKrBare), kEucKrBareText);
  EXPECT_EQ(FeedText(kUndeclared), kUndeclaredText);
  EXPECT_EQ(FeedText(kLateDeclaration), kLateDeclarationText);
  EXPECT_EQ(FeedText(kLatin1), kLatin1Text);
  // Marks, names Windows reads, undeclared UTF-8; an unknown name gives nothing.
  EXPECT_EQ(FeedText("\xEF\xBB\xBF<?xml encoding=\"euc-kr\"?><r>\xED\x95\x9C</r>"), L"<?xml encoding=\"euc-kr\"?><r>\uD55C</r>");
  EXPECT_EQ(FeedText("\xFE\xFF\0<\xD5\x5C\0>"s), L"<\uD55C>");
  EXPECT_EQ(FeedText("<?xml encoding=\"windows-1252\"?>it\x92s \x80"), L"<?xml encoding=\"windows-1252\"?>it\u2019s \u20AC");
  EXPECT_EQ(FeedText("<?xml encoding=\"KOI8-R\"?>\xF0\xD2\xC9"), L"<?xml encoding=\"KOI8-R\"?>\u041F\u0440\u0438");
  EXPECT_EQ(FeedText("<?xml encoding=\"iso-8859-2\"?>\xB1"), L"<?xml encoding=\"iso-8859-2\"?>\u0105");
  EXPECT_EQ(FeedText("<rss>\xED\x95\x9C\xEA\xB8\x80</rss>"), L"<rss>\uD55C\uAE00</rss>");
  EXPECT_EQ(FeedText("<?xml encoding=\"x-klingon\"?><rss/>"), L"");
  EXPECT_EQ(FeedText(kUtf16), kUtf16Text);
  EXPECT_EQ(FeedText(kWithZero), L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss>before");
  EXPECT_EQ(FeedText(""), L"");
}

TEST(FeedFetcher, EachChannelIsSentInOrderThenEndIsPosted) {
  const std::map<std::string, std::string> documents = {
      {"/utf8", kUtf8Declared},  {"/sjis", kShiftJis},   {"/euckr", kEucKrBare},      {"/none", kUndeclared},
      {"/latin1", kLatin1},      {"/late", kLateDeclaration}, {"/utf16", kUtf16}, {"/zero", kWithZero},
  };
  TestHttpServer server([&](const test::ReceivedRequest& request) {
    if (request.Target() == "/gone") return Reply(404, "<?xml version=\"1.0\"?><error>gone</error>", "text/xml");
    return Reply(200, documents.at(request.Target()));
  });
  test::ScopedConfig config;
  const std::map<std::wstring, std::wstring> texts = {
      {L"c1", kUtf8Text}, {L"c2", kShiftJisText}, {L"c3", kEucKrBareText}, {L"c4", kUndeclaredText},
      {L"c5", kLatin1Text}, {L"c6", kLateDeclarationText}, {L"c7", kUtf16Text},
      {L"c8", L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss>before"},
      // An error page is handed on like a feed.
      {L"c9", L"<?xml version=\"1.0\"?><error>gone</error>"},
  };
  const wchar_t* paths[] = {L"/utf8", L"/sjis", L"/euckr", L"/none", L"/latin1", L"/late", L"/utf16", L"/zero", L"/gone"};
  for (int i = 0; i < 9; ++i) AddChannel(L"c" + std::to_wstring(i + 1), server.Url(paths[i]));
  const std::vector<std::wstring> ids = ListedIds();
  ASSERT_EQ(ids.size(), 9u);

  test::RecordingFrame frame;
  std::vector<std::vector<std::wstring>> filesDuringSend;
  frame.onResult = [&](const FeedResult&) { filesDuringSend.push_back(OwnDownloadFiles()); };
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(20000));
  test::PumpFor(100);

  EXPECT_EQ(frame.events, ExpectedEvents(ids));
  EXPECT_EQ(frame.postedXml, 0);  // sent: the result lives on the fetch thread's stack
  EXPECT_EQ(frame.sentEnds, 0);   // posted
  ASSERT_EQ(frame.results.size(), ids.size());
  for (const FeedResult& result : frame.results) {
    SCOPED_TRACE(std::string(result.id.begin(), result.id.end()));
    EXPECT_EQ(result.url, Config().GetString(section::Channel(result.id), L"URL", L""));
    EXPECT_EQ(result.text, texts.at(result.id));
  }
  // Each download had one file of this process's own in the temporary folder while its
  // result was handled, and none is left.
  for (const auto& files : filesDuringSend) EXPECT_EQ(files.size(), 1u);
  EXPECT_TRUE(OwnDownloadFiles().empty());
  EXPECT_EQ(server.Requests().size(), ids.size());
}

TEST(FeedFetcher, NoChannelsPostsOnlyEnd) {
  test::ScopedConfig config;
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(10000));
  test::PumpFor(100);
  EXPECT_EQ(frame.events, std::vector<std::string>{"END"});
}

TEST(FeedFetcher, CommentedAndEmptyAddressesAreSkippedOnline) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, kUtf8Declared); });
  test::ScopedConfig config;
  AddChannel(L"a", L"#" + server.Url(L"/off"));
  AddChannel(L"b", server.Url(L"/on"));
  AddChannel(L"c", L"");
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(10000));
  test::PumpFor(100);
  EXPECT_EQ(frame.events, (std::vector<std::string>{"XML:b", "END"}));
  ASSERT_EQ(frame.results.size(), 1u);
  EXPECT_EQ(frame.results[0].text, kUtf8Text);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Target(), "/on");
}

TEST(FeedFetcher, OfflineReportsEveryChannelEmptyWithoutRequests) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, kUtf8Declared); });
  test::ScopedConfig config;
  AddChannel(L"a", L"#" + server.Url(L"/off"));
  AddChannel(L"b", server.Url(L"/on"));
  AddChannel(L"c", L"");
  const std::vector<std::wstring> ids = ListedIds();
  OfflineScope offline;
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(10000));
  test::PumpFor(100);
  EXPECT_EQ(frame.events, ExpectedEvents(ids));
  for (const FeedResult& result : frame.results) {
    EXPECT_EQ(result.url, Config().GetString(section::Channel(result.id), L"URL", L""));
    EXPECT_EQ(result.text, L"");
  }
  EXPECT_EQ(server.Accepted(), 0u);
}

TEST(FeedFetcher, DeadServersCannotStopTheRun) {
  ShortTimeouts timeouts(1000);
  uint16_t closedPort;
  {
    TestHttpServer closed([](const test::ReceivedRequest&) { return Reply(200, ""); });
    closedPort = closed.Port();
  }
  TestHttpServer server([](const test::ReceivedRequest& request) {
    ScriptedReply reply = Reply(200, kUtf8Declared + std::string(3000, ' '));
    if (request.Target() == "/silent") reply.silent = true;
    if (request.Target() == "/drop") reply.closeAfter = reply.bytes.size() - 3000;
    if (request.Target() == "/stall") {
      reply.pauseAfter = reply.bytes.size() - 3000;
      reply.pauseMs = 60000;
    }
    return reply;
  });
  test::ScopedConfig config;
  AddChannel(L"a", server.Url(L"/silent"));
  AddChannel(L"b", server.Url(L"/drop"));
  AddChannel(L"c", server.Url(L"/stall"));
  AddChannel(L"d", L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/refused");
  AddChannel(L"e", server.Url(L"/fine"));
  const std::vector<std::wstring> ids = ListedIds();
  test::RecordingFrame frame;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(20000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(frame.events, ExpectedEvents(ids));
  std::map<std::wstring, std::wstring> texts;
  for (const FeedResult& result : frame.results) texts[result.id] = result.text;
  EXPECT_EQ(texts[L"a"], L"");
  EXPECT_EQ(texts[L"b"], kUtf8Text);  // what arrived before the drop is handed on
  EXPECT_EQ(texts[L"d"], L"");
  EXPECT_EQ(texts[L"e"], kUtf8Text + std::wstring(3000, L' '));
  EXPECT_TRUE(OwnDownloadFiles().empty());
}

TEST(FeedFetcher, OversizedFeedIsCutOffAndHandedOnEmpty) {
  TestHttpServer server([](const test::ReceivedRequest& request) {
    if (request.Target() == "/fine") return Reply(200, kUtf8Declared);
    ScriptedReply reply;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n" + kUtf8Declared;
    reply.endlessBody = 1ull << 40;
    return reply;
  });
  test::ScopedConfig config;
  AddChannel(L"a", server.Url(L"/endless"));
  AddChannel(L"b", server.Url(L"/fine"));
  TraceCapture trace;
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(60000));
  test::PumpFor(100);
  ASSERT_EQ(frame.results.size(), 2u);
  EXPECT_EQ(frame.results[0].text, L"");
  EXPECT_EQ(frame.results[1].text, kUtf8Text);
  EXPECT_TRUE(trace.Contains(L"Feed too large : [" + server.Url(L"/endless") + L"]\n"));
  EXPECT_TRUE(OwnDownloadFiles().empty());
}

// The program is ending: the run gives up before its next channel, the worker is
// accounted for until it has let everything go, and no download file stays behind.
TEST(FeedFetcher, RunStopsAtTheNextChannelWhenTheFrameIsGone) {
  TestHttpServer server([](const test::ReceivedRequest&) {
    ScriptedReply reply = Reply(200, kUtf8Declared);
    reply.pauseAfter = 0;
    reply.pauseMs = 700;
    return reply;
  });
  test::ScopedConfig config;
  AddChannel(L"a", server.Url(L"/first"));
  AddChannel(L"b", server.Url(L"/second"));
  AddChannel(L"c", server.Url(L"/third"));
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  EXPECT_EQ(RunningNetWorkers(), 1);
  ASSERT_TRUE(test::PumpUntil([&] { return server.Accepted() == 1; }, 5000));
  frame.Destroy();
  EXPECT_FALSE(WaitForNetWorkers(100));  // still inside the first download
  ASSERT_TRUE(WaitForNetWorkers(10000));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(OwnDownloadFiles().empty());
}
