# 32-bit Windows as shipped: the win32 thread model, Windows XP's API.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LPTLCD_MINGW_PREFIX i686-w64-mingw32)
set(LPTLCD_MINGW_THREADS win32)
set(LPTLCD_MINGW_WINNT 0x0501)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
