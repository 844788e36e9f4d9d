# Native build with the machine's clang: the fuzz target (libFuzzer).
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
