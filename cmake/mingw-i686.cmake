# 32-bit Windows: the shipping target. Its programs cannot run on a 64-bit-only
# Linux kernel, so this build is compiled (warning-free) but never executed here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LPTLCD_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
