#include "tools/lcdsim/packet_log.h"

#include <cstddef>

#include "tools/packets/packet_text.h"

namespace lptlcd::sim {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bad input is quoted back in the error; keep it short and printable.
std::string Quote(std::string_view token) {
  std::string quoted = "'";
  for (std::size_t i = 0; i < token.size() && i < 16; ++i) {
    const char c = token[i];
    quoted += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  if (token.size() > 16) quoted += "...";
  return quoted + "'";
}

}  // namespace

// The same text form as every other tool that shows packets.
std::string FormatPacketLine(const std::uint8_t packet[kPacketSize]) {
  return lptlcd::FormatPacket(packet);
}

ParsedLine ParsePacketLine(std::string_view line) {
  ParsedLine parsed;
  std::size_t pos = 0;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos == line.size() || line[pos] == '#') return parsed;

  int count = 0;
  while (pos < line.size()) {
    std::size_t end = pos;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    const std::string_view token = line.substr(pos, end - pos);
    const int high = token.size() == 2 ? HexDigit(token[0]) : -1;
    const int low = token.size() == 2 ? HexDigit(token[1]) : -1;
    if (high < 0 || low < 0) {
      parsed.kind = ParsedLine::Kind::kBad;
      parsed.error = Quote(token) + " is not a two-digit hex byte";
      return parsed;
    }
    if (count == kPacketSize) {
      parsed.kind = ParsedLine::Kind::kBad;
      parsed.error = "more than 8 bytes";
      return parsed;
    }
    parsed.packet[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(high * 16 + low);
    pos = end;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
  }
  if (count != kPacketSize) {
    parsed.kind = ParsedLine::Kind::kBad;
    parsed.error = "expected 8 bytes, found " + std::to_string(count);
    return parsed;
  }
  parsed.kind = ParsedLine::Kind::kPacket;
  return parsed;
}

PacketLog ReadPacketLog(std::istream& in) {
  PacketLog log;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const ParsedLine parsed = ParsePacketLine(line);
    if (parsed.kind == ParsedLine::Kind::kBad) {
      log.badLine = number;
      log.error = "line " + std::to_string(number) + ": " + parsed.error;
      return log;
    }
    if (parsed.kind == ParsedLine::Kind::kPacket) {
      log.packets.push_back(parsed.packet);
      log.lineNumbers.push_back(number);
    }
  }
  return log;
}

PacketLogWriter::~PacketLogWriter() { Close(); }

bool PacketLogWriter::Open(const std::string& path) {
  Close();
  file = std::fopen(path.c_str(), "wb");
  return file != nullptr;
}

bool PacketLogWriter::Write(const std::uint8_t packet[kPacketSize]) {
  if (file == nullptr) return false;
  const std::string line = FormatPacketLine(packet) + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  return std::fflush(file) == 0 && written;
}

void PacketLogWriter::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
}

}  // namespace lptlcd::sim
