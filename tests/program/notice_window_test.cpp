// lptlcd's notice window, with the messages Windows would send it: Wine
// sends none for a display, and arrival and removal carry a structure that a
// post cannot take across processes, so they are sent here, in-process, to
// the real window; broadcasts reach it from other processes (tests/e2e).

#include <gtest/gtest.h>
#include <windows.h>
#include <dbt.h>

#include <vector>

#include "device/display_discovery.h"
#include "device/notice_window.h"

namespace lptlcd {
namespace {

std::vector<int> heard;  // the notices, in order; only the window's thread adds

void Hear(DisplayNotice notice, void*) { heard.push_back(static_cast<int>(notice)); }

TEST(NoticeWindow, ActsOnWhatConcernsTheDisplayAndAnswersEveryMessage) {
  ASSERT_TRUE(StartNoticeWindow(&Hear, nullptr)) << "no window: does the prefix name the null display driver?";
  EXPECT_FALSE(StartNoticeWindow(&Hear, nullptr));  // one a process
  const HWND window = ::FindWindowA("lptlcdNotices", nullptr);
  ASSERT_NE(window, nullptr);
  // Hidden: a person never sees it.
  EXPECT_FALSE(::IsWindowVisible(window));

  DEV_BROADCAST_DEVICEINTERFACE_A display = {};
  display.dbcc_size = sizeof display;
  display.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  display.dbcc_classguid = DisplayInterfaceGuid;
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  const int kChanged = static_cast<int>(DisplayNotice::kDevicesChanged);
  const int kResumed = static_cast<int>(DisplayNotice::kResumed);
  const struct {
    UINT message;
    WPARAM event;
    const void* structure;
    std::vector<int> heardAfter;
  } rows[] = {
      {WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, nullptr, {kChanged}},
      {WM_DEVICECHANGE, DBT_DEVICEARRIVAL, &display, {kChanged}},
      {WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, &display, {kChanged}},
      {WM_DEVICECHANGE, DBT_DEVICEARRIVAL, &volume, {}},
      {WM_POWERBROADCAST, PBT_APMSUSPEND, nullptr, {}},
      {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, nullptr, {kResumed}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.event);
    heard.clear();
    // Sent, so the window has acted once this returns; TRUE grants what asks.
    EXPECT_EQ(::SendMessageA(window, row.message, row.event, reinterpret_cast<LPARAM>(row.structure)), TRUE);
    EXPECT_EQ(heard, row.heardAfter);
  }
  // A query whether the system may sleep is granted, and changes nothing.
  heard.clear();
  EXPECT_EQ(::SendMessageA(window, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), TRUE);
  EXPECT_TRUE(heard.empty());
}

}  // namespace
}  // namespace lptlcd
