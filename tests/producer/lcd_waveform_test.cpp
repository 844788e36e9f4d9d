#include "tools/producer/lcd_waveform.h"

#include <gtest/gtest.h>

#include "decoded.h"

namespace lptlcd {
namespace {

using test::Decode;
using Records = std::vector<PortWriteRecord>;
using Commands = std::vector<LcdCommand>;

TEST(LcdRecordWriter, NormalWaveformOfOneDataByte) {
  LcdRecordWriter w(Waveform::kNormal);
  w.Data(0x41);
  EXPECT_EQ(w.Records(), (Records{0x7841, 0x7A04, 0x7A05, 0x7A04}));
  EXPECT_EQ(Decode(w.Records()), (Commands{0x141}));
}

TEST(LcdRecordWriter, InvertedWaveformPulsesBitZeroLowAroundEachByte) {
  LcdRecordWriter w(Waveform::kInverted);
  w.Instruction(0x38);
  w.Data(0x48);
  w.Data(0x49);
  w.Instruction(0xC0);
  EXPECT_EQ(w.Records(), (Records{
                             0x7838, 0x7A02, 0x7A03,          // no rest write before the first pulse
                             0x7A07, 0x7848, 0x7A06, 0x7A07,  // register select set up at rest
                             0x7849, 0x7A06, 0x7A07,          // same register select: no setup
                             0x7A03, 0x78C0, 0x7A02, 0x7A03,
                         }));
  EXPECT_EQ(Decode(w.Records()), (Commands{0x038, 0x148, 0x149, 0x0C0}));
}

TEST(LcdRecordWriter, InitSequenceThroughTheDecoder) {
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    LcdRecordWriter w(waveform);
    w.Init();
    EXPECT_EQ(Decode(w.Records()), (Commands{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01}));
  }
}

TEST(LcdRecordWriter, NibblesAreTwoPulsesHighNibbleFirstOnTheTopFourBits) {
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    LcdRecordWriter w(waveform);
    w.Nibbles(false, 0x28);
    w.Nibbles(true, 0x4A);
    EXPECT_EQ(Decode(w.Records()), (Commands{0x020, 0x080, 0x140, 0x1A0}));
  }
}

TEST(LcdRecordWriter, TextAtLineAddresses) {
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    LcdRecordWriter w(waveform);
    EXPECT_TRUE(w.TextAt(0, "Hi"));
    EXPECT_TRUE(w.TextAt(1, "Yo"));
    EXPECT_EQ(Decode(w.Records()), (Commands{0x080, 0x148, 0x169, 0x0C0, 0x159, 0x16F}));
  }
}

TEST(LcdRecordWriter, MoveToRejectsPositionsOffTheModule) {
  LcdRecordWriter w;
  EXPECT_TRUE(w.MoveTo(1, 39));
  EXPECT_FALSE(w.MoveTo(2, 0));
  EXPECT_FALSE(w.MoveTo(0, 40));
  EXPECT_FALSE(w.TextAt(2, "x"));
  EXPECT_EQ(Decode(w.Records()), (Commands{0x0E7}));
}

TEST(LcdRecordWriter, DefineCharSetsCgramAddressThenEightRows) {
  for (Waveform waveform : {Waveform::kNormal, Waveform::kInverted}) {
    LcdRecordWriter w(waveform);
    const std::uint8_t rows[8] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F, 0x00};
    EXPECT_TRUE(w.DefineChar(3, rows));
    EXPECT_FALSE(w.DefineChar(8, rows));
    EXPECT_EQ(Decode(w.Records()),
              (Commands{0x058, 0x11F, 0x111, 0x111, 0x111, 0x111, 0x111, 0x11F, 0x100}));
  }
}

TEST(LcdRecordWriter, TakeRecordsKeepsTheWaveformState) {
  // The inverted waveform remembers the rest value across hand-overs, so the
  // second part must still set register select up before its pulse.
  LcdRecordWriter w(Waveform::kInverted);
  w.Instruction(0x80);
  Records first = w.TakeRecords();
  EXPECT_TRUE(w.Records().empty());
  w.Data(0x41);
  Records second = w.TakeRecords();
  EXPECT_EQ(second, (Records{0x7A07, 0x7841, 0x7A06, 0x7A07}));
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(Decode(first), (Commands{0x080, 0x141}));
}

TEST(ParseWaveform, KnownNamesOnly) {
  Waveform w = Waveform::kNormal;
  EXPECT_TRUE(ParseWaveform("inverted", w));
  EXPECT_EQ(w, Waveform::kInverted);
  EXPECT_TRUE(ParseWaveform("normal", w));
  EXPECT_EQ(w, Waveform::kNormal);
  EXPECT_FALSE(ParseWaveform("Normal", w));
  EXPECT_FALSE(ParseWaveform("", w));
}

}  // namespace
}  // namespace lptlcd
