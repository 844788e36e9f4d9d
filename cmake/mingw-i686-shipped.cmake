# 32-bit Windows as shipped: the win32 thread model, Windows XP's API.
set(LPTLCD_MINGW_THREADS win32)
set(LPTLCD_MINGW_WINNT 0x0501)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
