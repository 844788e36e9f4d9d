#include "emulator/character_lcd_emulator.h"

namespace lptlcd {

namespace {
// Set DDRAM Address where a 20x4 has its lines 3 and 4.
constexpr std::uint8_t kTwentyByFourLine3 = 0x94;
constexpr std::uint8_t kTwentyByFourLine4 = 0xD4;
}  // namespace

CharacterLcdEmulator::CharacterLcdEmulator(UsbDisplayDevice* device, std::uint8_t columns, std::uint8_t lines)
    : module(ShownModule(columns, lines)), painter(device, controller, module) {}

// The emulator borrows the device; it sends nothing when it goes.
CharacterLcdEmulator::~CharacterLcdEmulator() = default;

void CharacterLcdEmulator::Execute(LcdCommand command) {
  if (!controller.EightBitBus()) {
    command = controller.CompleteNibbles(command);
    if (command == Hd44780Controller::kNoByte) return;
  }
  const auto value = static_cast<std::uint8_t>(command & 0xFF);
  if (command & kRegisterSelectData) {
    WriteData(value);
  } else {
    WriteInstruction(value);
  }
}

void CharacterLcdEmulator::Flush() { painter.Flush(); }

void CharacterLcdEmulator::WriteData(std::uint8_t data) { painter.Follow(controller.WriteData(data)); }

void CharacterLcdEmulator::WriteInstruction(std::uint8_t instruction) {
  const ControllerChange change = controller.Instruction(instruction);
  painter.Follow(change);
  if (change.kind == ControllerChange::kNoInstruction) {
    std::fprintf(messages, "TODO: unsupported command %02x\n", instruction);
    std::fflush(messages);
  } else if ((instruction == kTwentyByFourLine3 || instruction == kTwentyByFourLine4) &&
             module == kDefaultModule && !hintSaid) {
    hintSaid = true;
    Say(kTwentyByFourHint);
  }
}

void CharacterLcdEmulator::FlushGlyph() { painter.FlushGlyph(); }
void CharacterLcdEmulator::FlushText() { painter.FlushText(); }

void CharacterLcdEmulator::Say(const char* message) {
  std::fputs(message, messages);
  std::fflush(messages);
}

}  // namespace lptlcd
