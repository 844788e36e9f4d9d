#include "device/notice_window.h"

#include <windows.h>
#include <dbt.h>


#include "device/display_discovery.h"
#include "device/system_notice.h"

namespace lptlcd {

static_assert(kWmPowerBroadcast == WM_POWERBROADCAST && kWmDeviceChange == WM_DEVICECHANGE, "messages");
static_assert(kDbtDevNodesChanged == DBT_DEVNODES_CHANGED && kDbtDeviceArrival == DBT_DEVICEARRIVAL &&
                  kDbtDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE &&
                  kDbtDevTypDeviceInterface == DBT_DEVTYP_DEVICEINTERFACE,
              "device events");
static_assert(kPbtApmResumeCritical == PBT_APMRESUMECRITICAL && kPbtApmResumeSuspend == PBT_APMRESUMESUSPEND &&
                  kPbtApmResumeAutomatic == PBT_APMRESUMEAUTOMATIC,
              "power events");

namespace {

constexpr char kWindowClass[] = "lptlcdNotices";
constexpr DWORD kStartBoundMs = 5000;

// One window for the process.
NoticeHandler handler = nullptr;
void* handlerContext = nullptr;

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DEVICECHANGE || message == WM_POWERBROADCAST) {
    SystemMessage seen;
    seen.message = message;
    seen.event = static_cast<std::uint32_t>(wParam);
    // Only arrival and removal carry a structure; a broadcast of
    // DBT_DEVNODES_CHANGED has none.
    if (message == WM_DEVICECHANGE && lParam != 0 &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
      seen.deviceType = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype;
    }
    DisplayNotice notice = DisplayNotice::kDevicesChanged;
    if (DisplayNoticeFor(seen, notice)) handler(notice, handlerContext);
    return TRUE;  // grants a PBT_APMQUERYSUSPEND, and means nothing elsewhere
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

struct Start {
  HANDLE ready = nullptr;
  bool made = false;
};

DWORD WINAPI NoticeThread(void* argument) {
  Start& start = *static_cast<Start*>(argument);
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &NoticeWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  // Never shown: no WS_VISIBLE. A top-level window, not HWND_MESSAGE's child.
  const HWND window = ::RegisterClassA(&windowClass) == 0
                          ? nullptr
                          : ::CreateWindowExA(0, kWindowClass, "lptlcd", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                              nullptr, instance, nullptr);
  start.made = window != nullptr;
  ::SetEvent(start.ready);  // `start` is the starter's, and may be gone from here on
  if (window == nullptr) return 1;

  // Arrival and removal of the display's class; DBT_DEVNODES_CHANGED comes
  // without asking. Refused, the broadcast alone still serves.
  DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = DisplayInterfaceGuid;
  ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);

  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  return 0;
}

}  // namespace

bool StartNoticeWindow(NoticeHandler onNotice, void* context) {
  if (handler != nullptr) return false;  // one window a process
  handler = onNotice;
  handlerContext = context;
  // lptlcd starts no programs, but the first window of a Wine session starts
  // the desktop process, which would be handed these and hold open the pipe
  // of whoever reads lptlcd's messages.
  ::SetHandleInformation(::GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(::GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
  auto* start = new Start;
  start->ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // The thread uses no C runtime: CreateThread will do.
  const HANDLE thread =
      start->ready == nullptr ? nullptr : ::CreateThread(nullptr, 0, &NoticeThread, start, 0, nullptr);
  bool answered = thread == nullptr;
  bool made = false;
  if (thread != nullptr) {
    answered = ::WaitForSingleObject(start->ready, kStartBoundMs) == WAIT_OBJECT_0;
    made = answered && start->made;
    ::CloseHandle(thread);
  }
  // A thread that has not answered yet may still do so: left to it.
  if (answered) {
    if (start->ready != nullptr) ::CloseHandle(start->ready);
    delete start;
  }
  return made;
}

}  // namespace lptlcd
