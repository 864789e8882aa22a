// What hostile or broken servers and failures deep inside a download must not do: hold a
// worker for ever, or end a refresh run without 'END'.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <new>
#include <set>
#include <string>

#include "config/ConfigStore.h"
#include "net/FeedFetcher.h"
#include "net/HttpClient.h"
#include "net/NetSession.h"
#include "net/UpdateCheck.h"
#include "support/TraceCapture.h"
#include "support/net/RecordingFrame.h"
#include "support/net/TestHttpServer.h"
#include "support/win/WinTest.h"

using test::Reply;
using test::ScriptedReply;
using test::TestHttpServer;

namespace {

const std::string kFeed = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>t</title></channel></rss>";
const std::wstring kFeedText = L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>t</title></channel></rss>";

// Every wait of the server shorter than the per-operation time-out: only the overall
// deadline can end a trickle.
class ShortDeadline {
 public:
  ShortDeadline() {
    SetNetworkTimeoutForTesting(2000);
    SetDownloadDeadlineForTesting(1500);
  }
  ~ShortDeadline() {
    SetNetworkTimeoutForTesting(0);
    SetDownloadDeadlineForTesting(0);
  }
};

// A whole answer a byte at a time, or (`headFirst`) the head at once and then the body.
ScriptedReply Trickle(const std::string& body, bool headFirst) {
  ScriptedReply reply = Reply(200, body + std::string(200, ' '));
  reply.trickleMs = 150;
  if (headFirst) {
    reply.pauseAfter = reply.bytes.find("\r\n\r\n") + 4;
    reply.pauseMs = 1;
  }
  return reply;
}

using Clock = std::chrono::steady_clock;

class UploadRequest : public HttpClient {
 public:
  UploadRequest(std::wstring url, std::wstring file) : url_(std::move(url)), file_(std::move(file)) {}

 protected:
  std::wstring GetUrl() override { return url_; }
  std::wstring GetVerb() override { return L"POST"; }
  std::wstring GetUploadFile() override { return file_; }

 private:
  std::wstring url_, file_;
};

struct UploadArgs {
  std::wstring url, file;
};

// One upload on a thread of its own, whose rand() would start from the same seed.
DWORD WINAPI UploadOnce(void* argument) {
  auto* args = static_cast<UploadArgs*>(argument);
  UploadRequest(args->url, args->file).Execute();
  return 0;
}

void ThrowOnBoom(const std::wstring& url) {
  if (url.find(L"/boom") != std::wstring::npos) throw std::bad_alloc();
}

}  // namespace

// Trickling servers meet the deadline; the run goes on with the next channel, which reads
// normally.
TEST(NetHardening, TricklingServersEndAtTheDeadlineAndTheRunGoesOn) {
  ShortDeadline deadline;
  TestHttpServer server([](const test::ReceivedRequest& request) {
    return request.Target() == "/fine" ? Reply(200, kFeed) : Trickle(kFeed, request.Target() == "/body");
  });
  test::ScopedConfig config;
  Config().SetString(section::Channel(L"a"), L"URL", server.Url(L"/head"));
  Config().SetString(section::Channel(L"b"), L"URL", server.Url(L"/body"));
  Config().SetString(section::Channel(L"c"), L"URL", server.Url(L"/fine"));
  TraceCapture trace;
  test::RecordingFrame frame;
  const auto start = Clock::now();
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  ASSERT_TRUE(frame.WaitForEnd(20000));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  ASSERT_EQ(frame.results.size(), 3u);
  for (const FeedResult& result : frame.results) EXPECT_EQ(result.text, result.id == L"c" ? kFeedText : L"") << result.id;
  EXPECT_TRUE(trace.Contains(L"Deadline passed : " + server.Url(L"/body") + L"\n"));
  // A head trickling in is cut short by the deadline on Windows; where the platform reads
  // it to its end (Wine), the download is given up a little later.
  EXPECT_TRUE(trace.Contains(L"Deadline passed : " + server.Url(L"/head") + L"\n") ||
              trace.Contains(L"Download given up : [" + server.Url(L"/head") + L"]\n"));
  EXPECT_EQ(frame.ends, 1);

  // A download given up and still held is not started again: one thread per address at most.
  if (trace.Contains(L"Download given up : [" + server.Url(L"/head") + L"]\n")) {
    ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
    ASSERT_TRUE(test::PumpUntil([&] { return frame.ends == 2; }, 20000));
    EXPECT_TRUE(trace.Contains(L"Previous download still running : [" + server.Url(L"/head") + L"]\n"));
  }
}

