#include "e2e_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "capture/port_write_decoder.h"
#include "common/win32_handles.h"
#include "ring/port_write_ring.h"
#include "tools/producer/flood_pattern.h"

namespace lptlcd::test {

namespace {
const char kStartPackets[2][24] = {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00"};
}  // namespace

std::string Quoted(const std::string& path) { return "\"" + WindowsPath(path) + "\""; }

Simulator::Simulator(const std::string& name) : SimulatorProcess(LCDSIM_EXE, "e2e_" + name) {}

bool Program::Start(const std::string& arguments) {
  return process.Start(Quoted(LPTLCD_EXE) + (arguments.empty() ? "" : " " + arguments));
}

void StartDisplayAndProgram(Simulator& sim, Program& program, const std::string& arguments) {
  ASSERT_TRUE(sim.Start()) << sim.Output();
  ASSERT_TRUE(program.Start(arguments));
  ASSERT_TRUE(sim.WaitForPacketCount(2)) << program.Output();
  const std::vector<std::string> packets = sim.Packets();
  ASSERT_EQ(packets[0], kStartPackets[0]);
  ASSERT_EQ(packets[1], kStartPackets[1]);
}

ChildResult Feed(const std::string& arguments) {
  return RunChild(Quoted(LCDFEED_EXE) + " " + arguments, {}, kFloodBoundMs);
}

void FeedPart(Simulator& sim, const std::string& name, const std::string& script) {
  const std::string file = sim.File(name + ".script");
  { std::ofstream(file, std::ios::binary) << script; }
  const ChildResult feed = Feed("--script " + Quoted(file) + " --wait-drained --give-up 10000");
  ASSERT_EQ(feed.exitCode, 0u) << feed.out << feed.err;
}

std::vector<std::string> SettledPixels(Simulator& sim) {
  std::size_t seen = 0;
  WaitFor([&] {
    const std::size_t now = sim.Packets().size();
    const bool still = now == seen;
    seen = now;
    ::Sleep(300);
    return still && sim.Pixels().size() == 32;
  }, kGenerousMs);
  return sim.Pixels();
}

std::string Screen(const std::string& line0, const std::string& line1, const std::string& line2,
                   const std::string& line3) {
  std::string text;
  for (const std::string* line : {&line0, &line1, &line2, &line3}) {
    text += *line + std::string(20 - line->size(), ' ') + "\n";
  }
  return text;
}

std::string DataBytesOf(const std::vector<PortWriteRecord>& records) {
  std::string bytes;
  PortWriteDecoder decoder([&bytes](LcdCommand command) {
    if (command & kRegisterSelectData) bytes += static_cast<char>(command & 0xFF);
  });
  for (PortWriteRecord record : records) decoder.Decode(record);
  return bytes;
}

std::string TextCarriedBy(const std::vector<std::string>& packets) {
  std::string text;
  for (const std::string& line : packets) {
    unsigned bytes[8] = {};
    if (std::sscanf(line.c_str(), "%x %x %x %x %x %x %x %x", &bytes[0], &bytes[1], &bytes[2],
                    &bytes[3], &bytes[4], &bytes[5], &bytes[6], &bytes[7]) != 8 ||
        bytes[0] != 0x02) {
      continue;
    }
    for (unsigned i = 0; i < bytes[1] && i < 6; ++i) text += static_cast<char>(bytes[2 + i]);
  }
  return text;
}

std::string FloodText(std::size_t records) {
  FloodPattern pattern(Waveform::kNormal);
  std::vector<PortWriteRecord> flood;
  pattern.Next(records, flood);
  return DataBytesOf(flood);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

int PendingInRing() {
  UniqueKernelHandle section(::OpenFileMappingA(FILE_MAP_READ, FALSE, kRingSectionName));
  if (!section) return -1;
  const UniqueMappedView<PortWriteRing> view = MapView<PortWriteRing>(section.Get(), FILE_MAP_READ);
  return view ? view->count : -1;
}

}  // namespace lptlcd::test
