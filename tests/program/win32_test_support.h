#pragma once
// Finding lptlcd.exe from the program's tests (threads: tests/support; child
// processes: tools/harness).

#include <windows.h>

#include <functional>
#include <string>

#include "common/win32_handles.h"
#include "threads.h"
#include "tools/harness/child_process.h"

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
