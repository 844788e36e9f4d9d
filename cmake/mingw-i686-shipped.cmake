# 32-bit Windows as shipped: the win32 thread model, Windows XP's API, and the
# Pentium's instruction set. Debian's compiler targets the Pentium Pro by
# default (cmov), which a Pentium MMX, a K6 or an early VIA C3 cannot run,
# and the DLL runs inside the user's old program, where an illegal
# instruction takes that program down. (lptlcd.exe links mingw's runtime,
# which is built for the Pentium Pro all the same: see the README.)
set(LPTLCD_MINGW_THREADS win32)
set(LPTLCD_MINGW_WINNT 0x0501)
set(LPTLCD_MINGW_MARCH i586)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
