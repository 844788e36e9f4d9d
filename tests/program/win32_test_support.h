#pragma once
// Small Win32 helpers for the tests: running code on a thread of its own and
// running a program as a child process whose standard output is read back.

#include <windows.h>

#include <functional>
#include <string>

#include "common/unique_handle.h"

namespace lptlcd {

// Generous upper bound for anything the tests wait for; never a timing claim.
constexpr DWORD kGenerousMs = 20000;

// Runs `body` on a new Win32 thread and waits for the thread to end (a thread
// that ends holding a mutex abandons it).
void RunOnThread(const std::function<void()>& body);

// A Win32 thread that runs `body` until joined.
class TestThread {
 public:
  explicit TestThread(std::function<void()> body);
  ~TestThread() { Join(); }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  void Join();

 private:
  static DWORD WINAPI Main(void* self);
  std::function<void()> body_;
  UniqueKernelHandle thread_;
};

// True when a thread other than the caller can take the mutex at once (so it
// is not held by anyone); the probe releases it again.
bool MutexIsFree(HANDLE mutex);

// A child process with its standard output on a pipe.
class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // terminates the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::string& program);
  // Waits for the child to end; its exit code, or -1 if it did not end in time.
  long WaitForExit(DWORD timeoutMs);
  bool IsRunning() const;
  void Terminate();

  // Waits until the output contains `text`.
  bool WaitForOutput(const std::string& text, DWORD timeoutMs);
  // The output so far, with the C runtime's "\r\n" turned back into "\n".
  std::string Output() const;

 private:
  static DWORD WINAPI ReadMain(void* self);
  void ReadAll();

  UniqueKernelHandle process_;
  UniqueKernelHandle readEnd_;
  UniqueKernelHandle reader_;
  UniqueKernelHandle changed_;
  mutable CRITICAL_SECTION lock_;
  std::string output_;
};

// The path of lptlcd.exe as this process (under Wine) sees it.
std::string LptlcdProgramPath();

}  // namespace lptlcd
