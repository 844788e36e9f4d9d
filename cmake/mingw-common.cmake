# Shared by the mingw toolchain files; LPTLCD_MINGW_PREFIX names the target.
#
# LPTLCD_MINGW_THREADS is the thread model. The trees the tests are built in
# use posix: GoogleTest needs std::mutex, which the win32 model of Debian's
# gcc 12 lacks, and winpthreads is linked statically with the rest. What
# ships (lptlcd.exe and the port-I/O DLL) is built with win32, which brings
# no winpthreads and with it no import newer than Windows XP, in a tree of
# its own (cmake/Shipped.cmake); LPTLCD_MINGW_WINNT then names the oldest
# Windows, so that the headers refuse any newer API the code names, and
# LPTLCD_MINGW_MARCH, when set, the oldest processor (applied in the top
# CMakeLists.txt, so that a tree configured before picks it up too).
if(NOT LPTLCD_MINGW_THREADS)
  set(LPTLCD_MINGW_THREADS posix)
endif()
set(CMAKE_C_COMPILER ${LPTLCD_MINGW_PREFIX}-gcc-${LPTLCD_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${LPTLCD_MINGW_PREFIX}-g++-${LPTLCD_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${LPTLCD_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LPTLCD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
if(LPTLCD_MINGW_WINNT)
  set(winnt "-D_WIN32_WINNT=${LPTLCD_MINGW_WINNT} -DWINVER=${LPTLCD_MINGW_WINNT}")
  set(CMAKE_C_FLAGS_INIT "${winnt}")
  set(CMAKE_CXX_FLAGS_INIT "${winnt}")
  set(CMAKE_RC_FLAGS_INIT "${winnt}")
endif()
# Static runtime: the programs run without any mingw DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
