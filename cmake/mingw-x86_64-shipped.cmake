# 64-bit Windows as shipped: the win32 thread model, the API of Windows XP
# x64 and Server 2003, the oldest 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LPTLCD_MINGW_PREFIX x86_64-w64-mingw32)
set(LPTLCD_MINGW_THREADS win32)
set(LPTLCD_MINGW_WINNT 0x0502)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
