#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Safe to run again: it installs nothing that is present.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
want() { need+=("$1"); }

have_cmd cmake || want cmake
have_cmd ninja || want ninja-build
have_cmd g++ || want g++
have_cmd x86_64-w64-mingw32-g++-posix || want g++-mingw-w64-x86-64
have_cmd i686-w64-mingw32-g++-posix || want g++-mingw-w64-i686
# What ships is built with the win32 thread model.
have_cmd x86_64-w64-mingw32-g++-win32 || want g++-mingw-w64-x86-64-win32
have_cmd i686-w64-mingw32-g++-win32 || want g++-mingw-w64-i686-win32
have_cmd i686-w64-mingw32-objdump || want binutils-mingw-w64-i686
[ -x /usr/lib/wine/wine64 ] || want wine64
[ -d /usr/src/googletest ] || want googletest
[ -f /usr/include/gtest/gtest.h ] || want libgtest-dev
[ -f /usr/include/benchmark/benchmark.h ] || want libbenchmark-dev
[ -f /usr/include/stb/stb_image_write.h ] || want libstb-dev
# clang for the fuzz build, and its runtime libraries (libFuzzer, the
# sanitizers), which clang itself does not pull in.
if have_cmd clang++; then
  [ -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ] || want libclang-rt-14-dev
else
  want clang
  want libclang-rt-14-dev
fi

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${need[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
# wine64 without its recommendations: they pull in 32-bit packages that
# cannot run on a 64-bit-only kernel.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
