#include <windows.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "child_process.h"
#include "common/unique_handle.h"

namespace lptlcd::test {

namespace {

std::string TempPath(const std::string& name) {
  char dir[MAX_PATH];
  const DWORD n = ::GetTempPathA(MAX_PATH, dir);
  return std::string(dir, n) + name;
}

UniqueFileHandle OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return UniqueFileHandle(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The C runtime writes text-mode line ends; tests compare with "\n".
std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

}  // namespace

std::string WriteTempFile(const std::string& name, const std::string& content) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

ChildResult RunChild(const std::string& commandLine, const std::string& input, std::uint32_t timeoutMs) {
  ChildResult result;
  const std::string tag = std::to_string(::GetCurrentProcessId());
  const std::string inPath = WriteTempFile("child_in_" + tag + ".txt", input);
  const std::string outPath = TempPath("child_out_" + tag + ".txt");
  const std::string errPath = TempPath("child_err_" + tag + ".txt");
  {
    UniqueFileHandle in = OpenInheritable(inPath, GENERIC_READ, OPEN_EXISTING);
    UniqueFileHandle out = OpenInheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    UniqueFileHandle err = OpenInheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    if (!in || !out || !err) return result;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.Get();
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    PROCESS_INFORMATION info{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &info)) {
      return result;
    }
    result.started = true;
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0) {
      result.finished = true;
    } else {
      ::TerminateProcess(process.Get(), 255);
      ::WaitForSingleObject(process.Get(), INFINITE);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    result.exitCode = code;
  }
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  ::DeleteFileA(inPath.c_str());
  ::DeleteFileA(outPath.c_str());
  ::DeleteFileA(errPath.c_str());
  return result;
}

}  // namespace lptlcd::test
