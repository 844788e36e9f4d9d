#include "common/console_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/console_policy.h"

namespace lptlcd {

namespace {

// Standard input, when it is a console's keyboard (not a file or a pipe).
HANDLE ConsoleInput(DWORD& mode) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) {
    return nullptr;
  }
  return input;
}

std::uint32_t ProcessesOnConsole() {
  DWORD processes[2] = {};
  return ::GetConsoleProcessList(processes, 2);
}

// Waits for a key to go down, for at most timeoutMs.
void WaitForKey(HANDLE input, DWORD timeoutMs) {
  ::FlushConsoleInputBuffer(input);
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= timeoutMs || ::WaitForSingleObject(input, timeoutMs - elapsed) != WAIT_OBJECT_0) {
      return;
    }
    INPUT_RECORD record;
    DWORD read = 0;
    if (!::ReadConsoleInputA(input, &record, 1, &read)) return;
    if (read == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

}  // namespace

void TurnOffQuickEdit() {
  DWORD mode = 0;
  if (const HANDLE input = ConsoleInput(mode)) ::SetConsoleMode(input, WithoutQuickEdit(mode));
}

void FatalExit(const char* message) {
  std::fputs(message, stdout);
  std::fflush(stdout);
  DWORD mode = 0;
  const HANDLE input = ConsoleInput(mode);
  if (ShouldWaitForKeyBeforeClosing(ProcessesOnConsole(), input != nullptr)) {
    std::fputs(kPressAKeyMessage, stdout);
    std::fflush(stdout);
    WaitForKey(input, kCloseWaitMs);
  }
  std::exit(1);
}

}  // namespace lptlcd
