// The whole refresh road, in-process, run for hundreds of cycles against the demo feed
// server while its channels rotate items, turn malformed, drop connections and answer
// slowly: nothing crashes, every cycle ends with 'END', the feed items in memory track
// the feeds, and memory and GDI/USER objects stay flat.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "app/MainFrame.h"
#include "channels/TreeItem.h"
#include "support/feeds/FeedServerProcess.h"
#include "support/win/WinTest.h"

namespace {

int Cycles() {
  const char* text = std::getenv("PELLORA_SOAK_CYCLES");
  return text ? std::atoi(text) : 300;
}

// How many items the server lists in a channel now (from its stats answer).
size_t ServedItems(const test::FeedServerProcess& server, const std::string& channel) {
  const std::string stats = server.Control("stats");
  size_t at = stats.find("\"" + channel + "\": [");
  if (at == std::string::npos) return 0;
  size_t end = stats.find(']', at);
  size_t count = 1;
  for (size_t i = at; i < end; ++i) count += stats[i] == ',';
  return count;
}

// Items of one channel in the frame's list.
size_t ItemsOf(const CMainFrame& frame, const std::wstring& url) {
  size_t n = 0;
  for (const CFeedItem* item : frame.FeedItems())
    if (item->parent && item->parent->key == url) ++n;
  return n;
}

}  // namespace

TEST(Soak, RefreshCyclesEndAndKeepItemsMemoryAndObjectsInCheck) {
  test::ScopedConfig config(test::ScopedConfig::Backend::Ini);
  test::MessageBoxAnswerer boxes(IDOK);
  test::FeedServerProcess server(0);
  ASSERT_TRUE(server.Started());
  const std::map<std::wstring, std::wstring> channels = {
      {L"korea", server.Url(L"korea.xml")}, {L"world", server.Url(L"world.xml")}, {L"blog", server.Url(L"blog.xml")}};
  int n = 0;
  for (const auto& [name, url] : channels) {
    const std::wstring id = L"5a5a000" + std::to_wstring(++n);
    Config().SetString(section::Channel(id), L"URL", url);
    if (name == L"korea") Config().SetInt(section::Channel(id), L"NOTI", 1);
  }
  Config().SetString(L"CONFIG", L"UPDATE_SERVER", L"127.0.0.1:9");

  CMainFrame frame;
  ASSERT_TRUE(frame.Create());
  ::KillTimer(frame.Hwnd(), 0);
  test::PostedMessageSpy spy(frame.Hwnd(), WM_USER);

  const int cycles = Cycles();
  test::GuiObjects startObjects;
  test::MemoryUse startMemory;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    // What the server does this cycle.
    std::map<std::wstring, std::string> mode = {{L"korea", "ok"}, {L"world", "ok"}, {L"blog", "ok"}};
    if (cycle % 7 == 3) mode[L"world"] = "malformed";
    if (cycle % 11 == 5) mode[L"blog"] = "drop";
    if (cycle % 13 == 8) mode[L"korea"] = "slow";
    if (cycle % 17 == 9) mode[L"blog"] = "notfound";
    for (const auto& [name, m] : mode) server.Control("mode/" + std::string(name.begin(), name.end()) + "/" + m);
    server.Control("rotate/world/3");
    if (cycle % 5 == 0) server.Control("add/korea");

    const size_t ends = spy.Count(frame_code::kEnd);
    PostFrameCode(frame.Hwnd(), frame_code::kRun, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return spy.Count(frame_code::kEnd) == ends + 1; }, 30000))
        << "cycle " << cycle << " did not end";
    // Close whatever popup is up, so the queue keeps moving.
    for (HWND popup = ::FindWindowW(L"pellora.Popup", nullptr); popup; popup = nullptr)
      ::SendMessageW(popup, WM_RBUTTONUP, 0, MAKELPARAM(40, 40));

    // A parsed feed is exactly what the tree shows of its channel; a malformed one empties it.
    if (mode[L"world"] == "ok") {
      EXPECT_EQ(ItemsOf(frame, channels.at(L"world")), ServedItems(server, "world")) << "cycle " << cycle;
    } else {
      EXPECT_EQ(ItemsOf(frame, channels.at(L"world")), 0u) << "cycle " << cycle;
    }
    EXPECT_LE(frame.FeedItems().size(), 60u);

    if (cycle == 20) {  // after warming up: caches, fonts and the first popups exist
      startObjects = test::CountGuiObjects();
      startMemory = test::CurrentMemoryUse();
    }
  }
  test::PumpFor(200);
  const test::GuiObjects endObjects = test::CountGuiObjects();
  const test::MemoryUse endMemory = test::CurrentMemoryUse();
  std::printf("soak: %d cycles, %zu feed items at the end, %zu popups waiting\n", cycles, frame.FeedItems().size(),
              frame.QueuedPopups());
  std::printf("soak: GDI objects %u -> %u, USER objects %u -> %u%s\n", startObjects.gdi, endObjects.gdi,
              startObjects.user, endObjects.user, endObjects.probed ? " (handle tables probed)" : "");
  std::printf("soak: committed %zu KiB -> %zu KiB, working set %zu KiB -> %zu KiB\n", startMemory.committed / 1024,
              endMemory.committed / 1024, startMemory.workingSet / 1024, endMemory.workingSet / 1024);
  if (cycles > 20) {
    EXPECT_LE(endObjects.gdi, startObjects.gdi + 8);
    EXPECT_LE(endObjects.user, startObjects.user + 8);
    EXPECT_LE(endMemory.committed, startMemory.committed + startMemory.committed / 5 + 4 * 1024 * 1024);
  }
}
