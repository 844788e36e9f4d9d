#include "win32_test_support.h"

#include <utility>

namespace lptlcd {

void RunOnThread(const std::function<void()>& body) {
  TestThread thread(body);
  thread.Join();
}

TestThread::TestThread(std::function<void()> body)
    : body_(std::move(body)), thread_(::CreateThread(nullptr, 0, &TestThread::Main, this, 0, nullptr)) {}

void TestThread::Join() {
  if (!thread_) return;
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
}

DWORD WINAPI TestThread::Main(void* self) {
  static_cast<TestThread*>(self)->body_();
  return 0;
}

bool MutexIsFree(HANDLE mutex) {
  bool free = false;
  RunOnThread([&] {
    const DWORD result = ::WaitForSingleObject(mutex, 0);
    free = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (free) ::ReleaseMutex(mutex);
  });
  return free;
}

ChildProcess::ChildProcess() : changed_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  ::InitializeCriticalSection(&lock_);
}

ChildProcess::~ChildProcess() {
  Terminate();
  if (reader_) ::WaitForSingleObject(reader_.Get(), kGenerousMs);
  ::DeleteCriticalSection(&lock_);
}

bool ChildProcess::Start(const std::string& program) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
  readEnd_.Reset(readEnd);
  UniqueKernelHandle writeOwner(writeEnd);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION info = {};
  std::string commandLine = "\"" + program + "\"";
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  // Only the child holds the write end now, so the reader sees the end of the
  // output when the child ends.
  writeOwner.Reset();
  reader_.Reset(::CreateThread(nullptr, 0, &ChildProcess::ReadMain, this, 0, nullptr));
  return reader_.IsValid();
}

DWORD WINAPI ChildProcess::ReadMain(void* self) {
  static_cast<ChildProcess*>(self)->ReadAll();
  return 0;
}

void ChildProcess::ReadAll() {
  char buffer[256];
  DWORD got = 0;
  while (::ReadFile(readEnd_.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    ::EnterCriticalSection(&lock_);
    output_.append(buffer, got);
    ::LeaveCriticalSection(&lock_);
    ::SetEvent(changed_.Get());
  }
  ::SetEvent(changed_.Get());
}

long ChildProcess::WaitForExit(DWORD timeoutMs) {
  if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  // All of the output is in once the reader has seen the pipe close.
  if (reader_) ::WaitForSingleObject(reader_.Get(), timeoutMs);
  return static_cast<long>(code);
}

bool ChildProcess::IsRunning() const {
  return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate() {
  if (IsRunning()) {
    ::TerminateProcess(process_.Get(), 99);
    ::WaitForSingleObject(process_.Get(), kGenerousMs);
  }
}

bool ChildProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (Output().find(text) != std::string::npos) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::WaitForSingleObject(changed_.Get(), static_cast<DWORD>(deadline - now));
  }
}

std::string ChildProcess::Output() const {
  ::EnterCriticalSection(&lock_);
  std::string raw = output_;
  ::LeaveCriticalSection(&lock_);
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

std::string LptlcdProgramPath() {
  std::string path = LPTLCD_EXE;
  // Wine shows the Unix root as drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  return path;
}

}  // namespace lptlcd
