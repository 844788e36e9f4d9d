#pragma once
// Running the project's programs as child processes under Wine, with their
// output read back, and waiting on what they produce: for the tests and the
// measuring tools.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/win32_handles.h"
#include "tools/harness/critical_section.h"

namespace lptlcd {

// Generous upper bound for anything the tests wait for; never a timing claim.
constexpr DWORD kGenerousMs = 20000;

// A build-tree path as a Windows program sees it: Wine shows the Unix root as
// drive Z:.
std::string WindowsPath(const std::string& path);

// Polls `condition` until it holds or `boundMs` has passed.
bool WaitFor(const std::function<bool()>& condition, DWORD boundMs);

// The whole file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The C runtime writes text-mode line ends; tests compare with "\n".
std::string WithoutCarriageReturns(const std::string& text);

// A new empty folder under the temporary folder, ending in a backslash.
std::string MakeTempFolder(const std::string& name);

// A file in the temporary folder holding `content`; its full path.
std::string WriteTempFile(const std::string& name, const std::string& content);

// A child process with its standard output and standard error on pipes, read
// as they come; its standard input is `input` (empty by default).
class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // terminates the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::string& commandLine, const std::string& input = {});
  // Waits for the child to end and for its output; its exit code, or -1 if it
  // did not end in time.
  long WaitForExit(DWORD timeoutMs);
  bool IsRunning() const;
  void Terminate();
  // The child's process handle (for its times, its id), or null before Start.
  HANDLE Handle() const { return process.Get(); }

  // Waits until standard output contains `text`.
  bool WaitForOutput(const std::string& text, DWORD timeoutMs);
  // Standard output and standard error so far, with "\r\n" turned into "\n".
  std::string Output() const;
  std::string Errors() const;

 private:
  struct Stream;
  static DWORD WINAPI ReadMain(void* stream);

  UniqueKernelHandle process;
  UniqueKernelHandle changed;
  CriticalSection lock;
  Stream* out;
  Stream* err;
  std::string inputPath;
};

struct ChildResult {
  bool started = false;
  bool finished = false;  // false: killed after the time-out
  std::uint32_t exitCode = 0;
  std::string out;
  std::string err;
};

// Runs a command line to completion (or kills it after `timeoutMs`).
ChildResult RunChild(const std::string& commandLine, const std::string& input = {},
                     DWORD timeoutMs = 90000);

}  // namespace lptlcd
