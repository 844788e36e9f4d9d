#pragma once
// Running test code on Win32 threads of its own: mutex ownership is per
// thread, so a test asks "is it free?" from another thread, as the program would.

#include <windows.h>

#include <functional>

#include "common/win32_handles.h"

namespace lptlcd::test {

// Runs `body` on a new Win32 thread and waits for the thread to end (a thread
// that ends holding a mutex abandons it).
void RunOnThread(const std::function<void()>& body);

// A Win32 thread that runs `run` until joined.
class TestThread {
 public:
  explicit TestThread(std::function<void()> run);
  ~TestThread() { Join(); }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  void Join();

 private:
  static DWORD WINAPI Main(void* self);
  std::function<void()> body;
  UniqueKernelHandle thread;
};

// True when a thread other than the caller can take the mutex at once (so it
// is not held by anyone); the probe releases it again.
bool MutexIsFree(HANDLE mutex);

}  // namespace lptlcd::test
