#pragma once
// A hidden top-level window that listens, on a thread of its own, for what
// Windows says about devices and power: device nodes that come and go (sent
// to every top-level window; a message-only window gets no broadcasts), the
// display's interface class arriving and leaving, and resume from sleep.

#include "device/display_recovery.h"

namespace lptlcd {

// Called on the window's thread for each notice that concerns the display.
using NoticeHandler = void (*)(DisplayNotice notice, void* context);

// Starts the thread and waits until its window is there. False when no
// window can be had (no desktop, or headless Wine without its null display
// driver): the program then works on without notices.
bool StartNoticeWindow(NoticeHandler handler, void* context);

}  // namespace lptlcd
