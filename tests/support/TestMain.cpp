// gtest entry point for every suite, native and Windows.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>

#include "net/NetSession.h"
#include "support/win/WinTest.h"

namespace {

// A network worker a test started (a fetch run, an update check) finishes before the
// next test and before the process ends: one cut off inside WinINet at exit can leave a
// lock held that WinINet's clean-up then waits on for good, and the run hangs.
class NetWorkerDrain : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& info) override {
    if (test::PumpUntil([] { return RunningNetWorkers() == 0; }, 2 * kNetworkTimeoutMs)) return;
    std::fprintf(stderr, "%s.%s left %d network worker(s) running\n", info.test_suite_name(), info.name(),
                 RunningNetWorkers());
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // A crash must fail the test, not open Wine's or Windows' crash dialog and hang.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new NetWorkerDrain);
  return RUN_ALL_TESTS();
}
#else
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
#endif
