#include "notice_window.h"

#include <dbt.h>

#include "tools/harness/child_process.h"

namespace lptlcd::test {

namespace {

constexpr char kClassName[] = "lptlcd_test_notice_window";

}  // namespace

NoticeWindow::NoticeWindow() {
  created.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!created) return;
  thread.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (thread) ::WaitForSingleObject(created.Get(), INFINITE);
}

NoticeWindow::~NoticeWindow() {
  if (!thread) return;
  // The window belongs to the thread: only it can destroy it, and a window
  // that never came leaves the thread already on its way out.
  if (window != nullptr) ::PostMessageA(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(thread.Get(), INFINITE);
}

DWORD WINAPI NoticeWindow::ThreadMain(void* self) {
  static_cast<NoticeWindow*>(self)->Pump();
  return 0;
}

void NoticeWindow::Pump() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  // Every NoticeWindow of the process shares the class.
  if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    ::SetEvent(created.Get());
    return;
  }
  // Not WS_VISIBLE, and no parent: a hidden top-level window.
  HWND made = ::CreateWindowExA(0, kClassName, kClassName, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, this);
  window = made;
  ::SetEvent(created.Get());
  if (made == nullptr) return;
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
}

LRESULT CALLBACK NoticeWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<NoticeWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_DEVICECHANGE:
      if (self != nullptr && wParam == DBT_DEVNODES_CHANGED) ::InterlockedIncrement(&self->deviceNodesChanged);
      return TRUE;
    case WM_POWERBROADCAST:
      if (self != nullptr && wParam == PBT_APMRESUMEAUTOMATIC) ::InterlockedIncrement(&self->resumes);
      return TRUE;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

bool NoticeWindow::WaitForDeviceNodesChanged(long count, DWORD boundMs) const {
  return WaitFor([&] { return deviceNodesChanged >= count; }, boundMs);
}

bool NoticeWindow::WaitForResumes(long count, DWORD boundMs) const {
  return WaitFor([&] { return resumes >= count; }, boundMs);
}

}  // namespace lptlcd::test
