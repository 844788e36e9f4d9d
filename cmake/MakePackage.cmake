# Makes the Windows package, a zip of:
#   lptlcd.exe
#   for-32-bit-programs/<every name 32-bit programs load the DLL by>
#   for-64-bit-programs/<every name 64-bit programs load it by>
#   README.txt   (for Windows users, CRLF, from README.md's section for them)
#
#   cmake -DOUT=x.zip -DSTAGE=dir -DEXE=... -DDLL32=... -DDLL64=... -DNAMES32=a.dll,b.dll
#         -DNAMES64=a.dll,b.dll,c.dll -DREADME=README.md -DVERSION=1.0.0 -P MakePackage.cmake
cmake_minimum_required(VERSION 3.25)

# README.md's section for users, as plain text: links become their text,
# code and emphasis marks go, headings are underlined.
function(read_user_guide readme out)
  file(READ ${readme} text)
  string(FIND "${text}" "\n## Using it with your old LCD software\n" start)
  string(FIND "${text}" "\n## Building for Windows\n" end)
  if(start EQUAL -1 OR end EQUAL -1 OR end LESS start)
    message(FATAL_ERROR "${readme}: no section \"Using it with your old LCD software\"")
  endif()
  math(EXPR length "${end} - ${start}")
  string(SUBSTRING "${text}" ${start} ${length} section)
  string(REGEX REPLACE "\\[([^]\n]*)\\]\\([^)\n]*\\)" "\\1" section "${section}")
  string(REPLACE "**" "" section "${section}")
  string(REPLACE "`" "" section "${section}")
  string(REPLACE ";" "\\;" section "${section}")
  string(REPLACE "\n" ";" lines "${section}")
  set(result "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#+ (.*)$")
      set(heading "${CMAKE_MATCH_1}")
      string(LENGTH "${heading}" size)
      string(REPEAT "-" ${size} rule)
      string(APPEND result "${heading}\n${rule}\n")
    else()
      string(APPEND result "${line}\n")
    endif()
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/for-32-bit-programs ${STAGE}/for-64-bit-programs)
file(COPY_FILE ${EXE} ${STAGE}/lptlcd.exe)
foreach(bits 32 64)
  string(REPLACE "," ";" names "${NAMES${bits}}")
  foreach(name ${names})
    file(COPY_FILE ${DLL${bits}} ${STAGE}/for-${bits}-bit-programs/${name})
  endforeach()
endforeach()

read_user_guide(${README} guide)
set(readme "lptlcd ${VERSION}\n\nlptlcd lets a 122x32-pixel USB graphic display stand in for an HD44780\ncharacter LCD that older Windows software drives through the first parallel\nport (LPT1, 0x378). Your LCD program stays as it is.\n\nStart it as lptlcd --module WxH, with the size of the module your LCD program\nis set up for (columns x lines, such as 20x4); without --module it shows a\n20x2 module. lptlcd --help lists the sizes. lptlcd --install --module WxH\nmakes it start at every logon (see \"Starting it with Windows\").\n${guide}")
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${STAGE}/README.txt "${readme}")

file(REMOVE ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT} --format=zip
                        lptlcd.exe for-32-bit-programs for-64-bit-programs README.txt
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not write ${OUT}")
endif()
message(STATUS "${OUT}")
