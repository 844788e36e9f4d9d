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

UniqueFileHandle OpenForReadWrite(const char* path) {
  return UniqueFileHandle(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
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

// The first present interface of the class that opens; its path is left in
// `path`. An empty owner when none does.
UniqueFileHandle OpenFirstInterface(const GUID* interfaceClass, DevicePathBuffer& path) {
  const UniqueDevInfo set(::SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr,
                                                 DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set) return UniqueFileHandle();

  for (DWORD index = 0; index < kMaxInterfaceIndex; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    if (::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, interfaceClass, index, &interfaceData)) {
      UniqueFileHandle opened = OpenInterface(set.Get(), &interfaceData, path);
      if (opened) return opened;
    } else if (::GetLastError() == ERROR_NO_MORE_ITEMS) {
      break;
    }
  }
  return UniqueFileHandle();
}

}  // namespace

void SetDiscoveryMessageStream(std::FILE* stream) { messageStream = stream; }

bool GetUsbDeviceFileName(const GUID* interfaceClass, DevicePathBuffer& path) {
  // Opened only to prove that it can be; closed again at once.
  return OpenFirstInterface(interfaceClass, path).IsValid();
}

UniqueFileHandle OpenDevicePipe(const char* pipeName) {
  if (!GetUsbDeviceFileName(&DisplayInterfaceGuid, devicePath)) {
    Report("Failed to GetUsbDeviceFileName\n");
    return UniqueFileHandle();
  }
  const std::size_t pathLength = std::strlen(devicePath);
  const std::size_t nameLength = std::strlen(pipeName);
  // Checked again here for pipe names other than the display's own.
  if (pathLength + 1 + nameLength + 1 > kDevicePathSize) return UniqueFileHandle();
  devicePath[pathLength] = '\\';
  std::memcpy(devicePath + pathLength + 1, pipeName, nameLength + 1);
  return OpenForReadWrite(devicePath);
}

UniqueFileHandle OpenDevicePipeQuietly(const char* pipeName) {
  // Only the display worker searches, so one flag for the search will do.
  quiet = true;
  UniqueFileHandle pipe = OpenDevicePipe(pipeName);
  quiet = false;
  return pipe;
}

}  // namespace lptlcd
