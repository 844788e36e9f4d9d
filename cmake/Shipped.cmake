# What ships, built as it ships. lptlcd.exe and the port-I/O DLL come from a
# tree of their own, configured with the win32 thread model and the oldest
# Windows' API (cmake/mingw-<arch>-shipped.cmake) and LPTLCD_SHIPPED_ONLY;
# every test of this tree that runs the program or loads the DLL runs those
# very files. The tests' own executables and the tools stay in this tree
# (GoogleTest needs the posix thread model).
#
# lptlcd_shipped_build(<i686|x86_64>) adds the tree for one architecture as
# the target shipped_<arch> and sets LPTLCD_SHIPPED_<arch>_DIR.
include(ExternalProject)

function(lptlcd_shipped_build arch)
  set(dir ${CMAKE_BINARY_DIR}/shipped-${arch})
  set(dlls)
  foreach(name ${LPTLCD_PORTIO_NAMES})
    list(APPEND dlls ${dir}/portio/bin/${name})
  endforeach()
  ExternalProject_Add(shipped_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${dir}
    PREFIX ${CMAKE_BINARY_DIR}/shipped-${arch}-steps
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}-shipped.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DLPTLCD_SHIPPED_ONLY=ON
    INSTALL_COMMAND ""
    # Its own build finds out what changed.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${dir}/capture/lptlcd.exe ${dlls})
  set(LPTLCD_SHIPPED_${arch}_DIR ${dir} PARENT_SCOPE)
endfunction()
