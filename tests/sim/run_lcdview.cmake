# Runs the real lcdview (under the emulator for a Windows build) and checks
# what it writes. Called as cmake -DLCDVIEW=... -DEMULATOR=... -DDATA=... -DOUT=... -P.

set(run ${LCDVIEW})
if(EMULATOR)
  set(run ${EMULATOR} ${LCDVIEW})
endif()
file(MAKE_DIRECTORY ${OUT})

function(read_normalised path var)
  file(READ ${path} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what} differs.\n--- expected:\n${expected}\n--- actual:\n${actual}")
  endif()
endfunction()

# A good log: exact text rows, exact pixels, a PNG, and a report of the one
# packet the display does not know.
file(REMOVE ${OUT}/hello.txt ${OUT}/hello.pbm ${OUT}/hello.png)
execute_process(COMMAND ${run} --text-dump ${OUT}/hello.txt --pbm ${OUT}/hello.pbm --png ${OUT}/hello.png
                        --scale 3 ${DATA}/hello.log
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("exit status of the good log" "${status}" "0")
string(REPLACE "\r\n" "\n" err "${err}")
expect_equal("messages of the good log" "${err}" "lcdview: line 14: unknown packet ignored: 7e 00 00 00 00 00 00 00\n")
expect_equal("standard output with only file options" "${out}" "")
read_normalised(${OUT}/hello.txt text)
read_normalised(${DATA}/hello.txt expected_text)
expect_equal("text dump" "${text}" "${expected_text}")
# The PBM must be the same picture as the terminal view in '#'/'.'.
read_normalised(${DATA}/hello.ascii expected_ascii)
string(REPLACE "#" "1" expected_pbm "${expected_ascii}")
string(REPLACE "." "0" expected_pbm "${expected_pbm}")
read_normalised(${OUT}/hello.pbm pbm)
expect_equal("PBM" "${pbm}" "P1\n122 32\n${expected_pbm}")

# "-" is standard output; a link is written through, never replaced.
execute_process(COMMAND ${run} --text-dump - ${DATA}/hello.log
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_QUIET)
string(REPLACE "\r\n" "\n" out "${out}")
expect_equal("text dump on standard output" "${out}" "${expected_text}")
if(NOT EMULATOR)
  file(REMOVE ${OUT}/target.txt ${OUT}/link.txt)
  file(WRITE ${OUT}/target.txt "")
  file(CREATE_LINK target.txt ${OUT}/link.txt SYMBOLIC)
  execute_process(COMMAND ${run} --text-dump ${OUT}/link.txt ${DATA}/hello.log RESULT_VARIABLE status)
  expect_equal("exit status writing through a link" "${status}" "0")
  if(NOT IS_SYMLINK ${OUT}/link.txt)
    message(FATAL_ERROR "the link was replaced by a file")
  endif()
  read_normalised(${OUT}/target.txt through_link)
  expect_equal("text dump written through a link" "${through_link}" "${expected_text}")
endif()
file(READ ${OUT}/hello.png png_head LIMIT 8 HEX)
expect_equal("PNG signature" "${png_head}" "89504e470d0a1a0a")
file(SIZE ${OUT}/hello.png png_size)
if(png_size LESS 200)
  message(FATAL_ERROR "the PNG is only ${png_size} bytes")
endif()

# The terminal view: block characters by default, '#'/'.' on request.
execute_process(COMMAND ${run} --ascii ${DATA}/hello.log
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_QUIET)
string(REPLACE "\r\n" "\n" out "${out}")
expect_equal("exit status of --ascii" "${status}" "0")
expect_equal("ASCII screen" "${out}" "${expected_ascii}")
execute_process(COMMAND ${run} ${DATA}/hello.log
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_QUIET)
string(REPLACE "\r\n" "\n" out "${out}")
string(REGEX MATCHALL "[^\n]*\n" lines "${out}")
list(LENGTH lines count)
expect_equal("lines of the block-character screen" "${count}" "18")
list(GET lines 4 row_6_and_7)
string(FIND "${row_6_and_7}" "▀   ▀  ▀▀▀" at)
expect_equal("position of the bottom of 'He' in the block-character screen" "${at}" "3")

# A bad line: exit 2, the line named, and no picture drawn from the damage.
file(REMOVE ${OUT}/bad.txt)
execute_process(COMMAND ${run} --text-dump ${OUT}/bad.txt ${DATA}/bad.log
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_equal("exit status of the bad log" "${status}" "2")
string(FIND "${err}" "line 3: 'zz' is not a two-digit hex byte" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the bad line is not named: ${err}")
endif()
if(EXISTS ${OUT}/bad.txt)
  message(FATAL_ERROR "a text dump was written from a bad log")
endif()

# A log that is not there, and a command line that is wrong.
execute_process(COMMAND ${run} ${DATA}/no-such.log RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
expect_equal("exit status for a missing log" "${status}" "1")
execute_process(COMMAND ${run} --scale 99 ${DATA}/hello.log RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
expect_equal("exit status for a bad option" "${status}" "2")
