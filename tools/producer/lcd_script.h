#pragma once
// A small script language for driving the module by hand or from tests. One
// command per line; blank lines and lines starting with '#' are skipped.
//   init                    0x38 0x38 0x38 0x0C 0x06 0x01
//   text L TEXT             TEXT at the start of line L (0 or 1); TEXT is the
//                           rest of the line after one blank, spaces included
//   write TEXT              TEXT at the current address
//   at L C                  move to line L, column C (decimal, 0-39)
//   char N R0 ... R7        define custom character N (0-7), rows in hex
//   home | clear            Return Home | Clear Display
//   instr HH | data HH      one instruction | data byte, in hex
//   pause MS                deliver what came before, then wait MS ms (0-60000)
//   wait-drained            deliver what came before, then wait until the
//                           program has consumed every pending record
// Consecutive commands that write are merged into one batch of records.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "common/lcd_types.h"
#include "tools/producer/lcd_waveform.h"

namespace lptlcd {

struct ScriptStep {
  enum class Kind { kRecords, kPause, kWaitDrained };
  Kind kind = Kind::kRecords;
  std::vector<PortWriteRecord> records;  // kRecords
  std::uint32_t pauseMs = 0;             // kPause
};

constexpr std::uint32_t kMaxScriptPauseMs = 60000;

// Parses the whole script. On the first bad line returns false with `error`
// set to one line naming it, e.g. "line 4: unknown command \"txet\"", and
// `steps` holding nothing usable.
bool ParseLcdScript(std::istream& in, Waveform waveform, std::vector<ScriptStep>& steps,
                    std::string& error);

}  // namespace lptlcd
