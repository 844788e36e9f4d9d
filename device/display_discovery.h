#pragma once
// Finding the display: its USB driver registers every attached display under
// one device interface class and exposes the display's pipes as names below
// the interface's path. The search takes the interfaces in turn until one
// opens and so does the output pipe below it, whose path it keeps in
// devicePath.

#include <windows.h>

#include <cstddef>
#include <cstdio>

#include "common/win32_handles.h"

namespace lptlcd {

// {00873FDF-61A8-11D1-AA5E-00C04FB1728B}
extern const GUID DisplayInterfaceGuid;

constexpr char kOutputPipeName[] = "PIPE01";

constexpr std::size_t kDevicePathSize = 256;
using DevicePathBuffer = char[kDevicePathSize];

// The interface path of the display in use, then (after OpenDevicePipe) its
// pipe path. One for the whole process.
extern DevicePathBuffer devicePath;

// The longest interface path that still leaves room in devicePath for the
// separator, the pipe name and the terminating zero. A longer one counts as
// an interface that cannot be opened.
constexpr std::size_t kMaxInterfacePathLength = kDevicePathSize - 1 - (sizeof kOutputPipeName - 1) - 1;

// True when a present interface of the class opens (the first that does:
// its path is left in `path`).
bool GetUsbDeviceFileName(const GUID* interfaceClass, DevicePathBuffer& path);

// Finds the display and opens the named pipe below its interface path.
UniqueFileHandle OpenDevicePipe(const char* pipeName);

// What the quiet search says when the pipe it opened is below another
// interface than the last one that opened (or the first one at all).
constexpr char kDisplayFoundFormat[] = "Found the display at %s\n";
constexpr char kDisplayMovedFormat[] = "The display is now at another path: %s\n";

// The same, saying nothing but that line: for looking for a display again,
// once a second, after its pipe died. The last display's own interface is
// tried first.
UniqueFileHandle OpenDevicePipeQuietly(const char* pipeName);

// The search reports on standard output; tests that read the messages back
// point it elsewhere.
void SetDiscoveryMessageStream(std::FILE* stream);

}  // namespace lptlcd
