# Test helpers that work the same natively and cross-compiled under Wine.
#
# Under Wine every test shares one prefix per build tree: a fixture creates it
# before the first test and a cleanup fixture stops its wineserver at the end.

if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET GTest::gtest_main)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(LPTLCD_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(LPTLCD_WINE_ENV WINEPREFIX=${LPTLCD_WINE_PREFIX} WINEDEBUG=-all)
  if(CMAKE_CROSSCOMPILING_EMULATOR AND NOT TEST wine_prefix_start)
    # A persistent wineserver spares every test the server's start-up.
    # Headless Wine makes windows (and so receives broadcasts) only when the
    # prefix names the null display driver; the server is started again for
    # the setting to take effect, and the prefix booted again so that its
    # services do not start in the first test and hold on to its output.
    set(start_server "(setsid /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null &); sleep 1")
    add_test(NAME wine_prefix_start
      COMMAND ${CMAKE_COMMAND} -E env ${LPTLCD_WINE_ENV}
              sh -c "${start_server}; /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 </dev/null; /usr/lib/wine/wine64 reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null || exit 1; /usr/lib/wine/wineserver -k; /usr/lib/wine/wineserver -w; ${start_server}; /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null")
    set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 120)
    # The server may already have gone by itself: that counts as stopped.
    add_test(NAME wine_prefix_stop
      COMMAND ${CMAKE_COMMAND} -E env ${LPTLCD_WINE_ENV}
              sh -c "/usr/lib/wine/wineserver -k; /usr/lib/wine/wineserver -w; exit 0")
    set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# lptlcd_test(NAME <name> COMMAND <target or program> [args...] [TIMEOUT s])
# Registers one test; under Wine it joins the shared prefix fixture. A Windows
# build with nothing to run it (i686 here) compiles its tests but registers none.
function(lptlcd_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${T_NAME} PROPERTIES
      ENVIRONMENT "${LPTLCD_WINE_ENV}"
      FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()

# lptlcd_gtest(<target> <sources...>): a GoogleTest program, run as one test.
function(lptlcd_gtest target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest_main lptlcd_warnings)
  lptlcd_test(NAME ${target} COMMAND ${target})
endfunction()
