#include <windows.h>

#include "common/unique_handle.h"

namespace lptlcd {

LastErrorKept::LastErrorKept() : error(::GetLastError()) {}
LastErrorKept::~LastErrorKept() { ::SetLastError(error); }

}  // namespace lptlcd
