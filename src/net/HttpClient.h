#pragma once
// One HTTP or HTTPS request per object, over WinINet. A subclass describes the request by
// overriding the request-description operations; the caller runs Execute once, then reads
// the output file or Response(), and destroys the object. Failures are traced and
// returned, never thrown; HTTPS certificates are always validated.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/Handles.h"

class NetDeadline;

class HttpClient {
 public:
  HttpClient();
  virtual ~HttpClient() = default;
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Splits GetUrl and obtains the connection: 0 when it was obtained, -1 otherwise.
  int Connect();

  // -1 when the connection, the request, the sending, the output file or the reading
  // failed, or when the whole request outlasted the download deadline; 0 when the request was sent but its status code could not be read; otherwise
  // the server's status code, whatever it is (the body is stored for every status).
  int Execute();

  // The response body when no output file was given, read from the ANSI code page; each
  // received chunk ends at its first zero byte.
  const std::wstring& Response() const { return response_; }

  // Whether the last Execute ended because the whole request took longer than the
  // download deadline (it then returned -1).
  bool TimedOut() const { return timedOut_; }

  // A header of the last answer (name in any letter case), as the server sent it; empty
  // when there was none, when it is longer than `most` characters (traced), or when the
  // request has been closed (after a deadline). Call after Execute.
  std::wstring ResponseHeader(const wchar_t* name, size_t most) const;

  // The split address, after Connect.
  bool IsHttps() const { return isHttps_; }
  const std::wstring& Path() const { return path_; }
  const std::wstring& Query() const { return query_; }

 protected:
  // The request description. The base versions describe a plain GET of nothing.
  virtual std::wstring GetUrl();         // the full address
  virtual std::wstring GetVerb();        // "GET"
  virtual std::wstring GetHeaders();     // extra header lines, CR LF separated, passed as they are
  virtual std::wstring GetBody();        // sent as UTF-8; in the upload, the first part's content
  virtual std::wstring GetUploadFile();  // non-empty selects the multipart upload
  virtual std::wstring GetOutputFile();  // receives the body; empty keeps it in Response()

  // The most body bytes worth reading. A body that passes it ends Execute with -1 once
  // the chunk that passed it is stored, so a server that streams without end cannot keep
  // the request alive. No limit in the base.
  virtual uint64_t GetBodyLimit();

  // True asks for a compressed body (gzip or deflate) and has WinINet decode it, so that
  // the body stored is the document itself. False in the base.
  virtual bool AcceptsCompression();

 private:
  // Execute within the deadline, which closes the connection and the request when it runs out.
  int Run(NetDeadline& deadline);
  // Builds the upload's headers and body; false (traced) ends Execute with -1.
  bool BuildUpload(const std::wstring& file, std::wstring& headers, std::vector<char>& body);
  // Streams the body to `output` (or to memory when it is not open); false on a failure.
  bool ReadBody(HANDLE output, std::string& memory, const NetDeadline& deadline);

  // Released in reverse order: request, connection, session.
  win::InternetHandle session_;
  win::InternetHandle connection_;
  win::InternetHandle request_;
  bool isHttps_ = false;
  bool timedOut_ = false;
  std::wstring path_;
  std::wstring query_;
  std::wstring response_;
};
