# Every target of the project gets the same strict warnings, treated as errors.
add_library(lptlcd_warnings INTERFACE)
if(MSVC)
  target_compile_options(lptlcd_warnings INTERFACE /W4 /WX)
else()
  target_compile_options(lptlcd_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
endif()
