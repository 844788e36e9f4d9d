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

// The console's input mode as the program found it, kept for the control
// handler to give back; set before the handler is installed.
HANDLE g_inputFound = nullptr;
DWORD g_modeFound = 0;

// Unreported if it fails: the process is on its way out, and a control
// handler that printed could block on a frozen console.
void GiveConsoleModeBack() {
  if (g_inputFound != nullptr) ::SetConsoleMode(g_inputFound, g_modeFound);
}

// Called on a thread of its own when the user presses Ctrl+C or Ctrl+Break
// or closes the window (or logs off, or Windows shuts down): the command
// prompt lptlcd ran in gets its QuickEdit back. FALSE lets the next handler,
// in the end Windows' default one, end the process as it always did.
BOOL WINAPI GiveConsoleModeBackOnStop(DWORD) {
  GiveConsoleModeBack();
  return FALSE;
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

bool BufferWholeMessages(std::FILE* stream) {
  return std::setvbuf(stream, nullptr, _IOFBF, kMessageBufferBytes) == 0;
}

void SayOnStandardOutput(const char* message) {
  std::fputs(message, stdout);
  std::fflush(stdout);
}

void TurnOffQuickEdit() {
  DWORD mode = 0;
  const HANDLE input = ConsoleInput(mode);
  if (input == nullptr) return;
  g_inputFound = input;
  g_modeFound = mode;
  if (!::SetConsoleCtrlHandler(&GiveConsoleModeBackOnStop, TRUE)) {
    std::printf("Could not watch for Ctrl+C to give the console its mode back (error %lu)\n",
                static_cast<unsigned long>(::GetLastError()));
    std::fflush(stdout);
  }
  if (!::SetConsoleMode(input, WithoutQuickEdit(mode))) {
    std::printf("Could not turn the console's QuickEdit mode off (error %lu)\n",
                static_cast<unsigned long>(::GetLastError()));
    std::fflush(stdout);
  }
}

void KeepWindowOpenToRead() {
  DWORD mode = 0;
  const HANDLE input = ConsoleInput(mode);
  if (ShouldWaitForKeyBeforeClosing(ProcessesOnConsole(), input != nullptr)) {
    SayOnStandardOutput(kPressAKeyMessage);
    WaitForKey(input, kCloseWaitMs);
  }
}

void FatalExit(const char* message) {
  SayOnStandardOutput(message);
  KeepWindowOpenToRead();
  GiveConsoleModeBack();
  std::exit(1);
}

}  // namespace lptlcd
