// The program's console: each message goes out in one piece, and the
// console gets back the input mode lptlcd found when lptlcd is stopped. Runs
// under a terminal (see CMakeLists.txt): Wine gives a console modes only
// when it has a terminal behind it.

#include <gtest/gtest.h>
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/console_policy.h"
#include "common/console_win32.h"
#include "common/win32_handles.h"
#include "device/display_discovery.h"

namespace lptlcd {
namespace {

DWORD BytesWaiting(HANDLE pipe) {
  DWORD available = 0;
  return ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) ? available : 0xFFFFFFFF;
}

TEST(ConsoleTest, TheLongestMessageWaitsWholeForItsFlushAndThenGoesOutAtOnce) {
  UniqueFileHandle reader, writer;
  ASSERT_TRUE(::CreatePipe(reader.Put(), writer.Put(), nullptr, 65536));
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(writer.Get()), _O_WRONLY | _O_BINARY);
  ASSERT_NE(descriptor, -1);
  writer.Release();  // the descriptor's now, closed with the stream
  std::FILE* stream = ::_fdopen(descriptor, "wb");
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(BufferWholeMessages(stream));

  // "Attempting to open" with the longest device path the search accepts.
  const std::string message = "Attempting to open " + std::string(kMaxInterfacePathLength, 'x') + "\n";
  ASSERT_LT(message.size(), kMessageBufferBytes);
  std::fputs(message.c_str(), stream);
  EXPECT_EQ(BytesWaiting(reader.Get()), 0u) << "written before its flush, so in pieces";
  std::fflush(stream);
  EXPECT_EQ(BytesWaiting(reader.Get()), message.size());
  std::fclose(stream);
}

// Stands in for Windows' default handler, which would end this process:
// installed before lptlcd's, so called after it, it notes the mode lptlcd
// left and keeps the test running.
HANDLE g_handled = nullptr;
DWORD g_modeAfterLptlcdsHandler = 0;
BOOL WINAPI NoteModeAndCarryOn(DWORD) {
  ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &g_modeAfterLptlcdsHandler);
  ::SetEvent(g_handled);
  return TRUE;
}

TEST(ConsoleTest, CtrlCGivesTheConsoleBackTheModeLptlcdFound) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD original = 0;
  ASSERT_TRUE(::GetConsoleMode(input, &original)) << "no console: run this test under a terminal";
  const DWORD withQuickEdit = original | kEnableQuickEditMode | kEnableExtendedFlags;
  ASSERT_TRUE(::SetConsoleMode(input, withQuickEdit));
  UniqueKernelHandle handled(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  g_handled = handled.Get();
  ASSERT_TRUE(::SetConsoleCtrlHandler(&NoteModeAndCarryOn, TRUE));

  TurnOffQuickEdit();
  DWORD running = 0;
  ASSERT_TRUE(::GetConsoleMode(input, &running));
  EXPECT_EQ(running, WithoutQuickEdit(withQuickEdit));

  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  ASSERT_EQ(::WaitForSingleObject(handled.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(g_modeAfterLptlcdsHandler, withQuickEdit);
  ::SetConsoleMode(input, original);
}

}  // namespace
}  // namespace lptlcd
