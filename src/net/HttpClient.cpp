#include "net/HttpClient.h"

#include <windows.h>
#include <ntsecapi.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "common/DebugTrace.h"
#include "common/TextConv.h"
#include "net/Crc32.h"
#include "net/HttpUrl.h"
#include "net/Multipart.h"
#include "net/NetSession.h"

namespace {

constexpr DWORD kChunkBuffer = 1024;  // one byte stays zero after every read
constexpr DWORD kCrcBlock = 4096;
constexpr DWORD kCrcError = 23;  // ERROR_CRC: what a failed read of the CRC pass reports

// The CRC-32 of a file's bytes. 0 on success, else the open error or kCrcError.
DWORD FileCrc32(const std::wstring& path, uint32_t& crc) {
  win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    DWORD error = ::GetLastError();
    return error != 0 ? error : kCrcError;
  }
  Crc32 sum;
  std::vector<unsigned char> block(kCrcBlock);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), block.data(), kCrcBlock, &read, nullptr)) return kCrcError;
    if (read == 0) break;
    sum.Update(block.data(), read);
  }
  crc = sum.Value();
  return 0;
}

// Reads exactly `size` bytes (the file may be larger than one ReadFile can take).
bool ReadWhole(HANDLE file, char* out, size_t size) {
  while (size > 0) {
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!::ReadFile(file, out, want, &read, nullptr) || read == 0) return false;
    out += read;
    size -= read;
  }
  return true;
}

// A value in rand()'s range (0 to 32767) from the system's random generator.
int RandomValue() {
  uint16_t value = 0;
  // RtlGenRandom lives in advapi32, which every process has; the crypto DLL would bring
  // GnuTLS into the process under Wine for two bytes.
  if (!::RtlGenRandom(&value, sizeof(value)))
    value = static_cast<uint16_t>(::GetTickCount() ^ (::GetCurrentThreadId() << 7));
  return value & 0x7FFF;
}

}  // namespace

HttpClient::HttpClient() : session_(OpenInternetSession()) {}

std::wstring HttpClient::GetUrl() { return {}; }
std::wstring HttpClient::GetVerb() { return L"GET"; }
std::wstring HttpClient::GetHeaders() { return {}; }
std::wstring HttpClient::GetBody() { return {}; }
std::wstring HttpClient::GetUploadFile() { return {}; }
std::wstring HttpClient::GetOutputFile() { return {}; }
uint64_t HttpClient::GetBodyLimit() { return std::numeric_limits<uint64_t>::max(); }
bool HttpClient::AcceptsCompression() { return false; }

std::wstring HttpClient::ResponseHeader(const wchar_t* name, size_t most) const {
  if (!request_) return {};
  // HTTP_QUERY_CUSTOM takes the name in the buffer and returns the value in its place.
  std::wstring buffer(name);
  buffer.resize(std::max<size_t>(buffer.size(), 64) + 1);
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_CUSTOM, buffer.data(), &bytes, nullptr)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    if (bytes / sizeof(wchar_t) > most + 1) {
      DebugTrace(L"header %ls too long (%lu bytes), ignored\n", name, static_cast<unsigned long>(bytes));
      return {};
    }
    buffer.assign(name);
    buffer.resize(bytes / sizeof(wchar_t) + 1);
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_CUSTOM, buffer.data(), &bytes, nullptr)) return {};
  }
  buffer.resize(std::min<size_t>(bytes / sizeof(wchar_t), buffer.size()));
  if (buffer.size() > most) {
    DebugTrace(L"header %ls too long (%lu bytes), ignored\n", name, static_cast<unsigned long>(bytes));
    return {};
  }
  return buffer;
}

