# Sanitized native builds.
#
# LPTLCD_SANITIZE (the host-asan preset): every target is built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the first report ends
# the program with a failure.
# LPTLCD_FUZZ (the fuzz preset, clang only): the same, and every target is
# also instrumented for libFuzzer's coverage, so the fuzz target is guided by
# the decoder's and the emulator's own branches; builds fuzz/.
option(LPTLCD_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(LPTLCD_FUZZ "Build the fuzz target, everything instrumented for libFuzzer (clang)" OFF)

if(LPTLCD_SANITIZE OR LPTLCD_FUZZ)
  if(MSVC OR CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "LPTLCD_SANITIZE and LPTLCD_FUZZ are for native gcc or clang builds")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(LPTLCD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LPTLCD_FUZZ needs clang (cmake --preset fuzz)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
