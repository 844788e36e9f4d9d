#pragma once
// The DLL's entry points, looked up by plain name as LCD software does.

#include <windows.h>

namespace lptlcd::test {

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

struct PortIoApi {
  HMODULE module = nullptr;
  void(WINAPI* Out32)(short, short) = nullptr;
  short(WINAPI* Inp32)(short) = nullptr;
  BOOL(WINAPI* IsInpOutDriverOpen)() = nullptr;
  BOOL(WINAPI* IsXP64Bit)() = nullptr;
  UCHAR(WINAPI* ReadUchar)(ULONG) = nullptr;
  USHORT(WINAPI* ReadUshort)(ULONG) = nullptr;
  ULONG(WINAPI* ReadUlong)(ULONG) = nullptr;
  void(WINAPI* WriteUchar)(ULONG, UCHAR) = nullptr;
  void(WINAPI* WriteUshort)(ULONG, USHORT) = nullptr;
  void(WINAPI* WriteUlong)(ULONG, ULONG) = nullptr;
  void(WINAPI* ReadBufferUchar)(ULONG, PUCHAR, ULONG) = nullptr;
  void(WINAPI* ReadBufferUshort)(ULONG, PUSHORT, ULONG) = nullptr;
  void(WINAPI* ReadBufferUlong)(ULONG, PULONG, ULONG) = nullptr;
  void(WINAPI* WriteBufferUchar)(ULONG, PUCHAR, ULONG) = nullptr;
  void(WINAPI* WriteBufferUshort)(ULONG, PUSHORT, ULONG) = nullptr;
  void(WINAPI* WriteBufferUlong)(ULONG, PULONG, ULONG) = nullptr;

  // True when the DLL loaded and every entry point was found.
  bool Load(const char* name) {
    module = ::LoadLibraryA(name);
    if (module == nullptr) return false;
    auto get = [&](auto& fn, const char* export_name) {
      fn = Lookup<std::remove_reference_t<decltype(fn)>>(module, export_name);
      return fn != nullptr;
    };
    return get(Out32, "Out32") && get(Inp32, "Inp32") && get(IsInpOutDriverOpen, "IsInpOutDriverOpen") &&
           get(IsXP64Bit, "IsXP64Bit") && get(ReadUchar, "DlPortReadPortUchar") &&
           get(ReadUshort, "DlPortReadPortUshort") && get(ReadUlong, "DlPortReadPortUlong") &&
           get(WriteUchar, "DlPortWritePortUchar") && get(WriteUshort, "DlPortWritePortUshort") &&
           get(WriteUlong, "DlPortWritePortUlong") && get(ReadBufferUchar, "DlPortReadPortBufferUchar") &&
           get(ReadBufferUshort, "DlPortReadPortBufferUshort") &&
           get(ReadBufferUlong, "DlPortReadPortBufferUlong") &&
           get(WriteBufferUchar, "DlPortWritePortBufferUchar") &&
           get(WriteBufferUshort, "DlPortWritePortBufferUshort") &&
           get(WriteBufferUlong, "DlPortWritePortBufferUlong");
  }
};

// io.dll's entry points (the same DLL under that name).
struct IoDllApi {
  HMODULE module = nullptr;
  void(WINAPI* PortOut)(short, char) = nullptr;
  void(WINAPI* PortWordOut)(short, short) = nullptr;
  void(WINAPI* PortDWordOut)(short, int) = nullptr;
  char(WINAPI* PortIn)(short) = nullptr;
  short(WINAPI* PortWordIn)(short) = nullptr;
  int(WINAPI* PortDWordIn)(short) = nullptr;
  void(WINAPI* SetPortBit)(short, char) = nullptr;
  void(WINAPI* ClrPortBit)(short, char) = nullptr;
  void(WINAPI* NotPortBit)(short, char) = nullptr;
  short(WINAPI* GetPortBit)(short, char) = nullptr;
  short(WINAPI* RightPortShift)(short, short) = nullptr;
  short(WINAPI* LeftPortShift)(short, short) = nullptr;
  short(WINAPI* IsDriverInstalled)() = nullptr;

  bool Load(const char* name) {
    module = ::LoadLibraryA(name);
    if (module == nullptr) return false;
    auto get = [&](auto& fn, const char* export_name) {
      fn = Lookup<std::remove_reference_t<decltype(fn)>>(module, export_name);
      return fn != nullptr;
    };
    return get(PortOut, "PortOut") && get(PortWordOut, "PortWordOut") &&
           get(PortDWordOut, "PortDWordOut") && get(PortIn, "PortIn") &&
           get(PortWordIn, "PortWordIn") && get(PortDWordIn, "PortDWordIn") &&
           get(SetPortBit, "SetPortBit") && get(ClrPortBit, "ClrPortBit") &&
           get(NotPortBit, "NotPortBit") && get(GetPortBit, "GetPortBit") &&
           get(RightPortShift, "RightPortShift") && get(LeftPortShift, "LeftPortShift") &&
           get(IsDriverInstalled, "IsDriverInstalled");
  }
};

// WinIo's entry points (WinIo.dll, WinIo32.dll).
struct WinIoApi {
  HMODULE module = nullptr;
  bool(WINAPI* InitializeWinIo)() = nullptr;
  void(WINAPI* ShutdownWinIo)() = nullptr;
  bool(WINAPI* GetPortVal)(WORD, PDWORD, BYTE) = nullptr;
  bool(WINAPI* SetPortVal)(WORD, DWORD, BYTE) = nullptr;
  PBYTE(WINAPI* MapPhysToLin)(PBYTE, DWORD, HANDLE*) = nullptr;
  bool(WINAPI* UnmapPhysicalMemory)(HANDLE, PBYTE) = nullptr;
  bool(WINAPI* GetPhysLong)(PBYTE, PDWORD) = nullptr;
  bool(WINAPI* SetPhysLong)(PBYTE, DWORD) = nullptr;

  bool Load(const char* name) {
    module = ::LoadLibraryA(name);
    if (module == nullptr) return false;
    auto get = [&](auto& fn, const char* export_name) {
      fn = Lookup<std::remove_reference_t<decltype(fn)>>(module, export_name);
      return fn != nullptr;
    };
    return get(InitializeWinIo, "InitializeWinIo") && get(ShutdownWinIo, "ShutdownWinIo") &&
           get(GetPortVal, "GetPortVal") && get(SetPortVal, "SetPortVal") &&
           get(MapPhysToLin, "MapPhysToLin") && get(UnmapPhysicalMemory, "UnmapPhysicalMemory") &&
           get(GetPhysLong, "GetPhysLong") && get(SetPhysLong, "SetPhysLong");
  }
};

}  // namespace lptlcd::test
