#pragma once
// One lptlcd per Windows session. Two copies (an autostart and a
// double-click, say) would both drain the one ring, each decoder would see
// part of the writes and the display would show garbled text; so a copy
// first claims a named object of its own, before it touches the ring, and
// one that finds it claimed ends.

#include "common/win32_handles.h"

namespace lptlcd {

constexpr char kSessionInstanceName[] = "lptlcdSessionInstance";
constexpr char kAlreadyRunningMessage[] =
    "lptlcd is already running in this session: this copy ends and leaves the display to it\n";

enum class InstanceClaim { kClaimed, kAnotherCopyRuns, kUnavailable };

// Creates the instance object and keeps it in `held` for as long as the
// process runs. kAnotherCopyRuns when it existed already (or exists and
// refuses this process); kUnavailable when it cannot be had at all, in which
// case the program runs without the guard rather than not at all.
InstanceClaim ClaimSessionInstance(UniqueKernelHandle& held);

}  // namespace lptlcd
