#include "threads.h"

#include <utility>

#include "common/locks.h"

namespace lptlcd::test {

void RunOnThread(const std::function<void()>& body) {
  TestThread thread(body);
  thread.Join();
}

TestThread::TestThread(std::function<void()> run)
    : body(std::move(run)), thread(::CreateThread(nullptr, 0, &TestThread::Main, this, 0, nullptr)) {}

void TestThread::Join() {
  if (!thread) return;
  ::WaitForSingleObject(thread.Get(), INFINITE);
  thread.Reset();
}

DWORD WINAPI TestThread::Main(void* self) {
  static_cast<TestThread*>(self)->body();
  return 0;
}

bool MutexIsFree(HANDLE mutex) {
  bool free = false;
  RunOnThread([&] { free = AcquireMutex(mutex, 0).Owned(); });
  return free;
}

}  // namespace lptlcd::test
