#pragma once
// Functions of Windows' DLLs found at run time: those only newer Windows has,
// and those the port-I/O DLL must not import.

#include <windows.h>

namespace lptlcd {

// The function `name` of `module` as the pointer type Fn, or null. Through
// the generic function pointer type, which any function pointer converts
// from and back to.
template <typename Fn>
Fn LookUpFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace lptlcd
