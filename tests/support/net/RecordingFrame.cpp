#include "support/net/RecordingFrame.h"

#include "common/FrameCode.h"
#include "support/win/WinTest.h"

namespace test {

namespace {
constexpr wchar_t kClassName[] = L"PelloraTestRecordingFrame";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

RecordingFrame::RecordingFrame() {
  win::Window::RegisterWindowClass(kClassName, 0, nullptr);
  CreateEx(0, kClassName, L"recording frame", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr);
}

RecordingFrame::~RecordingFrame() { Destroy(); }

bool RecordingFrame::WaitForEnd(DWORD timeoutMs) {
  return PumpUntil([this] { return ends > 0; }, timeoutMs);
}

LRESULT RecordingFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_USER) return DefaultMessage(msg, wParam, lParam);
  const bool sent = ::InSendMessage() != FALSE;
  switch (static_cast<FrameCode>(wParam)) {
    case frame_code::kXml:
      if (lParam) {
        const auto& result = *reinterpret_cast<const FeedResult*>(lParam);
        results.push_back(result);
        if (!sent) ++postedXml;
        if (onResult) onResult(result);
        events.push_back("XML:" + Narrow(result.id));
      }
      break;
    case frame_code::kEnd:
      ++ends;
      if (sent) ++sentEnds;
      events.push_back("END");
      break;
    case frame_code::kVer:
      if (lParam) answers.emplace_back(reinterpret_cast<const wchar_t*>(lParam));
      if (!sent) ++postedVer;
      events.push_back("VER");
      break;
  }
  return 0;
}

}  // namespace test
