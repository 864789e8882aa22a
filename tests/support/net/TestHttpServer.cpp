#include "support/net/TestHttpServer.h"

#include "support/net/Loopback.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace test {

namespace {

constexpr size_t kMaxRequest = 64 << 20;

// Waits until the socket is readable or the server stops; true when readable.
bool WaitReadable(SOCKET s, const std::atomic<bool>& stopping) {
  while (!stopping.load()) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, 20000};
    int n = ::select(0, &set, nullptr, nullptr, &wait);
    if (n > 0) return true;
    if (n < 0) return false;
  }
  return false;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int n = ::send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string ReceivedRequest::Method() const { return requestLine.substr(0, requestLine.find(' ')); }

std::string ReceivedRequest::Target() const {
  const size_t first = requestLine.find(' ');
  if (first == std::string::npos) return {};
  const size_t second = requestLine.find(' ', first + 1);
  return requestLine.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

std::string ReceivedRequest::Header(std::string_view name) const {
  const std::string wanted = Lower(name) + ":";
  size_t start = 0;
  while (start < headerBlock.size()) {
    size_t end = headerBlock.find("\r\n", start);
    if (end == std::string::npos) end = headerBlock.size();
    std::string_view line(headerBlock.data() + start, end - start);
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      std::string_view value = line.substr(wanted.size());
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
      return std::string(value);
    }
    start = end + 2;
  }
  return {};
}

ScriptedReply Reply(int status, std::string_view body, std::string_view contentType) {
  ScriptedReply reply;
  reply.bytes = "HTTP/1.1 " + std::to_string(status) + " Scripted\r\nContent-Type: " + std::string(contentType) +
                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  reply.bytes += body;
  return reply;
}

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = ListenOnLoopback(SOMAXCONN, port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
  stopping_.store(true);
  acceptor_.join();
  ::closesocket(listener_);
  for (std::thread& connection : connections_) connection.join();
}

std::wstring TestHttpServer::Url(std::wstring_view path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path);
}

std::vector<ReceivedRequest> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestHttpServer::AcceptLoop() {
  while (WaitReadable(listener_, stopping_)) {
    SOCKET client = ::accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    ++accepted_;
    connections_.emplace_back([this, client] { Serve(client); });
  }
}

void TestHttpServer::Serve(SOCKET client) {
  std::string data;
  size_t headerEnd = std::string::npos;
  size_t needed = SIZE_MAX;
  char chunk[8192];
  while (data.size() < needed && data.size() < kMaxRequest) {
    if (!WaitReadable(client, stopping_)) break;
    int n = ::recv(client, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    data.append(chunk, static_cast<size_t>(n));
    if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      ReceivedRequest probe;
      probe.headerBlock = data.substr(0, headerEnd);
      needed = headerEnd + 4 + std::strtoull(probe.Header("Content-Length").c_str(), nullptr, 10);
    }
  }
  if (headerEnd == std::string::npos) {
    ::closesocket(client);
    return;
  }
  ReceivedRequest request;
  const size_t lineEnd = data.find("\r\n");
  request.requestLine = data.substr(0, lineEnd);
  request.headerBlock = lineEnd < headerEnd ? data.substr(lineEnd + 2, headerEnd - lineEnd - 2) : std::string();
  request.body = data.substr(headerEnd + 4);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }

  const ScriptedReply reply = handler_(request);
  if (reply.silent) {
    while (!stopping_.load()) ::Sleep(20);
  } else {
    const size_t total = std::min(reply.bytes.size(), reply.closeAfter);
    size_t sent = 0;
    bool ok = true;
    if (reply.pauseAfter < total) {
      ok = SendAll(client, reply.bytes.data(), reply.pauseAfter);
      sent = reply.pauseAfter;
      for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < reply.pauseMs && !stopping_.load();) ::Sleep(10);
    }
    for (; ok && reply.trickleMs && sent < total && !stopping_.load(); ++sent) {
      ok = SendAll(client, reply.bytes.data() + sent, 1);
      for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < reply.trickleMs && !stopping_.load();) ::Sleep(10);
    }
    if (ok) ok = SendAll(client, reply.bytes.data() + sent, total - sent);
    const std::string filler(64 * 1024, 'x');
    for (uint64_t left = reply.endlessBody; ok && left > 0 && !stopping_.load();) {
      const size_t block = static_cast<size_t>(std::min<uint64_t>(left, filler.size()));
      ok = SendAll(client, filler.data(), block);
      left -= block;
    }
    ::shutdown(client, SD_SEND);
  }
  ::closesocket(client);
}

}  // namespace test
