# GoogleTest from Debian's sources, built by us for every configuration.
set(PELLORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${PELLORA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# pellora_add_test(<name> SOURCES ... [LIBS ...] [WINDOWS])
# A test executable with gtest_main from tests/support; each test becomes its own ctest
# entry (one process each, so a crashed or hung test cannot take its neighbours along).
# WINDOWS marks suites that need the real platform (built only for Windows targets).
function(pellora_add_test name)
  cmake_parse_arguments(T "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
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
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 120)
endfunction()
