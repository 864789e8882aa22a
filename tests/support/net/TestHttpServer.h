#pragma once
// A plain HTTP server on 127.0.0.1 inside the test process: records every request and
// answers with scripted bytes, optionally dropping the connection part-way, pausing, or
// never answering at all. Each connection is served on a thread of its own.
#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace test {

struct ReceivedRequest {
  std::string requestLine;  // "GET /feed.xml?x=1 HTTP/1.1"
  std::string headerBlock;  // the header lines after the request line, CR LF separated
  std::string body;

  std::string Method() const;
  std::string Target() const;  // the object name as requested
  // The value of a header (name in any letter case), without surrounding blanks.
  std::string Header(std::string_view name) const;
};

struct ScriptedReply {
  std::string bytes;            // everything sent: status line, headers and body
  size_t closeAfter = SIZE_MAX; // bytes of `bytes` sent before the connection is dropped
  size_t pauseAfter = SIZE_MAX; // bytes sent before a pause of pauseMs
  unsigned pauseMs = 0;
  bool silent = false;          // read the request, then never answer (until the server stops)
  uint64_t endlessBody = 0;     // after `bytes`, this many filler bytes (streamed in blocks)
  unsigned trickleMs = 0;       // send `bytes` one at a time, this long apart
};

// A complete answer with Content-Length and Connection: close.
ScriptedReply Reply(int status, std::string_view body, std::string_view contentType = "text/xml");

class TestHttpServer {
 public:
  using Handler = std::function<ScriptedReply(const ReceivedRequest&)>;
  explicit TestHttpServer(Handler handler);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::wstring Url(std::wstring_view path) const;
  std::vector<ReceivedRequest> Requests() const;
  size_t Accepted() const { return accepted_.load(); }

 private:
  void AcceptLoop();
  void Serve(SOCKET client);

  Handler handler_;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> accepted_{0};
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace test
