#include "win/Ole.h"

#include <windows.h>
#include <ole2.h>

namespace win {

namespace {
thread_local bool started = false;
}  // namespace

bool EnsureOle() {
  if (started) return true;
  // S_FALSE (already started by someone else on this thread) is usable too, and still
  // counts one start to balance.
  started = SUCCEEDED(::OleInitialize(nullptr));
  return started;
}

void EndOle() {
  if (!started) return;
  started = false;
  ::OleUninitialize();
}

}  // namespace win