TEST(NetHardening, UpdateCheckAndUploadHaveTheSameDeadline) {
  ShortDeadline deadline;
  TestHttpServer server([](const test::ReceivedRequest& request) {
    return Trickle("VER 9.9.9.9 http://example.com/", request.Target() == "/up");
  });
  test::ScopedConfig config;
  Config().SetString(section::kConfig, L"UPDATE_SERVER", L"127.0.0.1:" + std::to_wstring(server.Port()));
  test::RecordingFrame frame;
  TraceCapture trace;
  auto start = Clock::now();
  ASSERT_TRUE(StartUpdateCheck(frame.Hwnd()));
  // Cut short at the deadline (Windows), or given up a little later (Wine).
  ASSERT_TRUE(test::PumpUntil([&] { return trace.Contains(L"update check given up\n") || RunningNetWorkers() == 0; }, 10000));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));  // the deadline, the grace, a busy machine
  EXPECT_TRUE(frame.answers.empty());  // half an answer is no answer

  test::TempDir dir;
  const std::wstring file = dir.File(L"up.bin");
  ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  UploadRequest upload(server.Url(L"/up"), file);
  start = Clock::now();
  EXPECT_EQ(upload.Execute(), -1);
  EXPECT_TRUE(upload.TimedOut());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));  // the deadline, the grace, a busy machine
}

// A failure thrown deep inside one channel's download (memory for a huge document) is
// that channel's failed download: the others are read and 'END' comes.
TEST(NetHardening, AFailureInsideADownloadIsThatChannelsFailedDownload) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, kFeed); });
  test::ScopedConfig config;
  Config().SetString(section::Channel(L"a"), L"URL", server.Url(L"/one"));
  Config().SetString(section::Channel(L"b"), L"URL", server.Url(L"/boom"));
  Config().SetString(section::Channel(L"c"), L"URL", server.Url(L"/two"));
  // An address of 100 KB is no failure of the run either.
  Config().SetString(section::Channel(L"d"), L"URL", server.Url(L"/") + std::wstring(100 * 1024, L'x'));
  SetFetchFaultForTesting(&ThrowOnBoom);
  test::RecordingFrame frame;
  ASSERT_TRUE(StartFeedFetcher(frame.Hwnd()));
  const bool ended = frame.WaitForEnd(10000);
  SetFetchFaultForTesting(nullptr);
  ASSERT_TRUE(ended);
  ASSERT_EQ(frame.results.size(), 4u);
  EXPECT_EQ(frame.results[0].text, kFeedText);
  EXPECT_EQ(frame.results[1].text, L"");
  EXPECT_EQ(frame.results[2].text, kFeedText);
}

// The boundary comes from the system's generator: two uploads on fresh threads (whose
// rand() would start from the same seed) differ.
TEST(NetHardening, EveryUploadGetsItsOwnBoundary) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, "ok"); });
  test::TempDir dir;
  const std::wstring file = dir.File(L"up.bin");
  ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  UploadArgs args{server.Url(L"/up"), file};
  for (int i = 0; i < 4; ++i) {
    HANDLE worker = ::CreateThread(nullptr, 0, &UploadOnce, &args, 0, nullptr);
    ::WaitForSingleObject(worker, 10000);
    ::CloseHandle(worker);
  }
  std::set<std::string> types;
  for (const auto& request : server.Requests()) types.insert(request.Header("Content-Type"));
  EXPECT_EQ(server.Requests().size(), 4u);
  EXPECT_EQ(types.size(), 4u);
}
