#pragma once
// A stand-in for the main frame: a hidden window that receives the worker threads'
// private messages and keeps copies of what they carried, in arrival order.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Records.h"
#include "win/Window.h"

namespace test {

class RecordingFrame : public win::Window {
 public:
  RecordingFrame();
  ~RecordingFrame() override;

  // Copies of every 'XML' result, and every 'VER' answer text.
  std::vector<FeedResult> results;
  std::vector<std::wstring> answers;
  // "XML:<id>", "END" and "VER" in the order they arrived.
  std::vector<std::string> events;
  int ends = 0;
  // How the messages came: 'XML' and 'VER' must be sent (the records live on the
  // sender's stack), 'END' posted.
  int postedXml = 0, sentEnds = 0, postedVer = 0;

  // Called while an 'XML' is being handled (the sender still waits).
  std::function<void(const FeedResult&)> onResult;

  // Pumps messages until 'END' arrived (or the time-out passed).
  bool WaitForEnd(DWORD timeoutMs);

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace test
