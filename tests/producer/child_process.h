#pragma once
// Runs a program to completion with its output captured, for tests that
// check what a tool prints and how it exits.

#include <cstdint>
#include <string>

namespace lptlcd::test {

struct ChildResult {
  bool started = false;
  bool finished = false;  // false: killed after the time-out
  std::uint32_t exitCode = 0;
  std::string out;
  std::string err;
};

// `commandLine` as for CreateProcess; the program is looked up beside the
// test first. Standard input is empty unless `input` is given. Output comes
// back with CRLF turned into LF.
ChildResult RunChild(const std::string& commandLine, const std::string& input = {},
                     std::uint32_t timeoutMs = 90000);

// A file in the temporary folder holding `content`; its full path.
std::string WriteTempFile(const std::string& name, const std::string& content);

}  // namespace lptlcd::test
