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

#
# LPTLCD_SHIPPED_<arch>_FROM names a shipped tree that another build already
# made (scripts/test.sh gives the i686 tree the 64-bit tree's, which the
# package needs anyway): that tree is then brought up to date by its own
# build instead of being made a second time.
function(lptlcd_shipped_build arch)
  set(dir ${CMAKE_BINARY_DIR}/shipped-${arch})
  if(LPTLCD_SHIPPED_${arch}_FROM)
    set(dir ${LPTLCD_SHIPPED_${arch}_FROM})
  endif()
  set(dlls)
  foreach(name ${LPTLCD_PORTIO_NAMES_${arch}})
    list(APPEND dlls ${dir}/portio/bin/${name})
  endforeach()
  set(LPTLCD_SHIPPED_${arch}_DIR ${dir} PARENT_SCOPE)
  if(LPTLCD_SHIPPED_${arch}_FROM)
    if(NOT EXISTS ${dir}/CMakeCache.txt)
      message(FATAL_ERROR "LPTLCD_SHIPPED_${arch}_FROM: no configured tree in ${dir}")
    endif()
    add_custom_target(shipped_${arch} ALL
      COMMAND ${CMAKE_COMMAND} --build ${dir}
      BYPRODUCTS ${dir}/capture/lptlcd.exe ${dlls}
      COMMENT "Shipped ${arch} files, from ${dir}" USES_TERMINAL)
    return()
  endif()
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
endfunction()
