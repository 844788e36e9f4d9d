# Unpacks the x86_64 twin of the package for the end-to-end test and puts a
# legacy-style LCD program beside each folder's DLLs, as a user would put the
# DLLs beside the program.
#   cmake -DZIP=... -DDIR=... -DLEGACY_APP=... -P unpack_twin.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
foreach(folder for-32-bit-programs for-64-bit-programs)
  file(COPY_FILE ${LEGACY_APP} ${DIR}/${folder}/legacy_lcd_app.exe)
endforeach()
