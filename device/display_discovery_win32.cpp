#include "device/display_discovery.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/win32_handles.h"

namespace lptlcd {

const GUID DisplayInterfaceGuid = {
    0x00873FDF, 0x61A8, 0x11D1, {0xAA, 0x5E, 0x00, 0xC0, 0x4F, 0xB1, 0x72, 0x8B}};

DevicePathBuffer devicePath = {};

// The detail record's size field must hold the size of its fixed header,
// which SetupAPI checks exactly.
#ifdef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "x86_64 detail header");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "x86_64 interface record");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "i686 detail header");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "i686 interface record");
#endif

namespace {

std::FILE* messageStream = nullptr;
bool quiet = false;

std::FILE* Messages() { return messageStream != nullptr ? messageStream : stdout; }

// The pipe's messages must survive the process being terminated while its
// standard output is a pipe.
template <typename... Args>
void Report(const char* format, Args... args) {
  if (quiet) return;
  std::fprintf(Messages(), format, args...);
  std::fflush(Messages());
}

// SetupDiEnumDeviceInterfaces fails with something other than "no more items"
// only for a broken set; the search goes on past such an index, but not forever.
constexpr DWORD kMaxInterfaceIndex = 4096;

UniqueFileHandle OpenForReadWrite(const char* path, DWORD flags = 0) {
  return UniqueFileHandle(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        flags, nullptr));
}

// Opens one interface of the set: copies its path into `path` and opens it for
// reading and writing. An empty owner when it does not open.
UniqueFileHandle OpenInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                               DevicePathBuffer& path) {
  DWORD required = 0;
  ::SetupDiGetDeviceInterfaceDetailA(set, interfaceData, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return UniqueFileHandle();

  // Owned here so that every way out frees it.
  std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[required]());
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!::SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, required, nullptr, nullptr)) {
    return UniqueFileHandle();
  }

  // Never trust the record to be terminated inside its own size.
  const std::size_t room = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  const std::size_t length = ::strnlen(detail->DevicePath, room);
  if (length == room || length > kMaxInterfacePathLength) {
    // No room to build the pipe path below it: as good as unopenable. The
    // path itself is reported, truncated only if unterminated.
    const int shown = static_cast<int>(length);
    Report("Attempting to open %.*s\n", shown, detail->DevicePath);
    Report("FAILED to open %.*s\n", shown, detail->DevicePath);
    return UniqueFileHandle();
  }
  std::memcpy(path, detail->DevicePath, length);
  path[length] = '\0';

  Report("Attempting to open %s\n", path);
  UniqueFileHandle opened = OpenForReadWrite(path);
  if (!opened) Report("FAILED to open %s\n", path);
  return opened;
}

// Opens the present interfaces of the class in turn, leaving each one's path
// in `path`, until `found` (given each that opens) says the search ends
// there. True when it did; `anyOpened` tells whether any interface opened.
template <typename Found>
bool SearchInterfaces(const GUID* interfaceClass, DevicePathBuffer& path, Found found, bool& anyOpened) {
  anyOpened = false;
  const UniqueDevInfo set(::SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr,
                                                 DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) return false;

  for (DWORD index = 0; index < kMaxInterfaceIndex; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    if (::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, interfaceClass, index, &interfaceData)) {
      // Opened only to prove that it can be; closed again at once.
      if (!OpenInterface(set.Get(), &interfaceData, path)) continue;
      anyOpened = true;
      if (found()) return true;
    } else if (::GetLastError() == ERROR_NO_MORE_ITEMS) {
      break;
    }
  }
  return false;
}

// The interface path of the display whose pipe opened last: after a loss it
// is tried first, so that lptlcd goes back to its own display rather than to
// another device of the class.
DevicePathBuffer displayInterface = {};

// Opens the named pipe below an interface path, leaving the pipe's path in
// devicePath. Overlapped, so that a write that is never taken can be given up.
UniqueFileHandle OpenPipeBelow(const char* interfacePath, const char* pipeName) {
  const std::size_t pathLength = std::strlen(interfacePath);
  const std::size_t nameLength = std::strlen(pipeName);
  // Checked again here for pipe names other than the display's own.
  if (pathLength + 1 + nameLength + 1 > kDevicePathSize) return UniqueFileHandle();
  if (interfacePath != devicePath) std::memcpy(devicePath, interfacePath, pathLength);
  devicePath[pathLength] = '\\';
  std::memcpy(devicePath + pathLength + 1, pipeName, nameLength + 1);
  UniqueFileHandle pipe = OpenForReadWrite(devicePath, FILE_FLAG_OVERLAPPED);
  if (pipe) {
    std::memcpy(displayInterface, devicePath, pathLength);
    displayInterface[pathLength] = '\0';
  }
  return pipe;
}

// Every present interface of the class in turn, until one opens and so does
// the pipe below it: the display, and not merely the first device of its
// class, which other devices of the same driver family share.
UniqueFileHandle FindDisplayPipe(const char* pipeName) {
  UniqueFileHandle pipe;
  bool anyOpened = false;
  SearchInterfaces(&DisplayInterfaceGuid, devicePath, [&] {
    pipe = OpenPipeBelow(devicePath, pipeName);
    return pipe.IsValid();
  }, anyOpened);
  if (!anyOpened) Report("Failed to GetUsbDeviceFileName\n");
  return pipe;
}

}  // namespace

void SetDiscoveryMessageStream(std::FILE* stream) { messageStream = stream; }

bool GetUsbDeviceFileName(const GUID* interfaceClass, DevicePathBuffer& path) {
  bool anyOpened = false;
  return SearchInterfaces(interfaceClass, path, [] { return true; }, anyOpened);
}

UniqueFileHandle OpenDevicePipe(const char* pipeName) { return FindDisplayPipe(pipeName); }

UniqueFileHandle OpenDevicePipeQuietly(const char* pipeName) {
  DevicePathBuffer before = {};
  std::memcpy(before, displayInterface, sizeof before);
  if (before[0] != '\0') {
    UniqueFileHandle pipe = OpenPipeBelow(before, pipeName);
    if (pipe) return pipe;
  }
  // Only the display worker searches, so one flag for the search will do.
  quiet = true;
  UniqueFileHandle pipe = FindDisplayPipe(pipeName);
  quiet = false;
  if (pipe && std::strcmp(before, displayInterface) != 0) {
    // Said even by the quiet search: which device now gets the packets.
    std::fprintf(Messages(), before[0] == '\0' ? kDisplayFoundFormat : kDisplayMovedFormat, displayInterface);
    std::fflush(Messages());
  }
  return pipe;
}

}  // namespace lptlcd
