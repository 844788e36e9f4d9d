#pragma once
// The program's console: whole messages, QuickEdit off, and fatal messages
// that a person started from Explorer gets to read.

#include <cstddef>
#include <cstdio>

namespace lptlcd {

// Room for the longest message the program prints, with plenty to spare.
constexpr std::size_t kMessageBufferBytes = 4096;

// Lets each message reach the stream in one write (not one WriteFile a byte,
// as unbuffered output does: slow on XP's console, and torn for a reader of
// a pipe): a full buffer of kMessageBufferBytes, which every print site
// empties with fflush right after its message, since the program ends by
// being terminated. (msvcrt takes _IOLBF for full buffering: there is no
// line buffering to be had.) False when the stream refuses the buffer.
bool BufferWholeMessages(std::FILE* stream);

// Prints one message on standard output and flushes it.
void SayOnStandardOutput(const char* message);

// Turns QuickEdit off when standard input is a console, and has the mode it
// found given back when the program is stopped with Ctrl+C or Ctrl+Break or
// its window is closed (a console control handler that then lets Windows'
// default one end the process), and by FatalExit.
void TurnOffQuickEdit();

// Waits for a key when ShouldWaitForKeyBeforeClosing says so (at most
// kCloseWaitMs): what was just printed stays readable in a window that
// closes with the program.
void KeepWindowOpenToRead();

// Prints the message (flushed), waits for a key when ShouldWaitForKeyBeforeClosing
// says so (at most kCloseWaitMs), gives the console its mode back and ends
// the process with status 1.
[[noreturn]] void FatalExit(const char* message);

}  // namespace lptlcd
