# Delay-loaded imports for mingw-w64 builds: the DLL is loaded by the first call of one of the
# listed functions rather than at start. Wine brings in a chain of Unix libraries with some
# DLLs (the common dialogs bring the print spooler and with it CUPS, Kerberos and D-Bus; the
# crypto DLL brings GnuTLS), several megabytes a session that never opens a dialog pays for.
#
#   pellora_delay_import(<target> <dll> <name>@<argument bytes> ...)
#
# The argument bytes give the x86 stdcall decoration; x64 drops them. A function of the DLL
# not listed stays an ordinary import (the DLL is then loaded at start again): the test
# ImportTable.test_dlls_loaded_on_first_use_are_not_imported_at_start catches that.
function(pellora_delay_import target dll)
  string(REGEX REPLACE "\\.[^.]*$" "" stem "${dll}")
  set(def "${CMAKE_CURRENT_BINARY_DIR}/delay-${stem}.def")
  set(lib "${CMAKE_CURRENT_BINARY_DIR}/libdelay-${stem}.a")
  set(exports "")
  foreach(name IN LISTS ARGN)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      string(REGEX REPLACE "@[0-9]+$" "" name "${name}")
    endif()
    string(APPEND exports "${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT "${def}" CONTENT "LIBRARY ${dll}\nEXPORTS\n${exports}" @ONLY)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(machine i386:x86-64)
  else()
    set(machine i386 --kill-at)
  endif()
  add_custom_command(OUTPUT "${lib}"
    COMMAND ${PELLORA_DLLTOOL} -m ${machine} -d delay-${stem}.def -D ${dll} -y libdelay-${stem}.a
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" DEPENDS "${def}" VERBATIM)
  add_custom_target(${target}-delay-${stem} DEPENDS "${lib}")
  add_dependencies(${target} ${target}-delay-${stem})
  target_link_libraries(${target} PUBLIC "${lib}")
endfunction()
