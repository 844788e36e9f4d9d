# The Windows package as a user unpacks it: exactly the files it should
# hold, each of the machine type of its folder, one DLL under all the names
# of a folder, and a README.txt that Windows' Notepad shows as lines (CRLF).
#
#   cmake -DZIP=... -DDIR=<scratch folder> -DOBJDUMP=... -DVERSION=...
#         "-DNAMES32=a.dll;b.dll" "-DNAMES64=a.dll;b.dll;c.dll" -P check_package.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/pe_dump.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/unpack.cmake)
unpack_package(${ZIP} ${DIR})

set(expected lptlcd.exe README.txt)
foreach(bits 32 64)
  foreach(name ${NAMES${bits}})
    list(APPEND expected for-${bits}-bit-programs/${name})
  endforeach()
endforeach()
list(SORT expected)
file(GLOB_RECURSE found RELATIVE ${DIR} ${DIR}/*)
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "${ZIP} holds\n  ${found}\nexpected\n  ${expected}")
endif()

set(failures "")
foreach(file ${found})
  if(file MATCHES "\\.(exe|dll)$")
    set(want pei-i386)
    if(file MATCHES "^for-64-bit-programs/")
      set(want pei-x86-64)
    endif()
    pe_dump(${DIR}/${file} dump -f)
    if(NOT dump MATCHES "file format ${want}")
      string(APPEND failures "\n  ${file} is not ${want}")
    endif()
    message(STATUS "${file}: ${want}")
  endif()
endforeach()

# Each folder's names are one file, which the import gate read as built.
foreach(bits 32 64)
  set(first "")
  foreach(name ${NAMES${bits}})
    file(SHA256 ${DIR}/for-${bits}-bit-programs/${name} hash)
    if(NOT first)
      set(first ${name})
      set(first_hash ${hash})
    elseif(NOT hash STREQUAL first_hash)
      string(APPEND failures "\n  for-${bits}-bit-programs/${name} differs from ${first}")
    endif()
  endforeach()
endforeach()

# In hex, since file(READ) drops the CRs: no CR or LF outside a CRLF pair.
file(READ ${DIR}/README.txt hex HEX)
string(REPLACE "0d0a" "" hex "${hex}")
string(REGEX MATCHALL ".." bytes "${hex}")
if("0d" IN_LIST bytes OR "0a" IN_LIST bytes)
  string(APPEND failures "\n  README.txt has line ends other than CRLF")
endif()
file(READ ${DIR}/README.txt readme)
foreach(part "lptlcd ${VERSION}\n" "Which file goes where\n" "for-32-bit-programs" "for-64-bit-programs"
             "lptlcd --module"
             "lptlcd --help" "If it doesn't work\n")
  string(FIND "${readme}" "${part}" at)
  if(at EQUAL -1)
    string(APPEND failures "\n  README.txt lacks \"${part}\"")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${ZIP}:${failures}")
endif()
list(LENGTH found count)
message(STATUS "${ZIP}: the ${count} files it should hold")
