#pragma once
// Decisions about the program's console window, kept apart from the calls
// that carry them out so that they can be tested anywhere.

#include <cstdint>

namespace lptlcd {

// How long a fatal message waits for a key before the window closes anyway.
constexpr std::uint32_t kCloseWaitMs = 60000;
constexpr char kPressAKeyMessage[] = "Press any key to close this window.\n";

// A fatal message waits for a key only when the program is alone on its
// console (started from Explorer, whose console window closes the moment
// the program ends) and its input is that console's keyboard: never when
// input is redirected or another program (a command prompt) shares the
// console and keeps the message on the screen.
constexpr bool ShouldWaitForKeyBeforeClosing(std::uint32_t processesOnConsole, bool inputIsConsole) {
  return processesOnConsole == 1 && inputIsConsole;
}

// The console's input mode without QuickEdit, which would stop whichever
// thread prints next while the user selects text with the mouse. Extended
// flags must be on for the change to take; nothing else changes.
constexpr std::uint32_t kEnableQuickEditMode = 0x0040;
constexpr std::uint32_t kEnableExtendedFlags = 0x0080;
constexpr std::uint32_t WithoutQuickEdit(std::uint32_t mode) {
  return (mode | kEnableExtendedFlags) & ~kEnableQuickEditMode;
}

}  // namespace lptlcd
