#pragma once
// A request address split into what a connection and a request need: scheme, host, port
// text, object path and query. Portable (no Windows header) so that it is tested natively.
#include <string>
#include <string_view>

struct HttpUrl {
  std::wstring scheme;    // the text before "://"; "http" when the address names none
  std::wstring host;
  std::wstring portText;  // as written after the host's ":", else "443" for https, "80" otherwise
  std::wstring path;      // from the first "/" after the host, without the query; "/" when none
  std::wstring query;     // the text after the first "?", without it; empty when none
  bool isHttps = false;   // the scheme is "https" in any letter case

  // Any scheme other than https is treated like http. An explicit port is used whatever
  // the scheme. The host (and port) end at the first "/" or "?", so "http://host",
  // "host:8080" and "http://host?x=1" ask for the object "/" instead of failing.
  static HttpUrl Split(std::wstring_view url);

  // The port as a number the way the runtime reads it (_wtoi): -1 when it is outside
  // 0..65535. 0 lets the platform pick the scheme's default port.
  int PortNumber() const;

  // The object name of the request: path, then "?" and the query when there is one.
  std::wstring ObjectName() const;
};
