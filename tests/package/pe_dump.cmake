# pe_dump(<file> <out> [objdump options]): what objdump (OBJDUMP) says of a
# built Windows file, -p unless other options are given; stops when the file
# is missing or objdump fails.
function(pe_dump file out)
  set(options ${ARGN})
  if(NOT options)
    set(options -p)
  endif()
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} was not built")
  endif()
  execute_process(COMMAND ${OBJDUMP} ${options} ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} ${options} ${file} failed")
  endif()
  set(${out} "${dump}" PARENT_SCOPE)
endfunction()
