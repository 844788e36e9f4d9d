// The controller (emulator/chip/) against the tests' model of the HD44780
// (tests/oracle/): two models written apart from the datasheet must agree,
// cycle by cycle, on every session, about DDRAM, CGRAM, the address counter,
// the modes, the bus and which address every cell of every module's glass
// shows. Sessions of random instructions and data on both buses; compared
// until the address counter reaches an address the chip lacks, where the
// datasheet says nothing.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "emulator/chip/hd44780_controller.h"
#include "tests/oracle/chip_oracle.h"

namespace lptlcd {
namespace {

class BothChips {
 public:
  // One enable pulse: register select and the byte on DB7-DB0.
  void Cycle(bool data, std::uint8_t bus) {
    oracle.Write(data, bus);
    auto byte = static_cast<LcdCommand>((data ? kRegisterSelectData : 0) | bus);
    if (!controller.EightBitBus()) byte = controller.CompleteNibbles(byte);
    if (byte == Hd44780Controller::kNoByte) return;
    const auto value = static_cast<std::uint8_t>(byte & 0xFF);
    const ControllerChange change = (byte & kRegisterSelectData) ? controller.WriteData(value)
                                                                  : controller.Instruction(value);
    EXPECT_EQ(change.kind == ControllerChange::kNoInstruction, !(byte & kRegisterSelectData) && value == 0);
  }

  // A whole byte as the software sends it on the bus in use.
  void Byte(bool data, std::uint8_t value) {
    if (oracle.Chip().EightBitBus()) {
      Cycle(data, value);
      return;
    }
    Cycle(data, static_cast<std::uint8_t>(value & 0xF0));
    Cycle(data, static_cast<std::uint8_t>(value << 4));
  }

  // Until the address counter reaches a DDRAM address the chip lacks.
  bool Comparable() const {
    return controller.AddressesCgram() || controller.DdramAddressExists(controller.AddressCounter());
  }

  // Empty while the two agree; otherwise the first thing they differ on.
  std::string Difference() const {
    const test::Hd44780Chip& chip = oracle.Chip();
    const auto differ = [](const std::string& what, int want, int got) {
      return what + ": the model says " + std::to_string(want) + ", the controller " + std::to_string(got);
    };
    for (int address = 0; address < 0x80; ++address) {
      if (!chip.DdramAddressExists(static_cast<std::uint8_t>(address))) continue;
      const int want = chip.Ddram(static_cast<std::uint8_t>(address));
      const int got = controller.Ddram(static_cast<std::uint8_t>(address));
      if (want != got) return differ("DDRAM " + std::to_string(address), want, got);
    }
    for (std::uint8_t code = 0; code < 8; ++code) {
      for (int row = 0; row < 8; ++row) {
        const int want = chip.CustomRows(code)[static_cast<std::size_t>(row)];
        const int got = controller.CharacterRows(code)[row] & 0x1F;
        if (want != got) return differ("CGRAM character " + std::to_string(code), want, got);
      }
    }
    const struct {
      const char* what;
      int want, got;
    } modes[] = {
        {"address counter", chip.AddressCounter(), controller.AddressCounter()},
        {"CGRAM addressed", chip.AddressesCgram(), controller.AddressesCgram()},
        {"increments", chip.Increments(), controller.Increments()},
        {"shifts on write", chip.ShiftsOnWrite(), controller.ShiftsOnWrite()},
        {"display on", chip.DisplayOn(), controller.DisplayOn()},
        {"two lines", chip.TwoLines(), controller.TwoLines()},
        {"display shift", chip.DisplayShift(), controller.DisplayShift()},
    };
    for (const auto& mode : modes) {
      if (mode.want != mode.got) return differ(mode.what, mode.want, mode.got);
    }
    for (const ModuleSize module : kSupportedModules) {
      for (int line = 0; line < module.lines; ++line) {
        for (int column = 0; column < module.columns; ++column) {
          const std::optional<std::uint8_t> want = chip.ShownAddress(module, column, line);
          const int got = controller.ShownAddress(module, line, column);
          if ((want ? *want : kNoAddress) != got) {
            return differ(std::to_string(module.columns) + "x" + std::to_string(module.lines) + " line " +
                              std::to_string(line) + " column " + std::to_string(column),
                          want ? *want : kNoAddress, got);
          }
        }
      }
    }
    return "";
  }

 private:
  test::ChipOracle oracle;
  Hd44780Controller controller;
};

TEST(Controller, AgreesWithTheDatasheetModelOnEverySession) {
  constexpr std::uint8_t kModes[] = {0x18, 0x1C, 0x10, 0x14, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x0C, 0x30, 0x38, 0x20, 0x28, 0x00, 0x02, 0x03};
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 engine(seed);
    const auto random = [&engine](unsigned below) { return static_cast<unsigned>(engine() % below); };
    BothChips chips;
    // As lptlcd finds a module that software has set up, which is how it starts.
    chips.Byte(false, 0x38);
    chips.Byte(false, 0x0C);
    for (int step = 0; step < 300 && chips.Comparable(); ++step) {
      const unsigned pick = random(20);
      if (pick < 9) {
        chips.Byte(true, static_cast<std::uint8_t>(random(3) == 0 ? random(16) : 0x20 + random(95)));
      } else if (pick < 12) {
        chips.Byte(false, static_cast<std::uint8_t>(0x80 | random(2) * 0x40 | random(40)));
      } else if (pick < 14) {
        chips.Byte(false, static_cast<std::uint8_t>(0x40 | random(64)));
      } else if (pick == 14) {
        chips.Byte(false, 0x01);
      } else if (pick == 15) {
        // The initialisation by instruction, from whatever state the bus is in.
        for (int i = 0; i < 3; ++i) chips.Cycle(false, 0x30);
      } else if (pick == 16) {
        chips.Cycle(false, static_cast<std::uint8_t>(random(256)));  // a lone cycle
      } else {
        chips.Byte(false, kModes[random(sizeof kModes)]);
      }
      if (!chips.Comparable()) break;
      const std::string difference = chips.Difference();
      ASSERT_EQ(difference, "") << "after step " << step;
    }
  }
}

}  // namespace
}  // namespace lptlcd
