# Checks that each shipped DLL exports exactly the entry points LCD software
# looks up by plain name: no stdcall decoration (Out32@8, _Out32), nothing
# missing, nothing extra.
# Usage: cmake -DOBJDUMP=... -DDLL_DIR=... -DDLL_NAMES=a.dll;b.dll -P check_exports.cmake
set(expected
  DlPortReadPortBufferUchar DlPortReadPortBufferUlong DlPortReadPortBufferUshort
  DlPortReadPortUchar DlPortReadPortUlong DlPortReadPortUshort
  DlPortWritePortBufferUchar DlPortWritePortBufferUlong DlPortWritePortBufferUshort
  DlPortWritePortUchar DlPortWritePortUlong DlPortWritePortUshort
  Inp32 IsInpOutDriverOpen IsXP64Bit Out32
  ClrPortBit GetPortBit IsDriverInstalled LeftPortShift NotPortBit PortDWordIn PortDWordOut
  PortIn PortOut PortWordIn PortWordOut RightPortShift SetPortBit
  GetPhysLong GetPortVal InitializeWinIo MapPhysToLin SetPhysLong SetPortVal ShutdownWinIo
  UnmapPhysicalMemory)
list(SORT expected)

include(${CMAKE_CURRENT_LIST_DIR}/../package/pe_dump.cmake)
foreach(name ${DLL_NAMES})
  pe_dump(${DLL_DIR}/${name} dump)
  # The name table: "[Ordinal/Name Pointer] Table" then "\t[   n] Name" lines.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: no export name table")
  endif()
  string(SUBSTRING "${dump}" ${at} -1 table)
  string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]*" entries "${table}")
  set(names)
  foreach(entry ${entries})
    string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" exported "${entry}")
    list(APPEND names "${exported}")
  endforeach()
  list(SORT names)
  if(NOT names STREQUAL expected)
    message(FATAL_ERROR "${name} exports\n  ${names}\nexpected\n  ${expected}")
  endif()
  list(LENGTH names count)
  message(STATUS "${name}: ${count} exports, undecorated and complete")
endforeach()
