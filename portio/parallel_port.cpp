#include "portio/parallel_port.h"

namespace lptlcd {

bool ParallelPortModel::Write(std::uint32_t port, std::uint8_t value, PortWriteRecord& record) {
  if (port < kParallelPortBase || port > kParallelPortLast) return false;
  const auto selector = static_cast<std::uint8_t>(port & 0xFF);
  if (selector == kDataRegisterSelector) data.store(value);
  if (selector == kControlRegisterSelector) control.store(value);
  record = MakeRecord(selector, value);
  return true;
}

std::uint8_t ParallelPortModel::Read(std::uint32_t port) const {
  if (port == kDataPort) {
    const std::uint8_t lines = control.load();
    if ((lines & kControlInputMode) == 0) return data.load();
    return (lines & kControlRegisterSelect) != 0 ? kModuleDataRead : kModuleStatusRead;
  }
  if (port == kStatusPort) return kIdleStatus;
  if (port == kControlPort) return control.load();
  return kUnmappedRead;
}

}  // namespace lptlcd
