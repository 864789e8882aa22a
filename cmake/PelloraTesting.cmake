# GoogleTest from Debian's sources, built by us for every configuration.
set(PELLORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
# Plain variables: GoogleTest's option() takes them (policy CMP0077) and a user's cache
# entries stay as they are.
set(INSTALL_GTEST OFF)
set(BUILD_GMOCK ON)
add_subdirectory(${PELLORA_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
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

# pellora_add_python_tests(<prefix> MODULES <module>... [TIMEOUT seconds] [DESKTOP]
#                          [ENVIRONMENT NAME=value...])
# Every `def test_...` of every unittest class in the modules (Python files of the calling
# folder) becomes its own ctest entry <prefix>.<test name>, run with the test interpreter
# from that folder. A test added to a module is registered at the next configure.
function(pellora_add_python_tests prefix)
  cmake_parse_arguments(T "DESKTOP" "TIMEOUT" "MODULES;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  list(APPEND T_ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
  foreach(module ${T_MODULES})
    set(file ${CMAKE_CURRENT_SOURCE_DIR}/${module}.py)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(STRINGS ${file} lines REGEX "^(class [A-Za-z_0-9]+\\(|    def test_[A-Za-z_0-9]+\\()")
    set(class "")
    foreach(line ${lines})
      if(line MATCHES "^class ([A-Za-z_0-9]+)")
        set(class ${CMAKE_MATCH_1})
      elseif(line MATCHES "def (test_[A-Za-z_0-9]+)")
        set(name ${prefix}.${CMAKE_MATCH_1})
        add_test(NAME ${name}
          COMMAND ${PELLORA_TEST_PYTHON3} -m unittest -v ${module}.${class}.${CMAKE_MATCH_1}
          WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${T_ENVIRONMENT}")
        if(T_DESKTOP)
          set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
        endif()
      endif()
    endforeach()
  endforeach()
endfunction()
