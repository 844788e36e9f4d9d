# 64-bit Windows as shipped: the win32 thread model, the API of Windows XP
# x64 and Server 2003, the oldest 64-bit Windows. (The emulator set for the
# tests goes unused: this tree has none.)
set(LPTLCD_MINGW_THREADS win32)
set(LPTLCD_MINGW_WINNT 0x0502)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
