#include <cerrno>

#include "common/unique_handle.h"

namespace lptlcd {

LastErrorKept::LastErrorKept() : error(static_cast<unsigned long>(errno)) {}
LastErrorKept::~LastErrorKept() { errno = static_cast<int>(error); }

}  // namespace lptlcd
