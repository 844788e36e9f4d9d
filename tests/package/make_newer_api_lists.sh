#!/usr/bin/env bash
# Makes newer-than-xp.i686.txt and newer-than-xp.x86_64.txt, the functions
# that the import gate (check_imports.cmake) refuses in a shipped file.
#
# How: the mingw-w64 headers declare each Windows function only from the
# Windows version that has it on (#if _WIN32_WINNT >= 0x0600 ...). The
# functions they declare for Windows 10 (0x0A00) but not for the oldest
# Windows a build supports (0x0501, 32-bit XP; 0x0502, XP x64 and Server
# 2003) are the newer ones. Each name is taken from the preprocessed headers
# where it follows the calling convention of a declaration (the i686
# headers' __stdcall; the x86_64 lists come from the x86_64 headers, where
# the 32-bit __stdcall is kept in the same place by -m32-free parsing of the
# dllimport attribute).
#
# The headers declare a few newer functions without a guard; those are added
# by hand below, each with what Microsoft's documentation gives as its
# oldest Windows.
#
#   bash tests/package/make_newer_api_lists.sh     (rewrites both lists)
set -euo pipefail
cd "$(dirname "$0")"
headers='#include <windows.h>
#include <setupapi.h>
#include <mmsystem.h>
#include <sddl.h>
#include <aclapi.h>'

# Unguarded in the headers: GetSystemTimePreciseAsFileTime (Windows 8),
# GetCurrentProcessorNumber (Vista, Server 2003), the Wow64*FsRedirection
# functions (Vista; XP x64 only among the older ones).
by_hand='GetSystemTimePreciseAsFileTime
GetCurrentProcessorNumber
Wow64DisableWow64FsRedirection
Wow64EnableWow64FsRedirection
Wow64RevertWow64FsRedirection'

# The functions the headers declare for one _WIN32_WINNT: names that follow
# a dllimport, or (in the i686 headers, where WINAPI is __stdcall) the
# calling convention of a declaration that has no dllimport.
declared() {  # compiler, _WIN32_WINNT
  printf '%s\n' "$headers" | "$1" -x c -E -P -D_WIN32_WINNT="$2" -DWINVER="$2" - |
    tr '\n' ' ' | sed -E 's/__attribute__ *\(\( *(dllimport|__stdcall__) *\)\)/@DECL@/g;
      s/__attribute__ *\(\([^()]*(\([^()]*\))?[^()]*\)\)//g' |
    grep -oE '@DECL@[^;(@]*[ *]([A-Za-z_][A-Za-z0-9_]*) *\(' |
    sed -E 's/ *\($//; s/.*[ *]//' | sort -u
}

# Declared for Windows 10 but not for the oldest Windows, by either compiler's
# headers (the x86_64 headers do not mark declarations by convention).
newer() {  # oldest _WIN32_WINNT
  for compiler in i686-w64-mingw32-gcc x86_64-w64-mingw32-gcc; do
    comm -13 <(declared "$compiler" "$1") <(declared "$compiler" 0x0A00)
  done
}

make_list() {  # arch, oldest _WIN32_WINNT, what that is
  local out=newer-than-xp.$1.txt
  {
    echo "# Functions that $3 lacks: a shipped $1 file that imports one fails the"
    echo "# import gate. Made by make_newer_api_lists.sh; do not edit by hand."
    { newer "$2"; printf '%s\n' "$by_hand"; } | sort -u
  } >"$out"
  echo "$out: $(grep -vc '^#' "$out") functions"
}

make_list i686 0x0501 "32-bit Windows XP SP3"
make_list x86_64 0x0502 "Windows XP x64 / Server 2003"
