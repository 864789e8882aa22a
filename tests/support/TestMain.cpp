// gtest entry point for every suite, native and Windows.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  // A crash must fail the test, not open Wine's or Windows' crash dialog and hang.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
#else
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
#endif
