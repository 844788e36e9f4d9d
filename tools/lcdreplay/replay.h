#pragma once
// Runs a record stream through the decoder and the emulator and prints the
// packets the display would receive, exactly as the program would send them.

#include <cstdio>
#include <istream>
#include <string>

namespace lptlcd {

// Reads records in the record-file form from `in` (named `sourceName` in
// errors), writes one packet line each to `packets` and the emulator's
// messages and any error to `messages`. Returns the exit status: 0, or 2 for
// bad input (nothing is printed for what follows the bad token).
int ReplayRecords(std::istream& in, const std::string& sourceName, std::FILE* packets,
                  std::FILE* messages);

}  // namespace lptlcd
