// Times ProcessFeed on the real frame: a 500-item feed into an empty channel, the same
// feed again (nothing new), a feed where half the items changed, and a 10,000-item
// channel whose items all go; parsing alone is timed for comparison.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MainFrame.h"
#include "channels/TreeItem.h"
#include "config/ConfigStore.h"
#include "doc/XmlDocument.h"
#include "win/Dialog.h"

namespace {

std::wstring Feed(int items, int changedFrom) {
  std::wstring text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Bench</title>";
  for (int i = 0; i < items; ++i) {
    const bool changed = i >= changedFrom;
    std::wstring n = std::to_wstring(i) + (changed ? L"b" : L"");
    text += L"<item><title>\xAE30\xC0AC &amp; story number " + n +
            L" with a reasonably long title as feeds have</title><link>http://bench.example/articles/" + n +
            L"?from=rss&amp;x=1</link><category>Category " + std::to_wstring(i % 7) +
            L"</category><description><![CDATA[<p>Body of the story " + n +
            L", a paragraph or two of text.</p>]]></description><pubDate>Tue, 08 Dec 2026 12:00:00 GMT</pubDate></item>";
  }
  return text + L"</channel></rss>";
}

double Millis(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  ::QueryPerformanceFrequency(&f);
  return double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart);
}

template <typename F>
double Time(F&& f, int repeat = 1) {
  LARGE_INTEGER a, b;
  ::QueryPerformanceCounter(&a);
  for (int i = 0; i < repeat; ++i) f();
  ::QueryPerformanceCounter(&b);
  return Millis(a, b) / repeat;
}

}  // namespace

int wmain() {
  ::OleInitialize(nullptr);
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring ini = std::wstring(temp) + L"pellora-bench-" + std::to_wstring(::GetCurrentProcessId()) + L".ini";
  ::DeleteFileW(ini.c_str());
  {
    HANDLE f = ::CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD n;
    ::WriteFile(f, "\xFF\xFE", 2, &n, nullptr);
    ::CloseHandle(f);
  }
  ConfigStore store(L"pellora-bench", HKEY_CURRENT_USER, ini);
  SetConfigOverride(&store);
  store.SetString(L"CONFIG", L"UPDATE_SERVER", L"127.0.0.1:9");
  win::SetMessageBoxHook([](HWND, const std::wstring&, const std::wstring&, UINT) { return IDOK; });

  CMainFrame frame;
  if (!frame.Create()) return 1;
  ::KillTimer(frame.Hwnd(), 0);
  ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);

  const std::wstring first = Feed(500, 500), again = first, half = Feed(500, 250);
  XmlDocument doc;
  const double parse = Time([&] { doc.Parse(first.c_str()); }, 20);
  auto deliver = [&](const std::wstring& text) {
    FeedResult result{L"bench001", L"http://bench.example/rss", text};
    ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
  };
  const double empty = Time([&] { deliver(first); });
  const double same = Time([&] { deliver(again); }, 10);
  const double changed = Time([&] { deliver(half); });
  std::printf("feed: 500 items, %zu characters\n", first.size());
  std::printf("parse alone                     %8.2f ms\n", parse);
  std::printf("ProcessFeed, empty channel      %8.2f ms\n", empty);
  std::printf("ProcessFeed, same feed again    %8.2f ms\n", same);
  std::printf("ProcessFeed, half of it changed %8.2f ms\n", changed);
  std::printf("items in the tree: %zu\n", frame.FeedItems().size());
  const double lookup = Time([&] {
    for (int i = 0; i < 500; ++i) IsInUrlCache(L"http://bench.example/articles/" + std::to_wstring(i) + L"?from=rss&x=1");
  });
  std::printf("500 URL-cache look-ups          %8.2f ms\n", lookup);

  // A large channel whose items all go at once (the feed was replaced); PELLORA_BENCH_GONE
  // sets its size.
  const char* size = std::getenv("PELLORA_BENCH_GONE");
  const int count = size ? std::atoi(size) : 10000;
  const std::wstring large = Feed(count, count), small = Feed(10, 0);
  FeedResult big{L"bench002", L"http://bench.example/large", large};
  ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&big));
  const size_t before = frame.FeedItems().size();
  const double gone = Time([&] {
    FeedResult result{L"bench002", L"http://bench.example/large", small};
    ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
  });
  std::printf("ProcessFeed, %d items gone %8.2f ms (%zu -> %zu items)\n", count, gone, before, frame.FeedItems().size());
  SetConfigOverride(nullptr);
  ::DeleteFileW(ini.c_str());
  return 0;
}
