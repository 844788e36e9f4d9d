#pragma once
// The DLL's entry points, looked up by plain name as LCD software does.

#include <windows.h>

#include <type_traits>
#include <utility>

namespace lptlcd {

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Loads the DLL and looks up each (pointer, name) pair; true when all are there.
template <typename... Pairs>
bool LoadAndBind(HMODULE& module, const char* dll, Pairs&&... pairs) {
  module = ::LoadLibraryA(dll);
  if (module == nullptr) return false;
  const auto bind = [&](auto& pair) {
    using Fn = std::remove_reference_t<decltype(*pair.first)>;
    *pair.first = Lookup<Fn>(module, pair.second);
    return *pair.first != nullptr;
  };
  return (bind(pairs) && ...);
}

template <typename Fn>
std::pair<Fn*, const char*> Entry(Fn& fn, const char* name) {
  return {&fn, name};
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
    return LoadAndBind(module, name, Entry(Out32, "Out32"), Entry(Inp32, "Inp32"),
                       Entry(IsInpOutDriverOpen, "IsInpOutDriverOpen"),
                       Entry(IsXP64Bit, "IsXP64Bit"), Entry(ReadUchar, "DlPortReadPortUchar"),
                       Entry(ReadUshort, "DlPortReadPortUshort"),
                       Entry(ReadUlong, "DlPortReadPortUlong"),
                       Entry(WriteUchar, "DlPortWritePortUchar"),
                       Entry(WriteUshort, "DlPortWritePortUshort"),
                       Entry(WriteUlong, "DlPortWritePortUlong"),
                       Entry(ReadBufferUchar, "DlPortReadPortBufferUchar"),
                       Entry(ReadBufferUshort, "DlPortReadPortBufferUshort"),
                       Entry(ReadBufferUlong, "DlPortReadPortBufferUlong"),
                       Entry(WriteBufferUchar, "DlPortWritePortBufferUchar"),
                       Entry(WriteBufferUshort, "DlPortWritePortBufferUshort"),
                       Entry(WriteBufferUlong, "DlPortWritePortBufferUlong"));
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
    return LoadAndBind(module, name, Entry(PortOut, "PortOut"), Entry(PortWordOut, "PortWordOut"),
                       Entry(PortDWordOut, "PortDWordOut"), Entry(PortIn, "PortIn"),
                       Entry(PortWordIn, "PortWordIn"), Entry(PortDWordIn, "PortDWordIn"),
                       Entry(SetPortBit, "SetPortBit"), Entry(ClrPortBit, "ClrPortBit"),
                       Entry(NotPortBit, "NotPortBit"), Entry(GetPortBit, "GetPortBit"),
                       Entry(RightPortShift, "RightPortShift"),
                       Entry(LeftPortShift, "LeftPortShift"),
                       Entry(IsDriverInstalled, "IsDriverInstalled"));
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
    return LoadAndBind(module, name, Entry(InitializeWinIo, "InitializeWinIo"),
                       Entry(ShutdownWinIo, "ShutdownWinIo"), Entry(GetPortVal, "GetPortVal"),
                       Entry(SetPortVal, "SetPortVal"), Entry(MapPhysToLin, "MapPhysToLin"),
                       Entry(UnmapPhysicalMemory, "UnmapPhysicalMemory"),
                       Entry(GetPhysLong, "GetPhysLong"), Entry(SetPhysLong, "SetPhysLong"));
  }
};

}  // namespace lptlcd
