# Unpacks the x86_64 twin of the package for the end-to-end test and puts a
# legacy-style LCD program beside each folder's DLLs, as a user would put the
# DLLs beside the program.
#   cmake -DZIP=... -DDIR=... -DLEGACY_APP=... -P unpack_twin.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/unpack.cmake)
unpack_package(${ZIP} ${DIR})
foreach(folder for-32-bit-programs for-64-bit-programs)
  file(COPY_FILE ${LEGACY_APP} ${DIR}/${folder}/legacy_lcd_app.exe)
endforeach()
