#include "bench/process_cpu_win32.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/unique_handle.h"
#include "tools/harness/child_process.h"

namespace lptlcd::bench {

namespace {

struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type search) { ::FindClose(search); }
};
using UniqueFind = UniqueHandle<FindTraits>;

double FileTimeMs(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;  // 100 ns units
}

std::string ReadLinuxFile(const std::string& path) {
  std::ifstream in(WindowsPath(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Calls `each` with the name of every entry of a Linux folder (seen on drive
// Z:) that matches `pattern`; false when the folder cannot be listed.
template <typename Each>
bool ForEachEntry(const std::string& pattern, Each each) {
  WIN32_FIND_DATAA entry;
  const UniqueFind search(::FindFirstFileA(WindowsPath(pattern).c_str(), &entry));
  if (!search) return false;
  do {
    each(entry.cFileName);
  } while (::FindNextFileA(search.Get(), &entry));
  return true;
}

// utime + stime of a Linux process in milliseconds, all its threads
// together (the kernel counts them in ticks of 1/100 s for /proc);
// negative when it cannot be read.
double LinuxTicksCpuMs(unsigned long pid) {
  const std::string stat = ReadLinuxFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t afterName = stat.rfind(')');
  if (afterName == std::string::npos) return -1.0;
  // Fields from the third on: state, ppid, ..., utime is the 14th, stime the 15th.
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t i = afterName + 2; i <= stat.size(); ++i) {
    if (i == stat.size() || stat[i] == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field += stat[i];
    }
  }
  if (fields.size() < 13) return -1.0;
  const double ticks =
      std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
  return ticks * 10.0;
}

}  // namespace

double ProcessCpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1.0;
  return FileTimeMs(kernel) + FileTimeMs(user);
}

std::vector<unsigned long> LinuxProcessesOfPrefix(const std::string& nameInCommandLine,
                                                  const std::string& prefix) {
  std::vector<unsigned long> found;
  const std::string prefixEntry = "WINEPREFIX=" + prefix;
  ForEachEntry("/proc/*", [&](const char* name) {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(name, &end, 10);
    if (end == name || *end != '\0') return;
    const std::string base = "/proc/" + std::string(name);
    // The program only, not its arguments: this tool's own command line may
    // name lptlcd.exe (--lptlcd PATH).
    const std::string commandLine = ReadLinuxFile(base + "/cmdline");
    const std::string program = commandLine.substr(0, commandLine.find('\0'));
    if (program.find(nameInCommandLine) == std::string::npos) return;
    // Entries are NUL-terminated: match a whole one.
    const std::string environment = '\0' + ReadLinuxFile(base + "/environ");
    if (environment.find('\0' + prefixEntry + '\0') == std::string::npos) return;
    found.push_back(pid);
  });
  return found;
}

double LinuxCpuMs(unsigned long pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
  double nanoseconds = 0.0;
  bool any = false;
  const bool listed = ForEachEntry(tasks + "*", [&](const char* name) {
    if (name[0] < '0' || name[0] > '9') return;
    const std::string schedstat = ReadLinuxFile(tasks + name + "/schedstat");
    if (schedstat.empty()) return;
    nanoseconds += std::strtod(schedstat.c_str(), nullptr);
    any = true;
  });
  return listed && any ? nanoseconds / 1e6 : LinuxTicksCpuMs(pid);
}

}  // namespace lptlcd::bench
