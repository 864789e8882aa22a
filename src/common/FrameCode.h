#pragma once
// The program's private message: WM_USER with a four-character code in the word parameter
// (first character in the most significant used byte, as a multi-character literal) and
// an argument in the long parameter. PostFrameCode and SendFrameCode are the only places
// that make it.
#include <windows.h>

#include <cstdint>

using FrameCode = uint32_t;

template <size_t N>
constexpr FrameCode MakeFrameCode(const char (&chars)[N]) {
  static_assert(N >= 2 && N <= 5, "a frame code has one to four characters");
  FrameCode value = 0;
  for (size_t i = 0; i + 1 < N; ++i) value = (value << 8) | static_cast<unsigned char>(chars[i]);
  return value;
}

namespace frame_code {
inline constexpr FrameCode kTray = MakeFrameCode("TRAY");
inline constexpr FrameCode kXml = MakeFrameCode("XML");
inline constexpr FrameCode kNoti = MakeFrameCode("NOTI");
inline constexpr FrameCode kView = MakeFrameCode("VIEW");
inline constexpr FrameCode kVer = MakeFrameCode("VER");
inline constexpr FrameCode kEnd = MakeFrameCode("END");
inline constexpr FrameCode kAdd = MakeFrameCode("ADD");
inline constexpr FrameCode kDel = MakeFrameCode("DEL");
inline constexpr FrameCode kRun = MakeFrameCode("RUN");
inline constexpr FrameCode kMain = MakeFrameCode("MAIN");  // to the ticker
inline constexpr FrameCode kNew = MakeFrameCode("NEW");    // which links are new (fetch thread)

static_assert(kTray == 0x54524159 && kXml == 0x00584D4C && kNoti == 0x4E4F5449 &&
              kView == 0x56494557 && kVer == 0x00564552 && kEnd == 0x00454E44 &&
              kAdd == 0x00414444 && kDel == 0x0044454C && kRun == 0x0052554E &&
              kMain == 0x4D41494E);
}  // namespace frame_code

// Posts a code to a window; false when the window's queue did not take it. A record that
// `arg` points at becomes the receiver's once the post succeeds.
inline bool PostFrameCode(HWND window, FrameCode code, LPARAM arg = 0) {
  return ::PostMessageW(window, WM_USER, code, arg) != FALSE;
}
// Sends a code to a window and returns its answer. A record that `arg` points at stays the
// sender's; it only has to live for the call.
inline LRESULT SendFrameCode(HWND window, FrameCode code, LPARAM arg = 0) {
  return ::SendMessageW(window, WM_USER, code, arg);
}
template <typename Record>
bool PostFrameCode(HWND window, FrameCode code, Record* record) {
  return PostFrameCode(window, code, reinterpret_cast<LPARAM>(record));
}
template <typename Record>
LRESULT SendFrameCode(HWND window, FrameCode code, Record* record) {
  return SendFrameCode(window, code, reinterpret_cast<LPARAM>(record));
}
