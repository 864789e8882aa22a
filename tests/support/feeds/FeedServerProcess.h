#pragma once
// The demo feed server (demo/feed_server.py) as a native Linux process started from a
// Wine test process. It ends when this object goes away (its lifeline socket closes).
// Its /control endpoints add items, rotate channels and switch them to failure modes.
#include <winsock2.h>

#include <cstdint>
#include <string>

namespace test {

class FeedServerProcess {
 public:
  explicit FeedServerProcess(double intervalSeconds = 0);
  ~FeedServerProcess();
  FeedServerProcess(const FeedServerProcess&) = delete;
  FeedServerProcess& operator=(const FeedServerProcess&) = delete;

  bool Started() const { return port_ != 0; }
  uint16_t Port() const { return port_; }
  std::wstring Url(const std::wstring& path) const;
  // GET /control/<request>; the answer's body ("" on failure).
  std::string Control(const std::string& request) const;

 private:
  SOCKET control_ = INVALID_SOCKET;
  uint16_t port_ = 0;
};

}  // namespace test