int HttpClient::Connect() {
  const HttpUrl url = HttpUrl::Split(GetUrl());
  path_ = url.path;
  query_ = url.query;
  isHttps_ = url.isHttps;
  const int port = url.PortNumber();
  if (session_ && !url.host.empty() && port >= 0) {
    connection_.Reset(::InternetConnectW(session_.Get(), url.host.c_str(), static_cast<INTERNET_PORT>(port),
                                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  }
  if (!connection_) {
    DebugTrace(L"Connect error : %ls:%ls\n", url.host.c_str(), url.portText.c_str());
    return -1;
  }
  SetNetworkTimeouts(connection_.Get());
  return 0;
}

int HttpClient::Execute() {
  timedOut_ = false;
  NetDeadline deadline;
  const int result = Run(deadline);
  deadline.Stop();
  if (deadline.Expired()) {
    timedOut_ = true;
    DebugTrace(L"Deadline passed : %ls\n", GetUrl().c_str());
    return -1;
  }
  return result;
}

int HttpClient::Run(NetDeadline& deadline) {
  if (Connect() == -1) return -1;
  deadline.Watch(connection_);

  const std::wstring object = path_ + (query_.empty() ? L"" : L"?" + query_);
  // No certificate or redirect problem is ignored: an HTTPS feed that cannot prove who
  // serves it is not read.
  // Never answered from the URL cache either: whether a feed changed is asked of its server
  // (conditional requests), not taken from whatever a browser stored.
  const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | (isHttps_ ? INTERNET_FLAG_SECURE : 0);
  request_.Reset(::HttpOpenRequestW(connection_.Get(), GetVerb().c_str(), object.c_str(), L"HTTP/1.1", nullptr,
                                    nullptr, flags, 1));
  if (!request_) return -1;
  deadline.Watch(request_);
  SetNetworkTimeouts(request_.Get());
  if (isHttps_) SkipRevocationCheck(request_.Get());

  std::wstring headers;
  std::vector<char> body;
  if (const std::wstring upload = GetUploadFile(); !upload.empty()) {
    if (!BuildUpload(upload, headers, body)) return -1;
  } else {
    headers = GetHeaders();
    if (AcceptsCompression()) {
      BOOL decode = TRUE;
      if (::InternetSetOptionW(request_.Get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof(decode)))
        headers += L"Accept-Encoding: gzip, deflate\r\n";
    }
    const std::string utf8 = ToMultiByte(GetBody(), CP_UTF8);
    body.assign(utf8.begin(), utf8.end());
  }
  if (body.size() > std::numeric_limits<DWORD>::max() || headers.size() > std::numeric_limits<DWORD>::max())
    return -1;

  const BOOL sent = ::HttpSendRequestW(request_.Get(), headers.empty() ? nullptr : headers.c_str(),
                                       static_cast<DWORD>(headers.size()), body.empty() ? nullptr : body.data(),
                                       static_cast<DWORD>(body.size()));
  if (!sent) return -1;

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    DebugTrace(L"QueryInfoStatusCode : GetLastError(%d)\n", static_cast<int>(::GetLastError()));
    return 0;
  }

  win::FileHandle output;
  if (const std::wstring outputPath = GetOutputFile(); !outputPath.empty()) {
    output.Reset(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) {
      DebugTrace(L"File Open Error : [%ls]\n", outputPath.c_str());
      return -1;
    }
  }

  std::string memory;
  const bool complete = ReadBody(output.Get(), memory, deadline);
  // What arrived before a failure stays readable, as it does in the output file.
  if (!output) response_ = ToWide(memory, CP_ACP);
  return complete ? static_cast<int>(status) : -1;
}

bool HttpClient::ReadBody(HANDLE output, std::string& memory, const NetDeadline& deadline) {
  const uint64_t limit = GetBodyLimit();
  uint64_t total = 0;
  char buffer[kChunkBuffer];
  for (;;) {
    // Where closing the handle does not cancel a blocked read (Wine), a trickle still
    // ends here, at the first chunk after the deadline.
    if (deadline.Expired()) return false;
    std::memset(buffer, 0, sizeof(buffer));
    DWORD read = 0;
    if (!::InternetReadFile(request_.Get(), buffer, ArrivedBytes(request_.Get(), kChunkBuffer - 1), &read)) return false;
    if (read == 0) return true;
    if (output != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      if (!::WriteFile(output, buffer, read, &written, nullptr) || written != read) return false;
    } else {
      // Converted once at the end, so that a character split between two chunks survives.
      memory.append(buffer, ::strnlen(buffer, read));
    }
    total += read;
    if (total > limit) return false;
  }
}

bool HttpClient::BuildUpload(const std::wstring& file, std::wstring& headers, std::vector<char>& body) {
  uint32_t crc = 0;
  if (FileCrc32(file, crc) != 0) {
    DebugTrace(L"File crc error [%ls]\n", file.c_str());
    return false;
  }
  win::FileHandle input(
      ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER length{};
  if (!input || !::GetFileSizeEx(input.Get(), &length)) {
    DebugTrace(L"File open error [%ls]\n", file.c_str());
    return false;
  }

  // The four values are drawn in this order and printed last first. They come from the
  // system's generator: rand() is per thread and never seeded on this worker, so every
  // upload would carry the same boundary, and a file containing it would break the body.
  const int first = RandomValue();
  const int second = RandomValue();
  const int third = RandomValue();
  const int fourth = RandomValue();
  const std::wstring boundary = multipart::Boundary(first, second, third, fourth);
  headers = multipart::RequestHeaders(boundary, GetHeaders());
  const std::wstring name = multipart::UploadName(file);
  const uint64_t fileSize = static_cast<uint64_t>(length.QuadPart);
  const std::string head = ToMultiByte(multipart::Head(boundary, GetBody(), name, fileSize, crc), CP_UTF8);
  const std::string tail = ToMultiByte(multipart::Tail(boundary), CP_UTF8);

  // Sizes in size_t: a long text part or a large file cannot wrap a 16-bit count.
  const size_t room = std::numeric_limits<size_t>::max() - head.size() - tail.size();
  try {
    if (fileSize > room) throw std::bad_alloc();
    body.resize(head.size() + static_cast<size_t>(fileSize) + tail.size());
  } catch (const std::bad_alloc&) {
    DebugTrace(L"Memory Allocation error\n");
    return false;
  }
  std::memcpy(body.data(), head.data(), head.size());
  if (!ReadWhole(input.Get(), body.data() + head.size(), static_cast<size_t>(fileSize))) {
    DebugTrace(L"File read error [%ls]\n", file.c_str());
    return false;
  }
  std::memcpy(body.data() + head.size() + fileSize, tail.data(), tail.size());
  return true;
}
