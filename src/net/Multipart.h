#pragma once
// The layout of an upload: a multipart/form-data body that carries a leading text part,
// the file's name, size and CRC-32, then the file itself. The texts here are converted to
// UTF-8 by the client; the file's bytes go between head and tail unchanged. Portable (no
// Windows header) so that it is tested natively.
#include <cstdint>
#include <string>
#include <string_view>

namespace multipart {

// Sixteen lowercase hexadecimal digits and "-kestrum" from four pseudo-random values
// (0..32767) given in the order they were drawn: the last one drawn is printed first.
std::wstring Boundary(int first, int second, int third, int fourth);

// The file name of an upload path: the text after the later of the last "/" and the
// last "\". The whole path when it has no separator or that separator is its first character.
std::wstring UploadName(std::wstring_view path);

// The request headers: the content type (no blank after its colon, a comma before
// "boundary=") followed by the caller's own header lines.
std::wstring RequestHeaders(std::wstring_view boundary, std::wstring_view extraHeaders);

// Everything before the file's bytes: the text part, the name, size and crc32 parts, and
// the upload part's headers. The CRC is printed in lowercase hexadecimal without leading zeros.
std::wstring Head(std::wstring_view boundary, std::wstring_view text, std::wstring_view name,
                  uint64_t size, uint32_t crc);

// The closing delimiter after the file's last byte. It starts with CR LF, as every
// delimiter must, so that a standard parser ends the file part exactly at its last byte
// (without it the delimiter is read as part of the file, or a final CR LF of the file is
// taken as the delimiter's).
std::wstring Tail(std::wstring_view boundary);

}  // namespace multipart
