#!/usr/bin/env bash
# Makes the Windows package, build/lptlcd-<version>-windows.zip: lptlcd.exe
# (32-bit), the DLL for 32-bit programs under all its names, the DLL for
# 64-bit programs, and README.txt. Installs what it needs when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs" --target windows_package
zip=$(ls build/win64/package/lptlcd-*-windows.zip)
cp "$zip" build/
echo "package: build/$(basename "$zip")"
cmake -E tar tf "build/$(basename "$zip")"
