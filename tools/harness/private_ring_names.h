#pragma once
// A ring of one's own for a test or a measurement: the shared objects' kinds
// under names tagged with what they are for and this process's id, so that
// nothing else in the prefix (a running lptlcd, another test) meets them.

#include <windows.h>

#include <string>

#include "ring/ring_objects.h"

namespace lptlcd {

class PrivateRingNames {
 public:
  explicit PrivateRingNames(const std::string& tag)
      : mutex("lptlcd" + tag + "Access" + Suffix()),
        event("lptlcd" + tag + "Event" + Suffix()),
        section("lptlcd" + tag + "Data" + Suffix()) {}

  // Valid while this object lives.
  RingObjectNames Names() const {
    RingObjectNames names;
    names.mutex = mutex.c_str();
    names.event = event.c_str();
    names.section = section.c_str();
    return names;
  }

 private:
  static std::string Suffix() { return std::to_string(::GetCurrentProcessId()); }

  std::string mutex;
  std::string event;
  std::string section;
};

}  // namespace lptlcd
