#!/usr/bin/env bash
# Runs every test: the native suite, the same suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, the fuzz target over its corpus and for a
# short session, the suite cross-compiled for x86_64 Windows and run under Wine
# (with the Windows-only tests), and a build of the shipping i686 target. Any
# failure fails the whole run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== native build and tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host

echo "== native build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j "$jobs"
ctest --preset host-asan

echo "== fuzz target (clang, libFuzzer): the corpus replayed, then a short session"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz

echo "== x86_64 Windows build, tests under Wine"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
ctest --preset win64

echo "== i686 Windows build (compiled and checked here; it cannot run on this kernel)"
# Its shipped files are the ones the x86_64 build made for the package.
cmake --preset win32 -DLPTLCD_SHIPPED_i686_FROM="$PWD/build/win64/shipped-i686" >/dev/null
cmake --build --preset win32 -j "$jobs"
ctest --test-dir build/win32 --output-on-failure --no-tests=ignore
