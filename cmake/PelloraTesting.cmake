# GoogleTest from Debian's sources, built by us for every configuration.
set(PELLORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${PELLORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# pellora_add_test(<name> SOURCES ... [LIBS ...] [WINDOWS] [DESKTOP] [TIMEOUT seconds])
# A test executable with gtest_main from tests/support; each test becomes its own ctest
# entry (one process each, so a crashed or hung test cannot take its neighbours along).
# WINDOWS marks suites that need the real platform (built only for Windows targets).
# DESKTOP marks suites whose windows, cursor and foreground must not meet another
# suite's on the one shared virtual desktop: ctest runs them one at a time.
function(pellora_add_test name)
  cmake_parse_arguments(T "WINDOWS;DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(T_WINDOWS AND NOT WIN32)
    return()
  endif()
  if(T_WINDOWS)
    # The real resources: menus, dialogs, icons, bitmaps, strings, version, manifest.
    list(APPEND T_SOURCES $<TARGET_OBJECTS:pellora_res>)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE pellora_test_support ${T_LIBS} GTest::gmock)
  if(WIN32)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE OFF)
  endif()
  set(properties TIMEOUT ${T_TIMEOUT})
  if(T_DESKTOP)
    list(APPEND properties RESOURCE_LOCK desktop)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()
