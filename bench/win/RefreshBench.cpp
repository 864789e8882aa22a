// Times the first refresh of many one-item channels (PELLORA_BENCH_CHANNELS, 5,000 by
// default) from a server on 127.0.0.1 into the real frame: from 'RUN' to 'END', with the
// longest stretch the frame's thread went without taking a message.
#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrame.h"
#include "config/ConfigStore.h"
#include "res/resource.h"
#include "win/Dialog.h"

namespace {

// Answers every request with a one-item feed named after its path.
class FeedServer {
 public:
  FeedServer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 64);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FeedServer() {
    ::closesocket(listener_);
    thread_.join();
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    for (;;) {
      SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      char request[4096];
      int n = ::recv(client, request, sizeof(request) - 1, 0);
      std::string path = "/";
      if (n > 0) {
        request[n] = 0;
        const char* start = std::strchr(request, ' ');
        const char* end = start ? std::strchr(start + 1, ' ') : nullptr;
        if (start && end) path.assign(start + 1, end);
      }
      const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss><channel><title>Channel " + path +
                               "</title><item><title>Only item of " + path + "</title><link>http://item.example" +
                               path + "</link></item></channel></rss>";
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body;
      ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  SOCKET listener_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace

int wmain() {
  ::OleInitialize(nullptr);
  const char* setting = std::getenv("PELLORA_BENCH_CHANNELS");
  const int channels = setting ? std::atoi(setting) : 5000;
  FeedServer server;

  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring ini = std::wstring(temp) + L"pellora-refresh-" + std::to_wstring(::GetCurrentProcessId()) + L".ini";
  {
    std::string file = "[CONFIG]\r\nUPDATE_SERVER=127.0.0.1:9\r\n";
    for (int i = 0; i < channels; ++i) {
      char section[96];
      std::snprintf(section, sizeof section, "[CONFIG\\%08x]\r\nURL=http://127.0.0.1:%d/c%d\r\n", 0x10000000 + i,
                    server.Port(), i);
      file += section;
    }
    HANDLE f = ::CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(f, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    ::CloseHandle(f);
  }
  ConfigStore store(L"pellora-bench", nullptr, ini);
  SetConfigOverride(&store);
  win::SetMessageBoxHook([](HWND, const std::wstring&, const std::wstring&, UINT) { return IDOK; });

  {
    CMainFrame frame;
    if (!frame.Create()) return 1;
    ::KillTimer(frame.Hwnd(), 0);
    ::ShowWindow(frame.Hwnd(), SW_SHOWNORMAL);

    const ULONGLONG start = ::GetTickCount64();
    PostFrameCode(frame.Hwnd(), frame_code::kRun, 0);
    ULONGLONG last = start, longest = 0;
    MSG msg;
    bool started = false;
    while (!started || frame.Fetching()) {
      started = started || frame.Fetching();
      if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      } else {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
      const ULONGLONG now = ::GetTickCount64();
      longest = std::max(longest, now - last);
      last = now;
    }
    const ULONGLONG total = ::GetTickCount64() - start;

    // The frame's share: the same results handed to it directly, into an emptied tree.
    for (const std::wstring& key : [&] {
           std::vector<std::wstring> keys;
           for (int i = 0; i < channels; ++i) keys.push_back(L"http://127.0.0.1:" + std::to_wstring(server.Port()) + L"/c" + std::to_wstring(i));
           return keys;
         }())
      ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kDel, reinterpret_cast<LPARAM>(key.c_str()));
    const ULONGLONG direct = ::GetTickCount64();
    for (int i = 0; i < channels; ++i) {
      const std::string path = "/c" + std::to_string(i);
      const std::wstring wpath(path.begin(), path.end());
      wchar_t id[16];
      std::swprintf(id, 16, L"%08x", 0x10000000 + i);
      FeedResult result{id, L"http://127.0.0.1:" + std::to_wstring(server.Port()) + wpath,
                        L"<?xml version=\"1.0\"?><rss><channel><title>Channel " + wpath + L"</title><item><title>Only item of " +
                            wpath + L"</title><link>http://item.example" + wpath + L"</link></item></channel></rss>"};
      ::SendMessageW(frame.Hwnd(), WM_USER, frame_code::kXml, reinterpret_cast<LPARAM>(&result));
    }
    const ULONGLONG frameShare = ::GetTickCount64() - direct;
    std::printf("channels: %d, tree entries: %zu, feed items: %zu\n", channels, frame.Tree().ItemCount(),
                frame.FeedItems().size());
    std::printf("first refresh                   %8.2f s\n", total / 1000.0);
    std::printf("longest stretch without a message %6llu ms\n", longest);
    std::printf("the frame alone (results handed over directly) %8.2f s\n", frameShare / 1000.0);
    ::SendMessageW(frame.Hwnd(), WM_COMMAND, IDM_EXIT, 0);
  }
  SetConfigOverride(nullptr);
  ::DeleteFileW(ini.c_str());
  return 0;
}
