#pragma once
// A hidden top-level window, as a program's own notice window would be, that
// counts the device and power broadcasts it receives: how a test sees what a
// test display says to every window. Broadcasts reach top-level windows only
// (not message-only ones), and under headless Wine only in a prefix that
// names the null display driver.

#include <windows.h>

#include "common/win32_handles.h"

namespace lptlcd::test {

class NoticeWindow {
 public:
  // Creates the window on a thread of its own, which pumps its messages.
  NoticeWindow();
  ~NoticeWindow();  // destroys the window and ends the thread
  NoticeWindow(const NoticeWindow&) = delete;
  NoticeWindow& operator=(const NoticeWindow&) = delete;

  // False when no window could be had.
  bool ok() const { return window != nullptr; }

  // WM_DEVICECHANGE with DBT_DEVNODES_CHANGED, and WM_POWERBROADCAST with
  // PBT_APMRESUMEAUTOMATIC, received so far.
  long DeviceNodesChanged() const { return deviceNodesChanged; }
  long Resumes() const { return resumes; }
  // True once at least `count` of them have arrived within boundMs.
  bool WaitForDeviceNodesChanged(long count, DWORD boundMs) const;
  bool WaitForResumes(long count, DWORD boundMs) const;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Pump();

  HWND window = nullptr;
  UniqueKernelHandle created;  // set once the thread has tried to make the window
  UniqueKernelHandle thread;
  volatile long deviceNodesChanged = 0;
  volatile long resumes = 0;
};

}  // namespace lptlcd::test
