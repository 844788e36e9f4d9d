# The import gate: every DLL and function a shipped file imports must be on
# the oldest Windows the file is for, and its PE header must not ask for a
# newer one. Windows' loader refuses to start a program (or LoadLibrary a
# DLL) when a single import is missing, so this is what decides where the
# files run. Files named in PENTIUM_FILES must also run on a Pentium
# (pentium_scan.cmake): the i686 DLL, which runs inside the user's program.
#
#   cmake -DOBJDUMP=... -DARCH=i686|x86_64 -DLISTS=<this folder>
#         "-DFILES=a.exe;b.dll" [-DDLLS=kernel32.dll;msvcrt.dll] [-DPENTIUM_FILES=b.dll]
#         -P check_imports.cmake
#
# Refused: a DLL outside DLLS (by default the few the program needs), an
# import by ordinal, a function of newer-than-xp.<ARCH>.txt (see
# make_newer_api_lists.sh), an msvcrt.dll function not in msvcrt-xp.txt, an
# OS or subsystem version above 5.1 (x86_64: 5.2), and in PENTIUM_FILES an
# instruction newer than the Pentium's.
cmake_minimum_required(VERSION 3.25)
if(ARCH STREQUAL "i686")
  set(oldest "Windows XP SP3 (32-bit)")
  set(max_major 5)
  set(max_minor 1)
else()
  set(oldest "Windows XP x64 / Server 2003")
  set(max_major 5)
  set(max_minor 2)
endif()
if(NOT DLLS)
  set(DLLS kernel32.dll msvcrt.dll setupapi.dll winmm.dll advapi32.dll user32.dll ole32.dll shell32.dll)
endif()

function(read_names file out)
  file(STRINGS ${file} lines REGEX "^[^#]")
  set(${out} ${lines} PARENT_SCOPE)
endfunction()
read_names(${LISTS}/newer-than-xp.${ARCH}.txt newer)
read_names(${LISTS}/msvcrt-xp.txt msvcrt_known)

include(${CMAKE_CURRENT_LIST_DIR}/pe_dump.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/pentium_scan.cmake)
set(failures "")
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  pe_dump(${file} dump)

  foreach(field OSystem Subsystem)
    string(REGEX MATCH "Major${field}Version\t+([0-9]+)" _ "${dump}")
    set(major ${CMAKE_MATCH_1})
    string(REGEX MATCH "Minor${field}Version\t+([0-9]+)" _ "${dump}")
    set(minor ${CMAKE_MATCH_1})
    if(major GREATER max_major OR (major EQUAL max_major AND minor GREATER max_minor))
      string(APPEND failures "\n  ${name}: ${field} version ${major}.${minor} is above ${max_major}.${max_minor}")
    endif()
  endforeach()

  # "\tDLL Name: X" opens a DLL's imports; "\t<vma>\t <hint>  <name>" follow.
  string(REPLACE "\n" ";" lines "${dump}")
  set(dll "")
  set(summary "")
  set(count 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\tDLL Name: (.+)$")
      if(dll)
        string(APPEND summary " ${dll} (${count})")
      endif()
      set(dll ${CMAKE_MATCH_1})
      set(count 0)
      string(TOLOWER "${dll}" lower)
      if(NOT lower IN_LIST DLLS)
        string(APPEND failures "\n  ${name}: imports from ${dll}, which is not one of ${DLLS}")
      endif()
    elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z_][A-Za-z0-9_@]*)$")
      set(function ${CMAKE_MATCH_1})
      math(EXPR count "${count} + 1")
      if(function IN_LIST newer)
        string(APPEND failures "\n  ${name}: ${dll}!${function} is newer than ${oldest}")
      endif()
      if(lower STREQUAL "msvcrt.dll" AND NOT function IN_LIST msvcrt_known)
        string(APPEND failures
               "\n  ${name}: msvcrt.dll!${function} is not known to be in ${oldest}'s msvcrt.dll (msvcrt-xp.txt)")
      endif()
    elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +<none> +([0-9a-f]+)")
      string(APPEND failures "\n  ${name}: imports ordinal ${CMAKE_MATCH_1} of ${dll}, which cannot be checked")
    elseif(dll AND line STREQUAL "")
      string(APPEND summary " ${dll} (${count})")
      set(dll "")
    endif()
  endforeach()
  message(STATUS "${name} (${ARCH}) imports:${summary}")
endforeach()
foreach(file ${PENTIUM_FILES})
  pentium_scan(${file} failures)
endforeach()

if(failures)
  message(FATAL_ERROR "not loadable or not runnable on ${oldest}:${failures}")
endif()
message(STATUS "every import is on ${oldest}: these files load there and on every later Windows")
