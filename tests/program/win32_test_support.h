#pragma once
// Finding lptlcd.exe from the program's tests (threads and child processes:
// tests/support).

#include <windows.h>

#include <functional>
#include <string>

#include "tools/harness/child_process.h"
#include "threads.h"
#include "common/win32_handles.h"

namespace lptlcd::test {

// The command line that starts lptlcd.exe, as this process (under Wine) sees it.
std::string LptlcdProgramPath();

}  // namespace lptlcd::test

namespace lptlcd {

// The program's tests, which live in lptlcd, use these helpers unqualified.
using test::LptlcdProgramPath;
using test::MutexIsFree;
using test::RunOnThread;
using test::TestThread;

}  // namespace lptlcd
