# lptlcd_no_cxx_runtime: for code that runs inside somebody else's process
# (the port-I/O DLL and the libraries it links), compiled so that it needs no
# C++ runtime: no exceptions and no RTTI. On i686 no DWARF unwind tables
# either, which only exceptions would read; x86_64 keeps its table-based
# unwinding data, which Windows itself walks.
add_library(lptlcd_no_cxx_runtime INTERFACE)
if(MSVC)
  target_compile_options(lptlcd_no_cxx_runtime INTERFACE /EHs-c- /GR-)
else()
  target_compile_options(lptlcd_no_cxx_runtime INTERFACE -fno-exceptions -fno-rtti)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_options(lptlcd_no_cxx_runtime INTERFACE -fno-asynchronous-unwind-tables)
  endif()
endif()
