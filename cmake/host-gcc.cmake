# Native build with the machine's g++: tests, benchmarks and the portable tools.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
