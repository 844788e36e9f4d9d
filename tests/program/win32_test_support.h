#pragma once
// Finding lptlcd.exe from the program's tests (threads and child processes:
// tests/support).

#include <windows.h>

#include <functional>
#include <string>

#include "child_process.h"
#include "threads.h"
#include "common/win32_handles.h"

namespace lptlcd {

using test::ChildProcess;
using test::kGenerousMs;

// The command line that starts lptlcd.exe, as this process (under Wine) sees it.
std::string LptlcdProgramPath();

}  // namespace lptlcd
