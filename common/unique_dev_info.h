#pragma once
// The owner of a SetupAPI device information set.

#include <windows.h>
#include <setupapi.h>

#include "common/win32_handles.h"

namespace lptlcd {

struct DevInfoTraits {
  using Type = HDEVINFO;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type set) { ::SetupDiDestroyDeviceInfoList(set); }
};

using UniqueDevInfo = UniqueHandle<DevInfoTraits>;

}  // namespace lptlcd
