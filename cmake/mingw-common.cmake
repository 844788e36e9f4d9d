# Shared by the two mingw toolchain files; LPTLCD_MINGW_PREFIX names the target.
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of Debian's gcc 12 lacks. winpthreads is linked statically with the rest.
set(CMAKE_C_COMPILER ${LPTLCD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LPTLCD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LPTLCD_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LPTLCD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: the programs run without any mingw DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
