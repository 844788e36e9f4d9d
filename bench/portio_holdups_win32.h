#pragma once
// How long the drop-in DLL can hold up an LCD program's port write while
// another thread is stuck: a thread of the program stuck in the ring's first
// open (behind the loader lock), or a suspended thread that holds the ring's
// mutex. Each prints its figures and returns false when records went astray.

#include "tools/harness/portio_api.h"
#include "tools/harness/ring_view_win32.h"

namespace lptlcd::bench {

// `api`: the DLL, loaded and its ring open; `view`: the program's side of
// that ring, which nobody else drains meanwhile.
bool MeasureSuspendedMutexHolder(PortIoApi& api, RingView& view, long writes);

// `freshName`: the DLL under a name this process has not loaded yet, so that
// its first use is still to come; `view` as above.
bool MeasureStuckFirstUse(const char* freshName, RingView& view, long writes);

}  // namespace lptlcd::bench
