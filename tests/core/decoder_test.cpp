#include <gtest/gtest.h>

#include <vector>

#include "capture/port_write_decoder.h"

namespace lptlcd {
namespace {

std::vector<LcdCommand> DecodeAll(std::initializer_list<PortWriteRecord> records) {
  std::vector<LcdCommand> out;
  PortWriteDecoder decoder([&out](LcdCommand command) { out.push_back(command); });
  for (PortWriteRecord record : records) decoder.Decode(record);
  return out;
}

using Commands = std::vector<LcdCommand>;

TEST(Decoder, CharacterOnEnablePulseWithRegisterSelect) {
  EXPECT_EQ(DecodeAll({0x7841, 0x7A04, 0x7A05, 0x7A04}), Commands{0x141});
}

TEST(Decoder, InstructionOnEnablePulseWithoutRegisterSelect) {
  EXPECT_EQ(DecodeAll({0x7801, 0x7A00, 0x7A01, 0x7A00}), Commands{0x001});
}

TEST(Decoder, EnableHeldHighEmitsOnceWithTheRaisingWritesRegisterSelect) {
  // 0x05 would say "data", but the edge was raised by 0x01 (instruction).
  EXPECT_EQ(DecodeAll({0x7833, 0x7A01, 0x7A05}), Commands{0x033});
}

TEST(Decoder, DataWrittenWhileEnableHighIsCarriedByTheNextEdge) {
  EXPECT_EQ(DecodeAll({0x7841, 0x7A05, 0x7842, 0x7A04, 0x7A05}), (Commands{0x141, 0x142}));
}

TEST(Decoder, OtherSelectorsEmitNothingAndChangeNoState) {
  // Between a data write and the edge, writes to other ports must not disturb
  // the latch or the strobe; 0x7905 would look like a rising edge if the
  // selector were ignored.
  EXPECT_EQ(DecodeAll({0x7841, 0x7905, 0x7BFF, 0x00FF, 0x7A04, 0x7A05}), Commands{0x141});
  EXPECT_TRUE(DecodeAll({0x7905, 0x7B01, 0x0001, 0x7C05}).empty());
}

TEST(Decoder, FirstControlWriteWithEnableSetEmitsTheInitialLatch) {
  EXPECT_EQ(DecodeAll({0x7A01}), Commands{0x000});
  EXPECT_EQ(DecodeAll({0x7A05}), Commands{0x100});
}

TEST(Decoder, ControlBitsOtherThanEnableAndRegisterSelectAreIgnored) {
  // Only bit 0 (enable) and bit 2 (register select) count: 0xFA and 0xFE are
  // enable low, 0xFF is enable high with data, 0xFB enable high without.
  EXPECT_EQ(DecodeAll({0x7855, 0x7AFA, 0x7AFF, 0x7AFE, 0x7AFB}), (Commands{0x155, 0x055}));
}

TEST(Decoder, ResetStrobeMakesTheNextHighWriteAnEdge) {
  std::vector<LcdCommand> out;
  PortWriteDecoder decoder([&out](LcdCommand command) { out.push_back(command); });
  decoder.Decode(0x7848);
  decoder.Decode(0x7A05);
  decoder.ResetStrobe();
  decoder.Decode(0x7A05);
  EXPECT_EQ(out, (Commands{0x148, 0x148}));
}

// The waveforms that driving software really uses, all through the same rule.
TEST(DecoderWaveforms, EnableRaisedAndLoweredAroundEachByte) {
  EXPECT_EQ(DecodeAll({0x7838, 0x7A00, 0x7A01, 0x7A00, 0x7848, 0x7A04, 0x7A05, 0x7A04}),
            (Commands{0x038, 0x148}));
}

TEST(DecoderWaveforms, EnableHighAtRestPulsedLow) {
  // Control rests at 0x03/0x07 (enable and backlight high); each byte is put on
  // the data lines, then enable is pulsed low and back: the rising edge that
  // ends the pulse carries the byte.
  EXPECT_EQ(DecodeAll({0x7A03, 0x7838, 0x7A02, 0x7A03, 0x7A07, 0x7848, 0x7A06, 0x7A07}),
            (Commands{0x000, 0x038, 0x148}));
}

TEST(DecoderWaveforms, DataChangedWhileEnableLow) {
  EXPECT_EQ(DecodeAll({0x7A04, 0x7841, 0x7842, 0x7A05, 0x7A04, 0x7843, 0x7A05}),
            (Commands{0x142, 0x143}));
}

}  // namespace
}  // namespace lptlcd
