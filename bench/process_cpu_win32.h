#pragma once
// CPU time of another process, as Windows reports it and, under Wine, as the
// Linux kernel counts it for the process that runs it.

#include <windows.h>

#include <string>
#include <vector>

namespace lptlcd::bench {

// User plus kernel time of a process as Windows reports it; negative when
// it cannot be had.
double ProcessCpuMs(HANDLE process);

// The Linux processes of this Wine prefix, found by their program (the
// first word of their command line) and the WINEPREFIX in their environment.
std::vector<unsigned long> LinuxProcessesOfPrefix(const std::string& nameInCommandLine,
                                                  const std::string& prefix);

// Time on a CPU of a Linux process in milliseconds, to the nanosecond: the
// sum of its threads' schedstat. Falls back to the ticks of /proc/<pid>/stat
// when the kernel keeps no schedstat.
double LinuxCpuMs(unsigned long pid);

}  // namespace lptlcd::bench
