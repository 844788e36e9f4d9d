#pragma once
// The program's console: QuickEdit off, and fatal messages that a person
// started from Explorer gets to read.

namespace lptlcd {

// Turns QuickEdit off when standard input is a console.
void TurnOffQuickEdit();

// Prints the message (flushed), waits for a key when ShouldWaitForKeyBeforeClosing
// says so (at most kCloseWaitMs), and ends the process with status 1.
[[noreturn]] void FatalExit(const char* message);

}  // namespace lptlcd
