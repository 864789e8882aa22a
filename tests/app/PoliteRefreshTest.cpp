// The frame's side of a polite refresh: what a 304 leaves in place, and refreshing as soon
// as the machine is back from sleep or offline.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/FrameFixture.h"
#include "common/TextConv.h"
#include "net/FeedFetcher.h"
#include "support/net/TestHttpServer.h"

using test::PostedMessageSpy;

namespace {

class PoliteRefresh : public test::FrameTest {
 protected:
  void Refresh() {
    frame.PostUser(frame_code::kRun, 0);
    test::PumpFor(20);
    ASSERT_TRUE(test::PumpUntil([&] { return !frame.Fetching(); }, 20000));
    test::PumpFor(50);
  }
  size_t RunsAfterTick() {
    PostedMessageSpy spy(frame.Hwnd(), WM_USER);
    Tick();
    test::PumpFor(30);
    return spy.Count(frame_code::kRun);
  }
};

bool connected = true;
bool Probe() { return connected; }

}  // namespace

TEST_F(PoliteRefresh, AnUnchangedFeedKeepsItsItemsAndItsNextChangeRaisesAPopup) {
  std::mutex lock;
  int version = 1;
  std::vector<test::FeedEntry> entries = {{L"one", L"http://n.example/1", L""}};
  test::TestHttpServer server([&](const test::ReceivedRequest& request) {
    std::lock_guard<std::mutex> guard(lock);
    const std::string etag = "\"v" + std::to_string(version) + "\"";
    test::ScriptedReply reply;
    if (request.Header("If-None-Match") == etag) {
      reply.bytes = "HTTP/1.1 304 Not Modified\r\nETag: " + etag + "\r\nConnection: close\r\n\r\n";
      return reply;
    }
    const std::string body = ToMultiByte(test::Rss(L"News", entries), CP_UTF8);
    reply.bytes = "HTTP/1.1 200 OK\r\nETag: " + etag + "\r\nContent-Type: text/xml\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return reply;
  });
  const std::wstring url = server.Url(L"/feed");
  Config().SetString(L"CONFIG\\c1", L"URL", url);
  Config().SetInt(L"CONFIG\\c1", L"NOTI", 1);

  Refresh();
  ASSERT_NE(Channel(url), nullptr);
  EXPECT_FALSE(Channel(url)->notYetLoaded);
  EXPECT_EQ(Channel(url)->validators.etag, L"\"v1\"");
  Refresh();
  Refresh();
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("If-None-Match"), "");
  EXPECT_EQ(requests[1].Header("If-None-Match"), "\"v1\"");
  EXPECT_EQ(requests[2].Header("If-None-Match"), "\"v1\"");
  ASSERT_NE(Item(L"http://n.example/1"), nullptr);
  EXPECT_EQ(Channel(url)->title, L"News");
  EXPECT_FALSE(Channel(url)->notYetLoaded);
  EXPECT_EQ(frame.QueuedPopups(), 0u);

  {
    std::lock_guard<std::mutex> guard(lock);
    version = 2;
    entries.push_back({L"two", L"http://n.example/2", L""});
  }
  Refresh();
  EXPECT_NE(Item(L"http://n.example/2"), nullptr);
  EXPECT_NE(Item(L"http://n.example/1"), nullptr);
  EXPECT_EQ(frame.QueuedPopups(), 1u);  // the channel stayed loaded through the 304s
  EXPECT_EQ(Channel(url)->validators.etag, L"\"v2\"");

  // A document that cannot be read leaves no validators: the next request asks in full.
  Deliver(L"c1", url, L"<rss><channel><item>");
  EXPECT_TRUE(Channel(url)->validators.Empty());
}

TEST_F(PoliteRefresh, AWakeFromSleepOrAnOfflineRunRefreshesOnceTheConnectionIsBack) {
  SetConnectionProbeForTesting(&Probe);
  frame.SetLastFetchEndForTest(::GetTickCount());
  EXPECT_EQ(RunsAfterTick(), 0u);  // not due by the clock

  connected = true;
  ::SendMessageW(frame.Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(RunsAfterTick(), 1u);
  ASSERT_TRUE(test::PumpUntil([&] { return !frame.Fetching(); }, 10000));
  EXPECT_FALSE(frame.WatchingForConnection());
  EXPECT_EQ(RunsAfterTick(), 0u);  // back to the usual schedule

  // A run that found no connection: polled at once, then not again within ten seconds.
  connected = false;
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, kEndOffline);
  EXPECT_TRUE(frame.WatchingForConnection());
  EXPECT_EQ(RunsAfterTick(), 0u);
  connected = true;
  EXPECT_EQ(RunsAfterTick(), 0u);
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kEnd, kEndOffline);
  EXPECT_EQ(RunsAfterTick(), 1u);
  SetConnectionProbeForTesting(nullptr);
}
