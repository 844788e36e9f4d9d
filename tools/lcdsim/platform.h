#pragma once
// The little that the portable tools need from the operating system.

#include <string>

namespace lptlcd::sim {

// Renames from over to, replacing to if it exists; false on failure.
bool MoveFileOver(const std::string& from, const std::string& to);

// Lets the terminal show the UTF-8 block characters of the screen view.
void PrepareConsoleForUtf8();

}  // namespace lptlcd::sim
