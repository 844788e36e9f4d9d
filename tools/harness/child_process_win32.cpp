#include "tools/harness/child_process.h"

#include "tools/harness/wait_until.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace lptlcd {

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

bool WaitFor(const std::function<bool()>& condition, DWORD boundMs) {
  const ULONGLONG deadline = ::GetTickCount64() + boundMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(10);
  }
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string WithoutCarriageReturns(const std::string& raw) {
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

std::string MakeTempFolder(const std::string& name) {
  char base[MAX_PATH];
  const DWORD length = ::GetTempPathA(MAX_PATH, base);
  const std::string folder = std::string(base, length) + name + "_" +
                             std::to_string(::GetCurrentProcessId()) + "_" +
                             std::to_string(::GetTickCount64()) + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::string WriteTempFile(const std::string& name, const std::string& content) {
  char folder[MAX_PATH];
  const DWORD length = ::GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder, length) + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

struct ChildProcess::Stream {
  ChildProcess* owner = nullptr;
  UniqueFileHandle readEnd;
  UniqueKernelHandle reader;
  std::string text;
};

ChildProcess::ChildProcess()
    : changed(::CreateEventA(nullptr, FALSE, FALSE, nullptr)), out(new Stream), err(new Stream) {
  out->owner = this;
  err->owner = this;
}

ChildProcess::~ChildProcess() {
  Terminate();
  for (Stream* stream : {out, err}) {
    if (stream->reader) ::WaitForSingleObject(stream->reader.Get(), kGenerousMs);
    delete stream;
  }
  if (!inputPath.empty()) ::DeleteFileA(inputPath.c_str());
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& input) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  UniqueFileHandle writeEnds[2];
  Stream* streams[2] = {out, err};
  for (int i = 0; i < 2; ++i) {
    if (!::CreatePipe(streams[i]->readEnd.Put(), writeEnds[i].Put(), &inheritable, 0)) return false;
    ::SetHandleInformation(streams[i]->readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  }
  UniqueFileHandle& outWrite = writeEnds[0];
  UniqueFileHandle& errWrite = writeEnds[1];

  // Standard input from a file: the child reads it at its own pace.
  char folder[MAX_PATH];
  const DWORD length = ::GetTempPathA(MAX_PATH, folder);
  char name[MAX_PATH];
  ::GetTempFileNameA(std::string(folder, length).c_str(), "in", 0, name);
  inputPath = name;
  std::ofstream(inputPath, std::ios::binary) << input;
  UniqueFileHandle in(::CreateFileA(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                                    OPEN_EXISTING, 0, nullptr));
  if (!in) return false;

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.Get();
  startup.hStdOutput = outWrite.Get();
  startup.hStdError = errWrite.Get();
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    return false;
  }
  UniqueKernelHandle thread(info.hThread);
  process.Reset(info.hProcess);
  // Only the child holds the write ends now, so the readers see the end of
  // the output when the child ends.
  outWrite.Reset();
  errWrite.Reset();
  for (Stream* stream : streams) {
    stream->reader.Reset(::CreateThread(nullptr, 0, &ChildProcess::ReadMain, stream, 0, nullptr));
    if (!stream->reader) return false;
  }
  return true;
}

DWORD WINAPI ChildProcess::ReadMain(void* param) {
  auto* stream = static_cast<Stream*>(param);
  ChildProcess* self = stream->owner;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(stream->readEnd.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    {
      const auto held = self->lock.Hold();
      stream->text.append(buffer, got);
    }
    ::SetEvent(self->changed.Get());
  }
  ::SetEvent(self->changed.Get());
  return 0;
}

long ChildProcess::WaitForExit(DWORD timeoutMs) {
  if (!process || ::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  for (Stream* stream : {out, err}) {
    if (stream->reader) ::WaitForSingleObject(stream->reader.Get(), timeoutMs);
  }
  return static_cast<long>(code);
}

bool ChildProcess::IsRunning() const {
  return process && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate() {
  if (IsRunning()) {
    ::TerminateProcess(process.Get(), 99);
    ::WaitForSingleObject(process.Get(), kGenerousMs);
  }
}

bool ChildProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) {
  return WaitUntil(changed.Get(), timeoutMs,
                   [&] { return Output().find(text) != std::string::npos; });
}

std::string ChildProcess::Output() const {
  const auto held = lock.Hold();
  return WithoutCarriageReturns(out->text);
}

std::string ChildProcess::Errors() const {
  const auto held = lock.Hold();
  return WithoutCarriageReturns(err->text);
}

ChildResult RunChild(const std::string& commandLine, const std::string& input, DWORD timeoutMs) {
  ChildResult result;
  ChildProcess child;
  result.started = child.Start(commandLine, input);
  if (!result.started) return result;
  const long code = child.WaitForExit(timeoutMs);
  result.finished = code != -1;
  if (!result.finished) {
    child.Terminate();
    child.WaitForExit(kGenerousMs);
  }
  result.exitCode = static_cast<std::uint32_t>(code);
  result.out = child.Output();
  result.err = child.Errors();
  return result;
}

}  // namespace lptlcd
