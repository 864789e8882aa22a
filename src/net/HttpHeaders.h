#pragma once
// Reading and writing the few response and request header values a polite feed fetch
// uses: the validators of a conditional request, Retry-After, and the charset of
// Content-Type. Portable (no Windows header) so that it is tested natively.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The longest header value taken over from a server (an ETag, a date, a content type). A
// longer one is ignored: it would only be sent back again with every request.
inline constexpr size_t kMaxHeaderValueChars = 1024;

// The longest wait a server can ask for with Retry-After; a longer one is cut to it.
inline constexpr uint32_t kMaxRetryAfterSeconds = 24 * 60 * 60;

// Whether a server's header value may be sent back in a request header: not empty, at
// most kMaxHeaderValueChars, and no control characters (a CR or LF would start a header
// of the server's choosing).
bool IsSendableHeaderValue(std::wstring_view value);

// An HTTP date in any of the three forms HTTP allows ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994") as seconds since
// 1970-01-01 UTC; none when it is not one.
std::optional<int64_t> ParseHttpDate(std::string_view text);

// The wait a Retry-After value asks for, in seconds from `nowUnix`: a number of seconds or
// an HTTP date, cut to kMaxRetryAfterSeconds; a date in the past asks for 0. None for a
// negative number, a number with anything after it, or text that is neither form.
std::optional<uint32_t> RetryAfterSeconds(std::string_view value, int64_t nowUnix);

// The charset parameter of a Content-Type value ("text/xml; charset=\"EUC-KR\"" gives
// "EUC-KR"), without quotes; empty when there is none.
std::string ContentTypeCharset(std::string_view contentType);
