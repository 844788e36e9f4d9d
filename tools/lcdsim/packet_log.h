#pragma once
// Packet logs: one packet a line as eight lower-case two-digit hex bytes with
// single spaces ("02 01 41 00 00 00 00 00"), the format lcdreplay prints, so
// a log from one tool can be replayed by another.

#include <array>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/lcdsim/display_model.h"

namespace lptlcd::sim {

using Packet = std::array<std::uint8_t, kPacketSize>;

// The line for a packet, without the line end.
std::string FormatPacketLine(const std::uint8_t packet[kPacketSize]);

struct ParsedLine {
  enum class Kind { kPacket, kSkipped, kBad };
  Kind kind = Kind::kSkipped;
  Packet packet = {};
  std::string error;  // for Kind::kBad: what is wrong, without the line number
};

// Blank lines and lines whose first non-blank character is '#' are skipped.
// Upper-case hex digits, tabs, runs of blanks and a trailing CR are accepted
// so that hand-edited logs work; anything else is a bad line.
ParsedLine ParsePacketLine(std::string_view line);

struct PacketLog {
  std::vector<Packet> packets;
  std::vector<int> lineNumbers;  // of each packet, counting from 1
  int badLine = 0;               // 0 when every line was good
  std::string error;             // "line N: ..." for the first bad line
};

// Reads up to the first bad line; packets before it are kept.
PacketLog ReadPacketLog(std::istream& in);

// Appends packet lines to a file and flushes each one, so that the log is
// whole up to the last packet even when the writer is killed.
class PacketLogWriter {
 public:
  PacketLogWriter() = default;
  ~PacketLogWriter();
  PacketLogWriter(const PacketLogWriter&) = delete;
  PacketLogWriter& operator=(const PacketLogWriter&) = delete;

  // Creates or truncates the file; false when it cannot be opened. Binary,
  // so that the lines end in LF on every platform, as lcdreplay writes them.
  bool Open(const std::string& path);
  bool IsOpen() const { return file != nullptr; }
  // False when the line could not be written whole.
  bool Write(const std::uint8_t packet[kPacketSize]);
  void Close();

 private:
  std::FILE* file = nullptr;
};

}  // namespace lptlcd::sim
