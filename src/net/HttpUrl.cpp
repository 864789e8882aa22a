#include "net/HttpUrl.h"

#include "common/CharClass.h"
#include "common/TextUtil.h"

HttpUrl HttpUrl::Split(std::wstring_view url) {
  HttpUrl parts;
  std::wstring_view rest = url;
  if (size_t mark = url.find(L"://"); mark != std::wstring_view::npos) {
    parts.scheme = url.substr(0, mark);
    rest = url.substr(mark + 3);
  } else {
    parts.scheme = L"http";
  }
  parts.isHttps = EqualsIgnoreAsciiCase(parts.scheme, L"https");

  const size_t hostEnd = rest.find_first_of(L"/?");
  std::wstring_view authority = rest.substr(0, hostEnd);
  std::wstring_view object = hostEnd == std::wstring_view::npos ? std::wstring_view() : rest.substr(hostEnd);

  if (size_t colon = authority.find(L':'); colon != std::wstring_view::npos) {
    parts.host = authority.substr(0, colon);
    parts.portText = authority.substr(colon + 1);
  } else {
    parts.host = authority;
    parts.portText = parts.isHttps ? L"443" : L"80";
  }

  const size_t question = object.find(L'?');
  parts.path = object.substr(0, question);
  if (question != std::wstring_view::npos) parts.query = object.substr(question + 1);
  if (parts.path.empty()) parts.path = L"/";
  return parts;
}

int HttpUrl::PortNumber() const {
  const int32_t port = ParseLeadingInt(portText);
  return port >= 0 && port <= 65535 ? port : -1;
}

std::wstring HttpUrl::ObjectName() const {
  return query.empty() ? path : path + L"?" + query;
}
