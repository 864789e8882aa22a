# Cross-compiling for Windows x86 with mingw-w64 (posix threads, static runtime).
# This kernel cannot execute 32-bit code, so no emulator is set: the x86 build is
# compiled and linked on every run, never executed here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PELLORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
