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

}  // namespace lptlcd::test
