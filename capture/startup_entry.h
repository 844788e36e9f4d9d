#pragma once
// Starting lptlcd with Windows: a shortcut in the user's Startup folder,
// "lptlcd.lnk", that starts this very lptlcd.exe minimised, with the module
// given and --wait. A shortcut (rather than a Run key) because it can start
// the console minimised without a window flashing up first, needs no
// administrator rights, works the same from XP to 11, and sits where users
// look for such things: the Startup folder, which Task Manager's Startup tab
// lists from Windows 8 on.
//
// Each prints one line on standard output saying what it did and where, or
// one line on standard error naming what failed and Windows' error, and
// returns the program's exit status (0 or 1). Neither touches the ring, a
// running copy or the display.

#include "capture/command_line.h"

namespace lptlcd {

constexpr char kStartupShortcutName[] = "lptlcd.lnk";

// Makes the shortcut, replacing one that is there: written under another
// name first and then moved over it, so that a failure leaves the old entry
// (or none) and never half a shortcut.
int InstallStartupEntry(const CommandLine& line);

// Removes the shortcut; says so, and succeeds, when there was none.
int UninstallStartupEntry();

}  // namespace lptlcd
