#include "tools/producer/lcd_waveform.h"

#include <utility>

namespace lptlcd {

namespace {
// A line the module does not have, which some wiring uses for the backlight.
constexpr std::uint8_t kBacklightBit = 0x02;
}  // namespace

bool ParseWaveform(std::string_view name, Waveform& waveform) {
  if (name == "normal") {
    waveform = Waveform::kNormal;
    return true;
  }
  if (name == "inverted") {
    waveform = Waveform::kInverted;
    return true;
  }
  return false;
}

void LcdRecordWriter::Byte(bool isData, std::uint8_t value) {
  const std::uint8_t rs = isData ? kControlRegisterSelect : 0;
  if (waveform == Waveform::kNormal) {
    records.push_back(MakeRecord(kDataRegisterSelector, value));
    records.push_back(MakeRecord(kControlRegisterSelector, rs));
    records.push_back(MakeRecord(kControlRegisterSelector, static_cast<std::uint8_t>(rs | kControlEnable)));
    lastByteEdge = records.size();
    records.push_back(MakeRecord(kControlRegisterSelector, rs));
    return;
  }
  const auto atRest = static_cast<std::uint8_t>(kBacklightBit | kControlEnable | rs);
  // Register select settles while the enable line is idle. Before the first
  // byte no rest value has been written, and writing one then would be a
  // rising edge of bit 0 for a decoder that starts with the strobe low: a
  // phantom cycle. The first pulse's low write sets register select instead.
  if (restKnown && atRest != rest) {
    records.push_back(MakeRecord(kControlRegisterSelector, atRest));
  }
  records.push_back(MakeRecord(kDataRegisterSelector, value));
  records.push_back(MakeRecord(kControlRegisterSelector, static_cast<std::uint8_t>(atRest & ~kControlEnable)));
  records.push_back(MakeRecord(kControlRegisterSelector, atRest));
  lastByteEdge = records.size();
  restKnown = true;
  rest = atRest;
}

void LcdRecordWriter::Nibbles(bool isData, std::uint8_t value) {
  Byte(isData, static_cast<std::uint8_t>(value & 0xF0));
  Byte(isData, static_cast<std::uint8_t>(value << 4));
}

void LcdRecordWriter::Init() {
  // Three to bring the bus to 8 bits from whatever state it was in (from the
  // middle of a 4-bit byte they end as 0x33, one line), then the set-up's own.
  for (int i = 0; i < 4; ++i) Instruction(hd44780::kFunctionSet8Bit2Lines);
  Instruction(hd44780::kDisplayOnCursorOff);
  Instruction(hd44780::kEntryModeIncrement);
  Instruction(hd44780::kClearDisplay);
}

bool LcdRecordWriter::MoveTo(unsigned line, unsigned column) {
  if (line >= hd44780::kLines || column >= hd44780::kTwoLineLength) return false;
  const unsigned address = (line == 1 ? hd44780::kLine1Offset : 0u) + column;
  Instruction(static_cast<std::uint8_t>(hd44780::kSetDdramAddress | address));
  return true;
}

void LcdRecordWriter::Text(std::string_view text) {
  for (char c : text) Data(static_cast<std::uint8_t>(c));
}

bool LcdRecordWriter::TextAt(unsigned line, std::string_view text) {
  if (!MoveTo(line, 0)) return false;
  Text(text);
  return true;
}

bool LcdRecordWriter::DefineChar(unsigned code, const std::uint8_t (&rows)[hd44780::kGlyphRows]) {
  if (code >= hd44780::kCustomChars) return false;
  Instruction(static_cast<std::uint8_t>(hd44780::kSetCgramAddress | (code * hd44780::kGlyphRows)));
  for (std::uint8_t row : rows) Data(row);
  return true;
}

std::vector<PortWriteRecord> LcdRecordWriter::TakeRecords() {
  lastByteEdge = 0;
  return std::exchange(records, {});
}

}  // namespace lptlcd
