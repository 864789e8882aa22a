#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <string>

#include "version.h"
#include "common/TextConv.h"
#include "config/ConfigStore.h"
#include "net/UpdateCheck.h"
#include "support/net/RecordingFrame.h"
#include "support/net/TestHttpServer.h"
#include "support/win/WinTest.h"

using namespace std::string_literals;
using test::Reply;
using test::ScriptedReply;
using test::TestHttpServer;

namespace {

// Points the check at the test server and runs it against a recording frame.
class UpdateCheckRun {
 public:
  explicit UpdateCheckRun(const TestHttpServer& server) {
    Config().SetString(section::kConfig, L"UPDATE_SERVER", L"127.0.0.1:" + std::to_wstring(server.Port()));
  }
  // Starts the check and waits until the server has answered and the thread has had
  // time to hand anything on.
  void Run(const TestHttpServer& server, size_t requestsBefore = 0) {
    ASSERT_TRUE(StartUpdateCheck(frame.Hwnd()));
    ASSERT_TRUE(test::PumpUntil([&] { return server.Requests().size() > requestsBefore; }, 10000));
    test::PumpUntil([&] { return !frame.answers.empty(); }, 1000);
  }
  test::ScopedConfig config;
  test::RecordingFrame frame;
};

}  // namespace

TEST(UpdateCheck, AsksForTheRunningVersionAndSendsTheAnswer) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, "VER 2.5.0.0 http://example.com/\r\n", "text/plain"); });
  UpdateCheckRun check(server);
  check.Run(server);
  ASSERT_EQ(server.Requests().size(), 1u);
  const auto sent = server.Requests()[0];
  EXPECT_EQ(sent.Method(), "GET");
  EXPECT_EQ(sent.Target(), "/Ver/?ver=" + ToMultiByte(GetProgramVersion(), CP_ACP) + "&name=pellora");
  EXPECT_EQ(sent.Target(), "/Ver/?ver=" PELLORA_VERSION_TEXT "&name=pellora");
  EXPECT_EQ(sent.Header("User-Agent"), "pellora");
  ASSERT_EQ(check.frame.answers.size(), 1u);
  EXPECT_EQ(check.frame.answers[0], L"VER 2.5.0.0 http://example.com/\r\n");
  EXPECT_EQ(check.frame.postedVer, 0);  // sent: the text lives on the check thread
}

TEST(UpdateCheck, AnswerIsReadFromTheAnsiCodePageUpToAZeroByte) {
  const std::string answer = "VER 2.4.0.0 http://example.com/caf\xE9";
  TestHttpServer server([&](const test::ReceivedRequest&) { return Reply(200, answer + "\0tail"s, "text/plain"); });
  UpdateCheckRun check(server);
  check.Run(server);
  ASSERT_EQ(check.frame.answers.size(), 1u);
  EXPECT_EQ(check.frame.answers[0], ToWide(answer, CP_ACP));
}

TEST(UpdateCheck, OnlyStatus200IsHandedOn) {
  for (int status : {404, 500}) {
    TestHttpServer server([&](const test::ReceivedRequest&) { return Reply(status, "VER 9.9.9.9 http://x/", "text/plain"); });
    UpdateCheckRun check(server);
    check.Run(server);
    EXPECT_TRUE(check.frame.answers.empty()) << status;
    EXPECT_TRUE(check.frame.events.empty()) << status;
  }
}

TEST(UpdateCheck, AnswerIsCutAtTheBufferSize) {
  // Ten bytes are there when the check asks what is available; the rest comes later.
  const std::string answer = "VER 2.5.0.0 http://example.com/" + std::string(3000, 'x');
  TestHttpServer server([&](const test::ReceivedRequest&) {
    ScriptedReply reply = Reply(200, answer, "text/plain");
    reply.pauseAfter = reply.bytes.size() - answer.size() + 10;
    reply.pauseMs = 1000;
    return reply;
  });
  UpdateCheckRun check(server);
  check.Run(server);
  ASSERT_EQ(check.frame.answers.size(), 1u);
  EXPECT_EQ(check.frame.answers[0], L"VER 2.5.0.");
}

TEST(UpdateCheck, EmptyAnswerIsStillHandedOn) {
  TestHttpServer server([](const test::ReceivedRequest&) { return Reply(200, "", "text/plain"); });
  UpdateCheckRun check(server);
  check.Run(server);
  EXPECT_EQ(check.frame.answers, std::vector<std::wstring>{L""});
}
