#pragma once
// Starts tests/support/net/test_server.py (HTTPS with a self-signed certificate, or plain
// HTTP that parses multipart bodies with Python's own MIME parser) as a native Linux
// process from inside the Wine test process, and reads the events it reports.
// The server exits as soon as this object (or the whole test process) goes away.
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <string>

namespace test {

class PythonTestServer {
 public:
  // `testCa`: the certificate is issued for "localhost" by a test CA whose PEM text is the
  // first event (event "ca", field "pem").
  explicit PythonTestServer(bool tls, bool testCa = false);
  ~PythonTestServer();
  PythonTestServer(const PythonTestServer&) = delete;
  PythonTestServer& operator=(const PythonTestServer&) = delete;

  // False when the server did not report its port in time; Error() says why.
  bool Started() const { return port_ != 0; }
  const std::string& Error() const { return error_; }
  uint16_t Port() const { return port_; }

  // The next reported event (field name -> decoded value); empty after the time-out.
  std::map<std::string, std::string> NextEvent(unsigned timeoutMs);

 private:
  bool ReadLine(std::string& line, unsigned timeoutMs);

  SOCKET control_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::string pending_;
  std::string error_;
};

}  // namespace test
