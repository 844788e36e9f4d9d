# unpack_package(<zip> <folder>): the zip's files into an emptied folder, as a
# user unpacks the package.
function(unpack_package zip dir)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${zip}")
  endif()
endfunction()
