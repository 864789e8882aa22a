#pragma once
// A real main frame for in-process tests: throw-away settings (.ini back end), message
// boxes answered, the one-second timer stopped so that the test drives the ticks, and an
// update server that refuses at once so that the start-up check stays silent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "channels/TreeItem.h"
#include "support/win/WinTest.h"

namespace test {

struct FeedEntry {
  std::wstring title, link, category;
};

// An RSS 2.0 document with the given channel title and items.
inline std::wstring Rss(const std::wstring& channelTitle, const std::vector<FeedEntry>& items) {
  std::wstring text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>" +
                      channelTitle + L"</title><link>http://feeds.example/</link>\n";
  for (const auto& item : items) {
    text += L"<item><title>" + item.title + L"</title><link>" + item.link + L"</link>";
    if (!item.category.empty()) text += L"<category>" + item.category + L"</category>";
    text += L"<description>d</description></item>\n";
  }
  return text + L"</channel></rss>\n";
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Config().SetString(L"CONFIG", L"UPDATE_SERVER", L"127.0.0.1:9");
    ASSERT_TRUE(frame.Create());
    ::KillTimer(frame.Hwnd(), 0);
    PumpFor(30);
  }

  void Tick() { ::SendMessageW(frame.Hwnd(), WM_TIMER, 0, 0); }

  // Delivers a download result the way the fetch thread does.
  void Deliver(const std::wstring& id, const std::wstring& url, const std::wstring& text) {
    FeedResult result{id, url, text};
    ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
    PumpFor(20);  // posted ticker entries arrive
  }

  CChannel* Channel(const std::wstring& url) { return dynamic_cast<CChannel*>(frame.Tree().FindItem(url)); }
  CFeedItem* Item(const std::wstring& link) { return dynamic_cast<CFeedItem*>(frame.Tree().FindItem(link)); }

  ScopedConfig config{ScopedConfig::Backend::Ini};
  MessageBoxAnswerer boxes{IDOK};
  CMainFrame frame;
};

}  // namespace test
