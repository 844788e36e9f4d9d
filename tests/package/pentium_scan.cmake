# pentium_scan(<file> <failures var>): appends to the failures a line for each
# instruction of the file's code that a Pentium (i586) cannot execute: cmov
# and fcmov, the P6 floating-point compares (fcomi, fucomi), anything on MMX
# or SSE registers, the SSE instructions that name none (fences, prefetches,
# mxcsr, fxsave), and the long NOP (0f 1f), which early VIA C3s lack. In the
# user's old program such an instruction ends the program. Data kept in a
# code section (a C++ exception table) is read as instructions too: a hit
# named after such a section rather than a function is data.
include_guard()
include(${CMAKE_CURRENT_LIST_DIR}/pe_dump.cmake)

function(pentium_scan file failures_var)
  get_filename_component(name ${file} NAME)
  pe_dump(${file} dump -d --no-show-raw-insn)
  set(mnemonics
      "cmov[a-z]+|fcmov[a-z]+|fu?comip?|emms|ldmxcsr|stmxcsr|[lsm]fence|prefetch[a-z0-9]*|movnti|clflush|fxsave|fxrstor|nop[lw]")
  # Lines are "<address>:\t<mnemonic> <operands>"; each match keeps the next
  # line's newline, so that instructions in a row are all found.
  set(instruction "\n *[0-9a-f]+:\t")
  string(REGEX MATCHALL
         "${instruction}(${mnemonics})([ \t][^\n]*)?|${instruction}[^\n]*%[xyz]?mm[0-9][^\n]*"
         hits "${dump}")
  string(REGEX MATCHALL "${instruction}" all "${dump}")
  list(LENGTH all count)
  list(LENGTH hits bad)
  set(failures "${${failures_var}}")
  set(shown 0)
  foreach(hit IN LISTS hits)
    if(shown EQUAL 20)
      math(EXPR rest "${bad} - ${shown}")
      string(APPEND failures "\n  ${name}: ... and ${rest} more")
      break()
    endif()
    # Named by the function it is in: the last label before it.
    string(FIND "${dump}" "${hit}" at)
    string(SUBSTRING "${dump}" 0 ${at} before)
    string(REGEX MATCHALL "\n[0-9a-f]+ <[^>\n]+>:" labels "${before}")
    list(POP_BACK labels label)
    string(REGEX REPLACE "^\n[0-9a-f]+ <([^>\n]+)>:$" "\\1" function "${label}")
    string(STRIP "${hit}" line)
    string(REPLACE "\t" " " line "${line}")
    string(APPEND failures "\n  ${name}: a Pentium cannot execute ${line} (in ${function})")
    math(EXPR shown "${shown} + 1")
  endforeach()
  if(bad EQUAL 0)
    message(STATUS "${name}: ${count} instructions, all a Pentium's")
  endif()
  set(${failures_var} "${failures}" PARENT_SCOPE)
endfunction()
