// Painting from the display's mirror: the exact packets of a repaint and of a
// redraw, and that a display redrawn from it (the virtual display's model
// stands in for it) shows pixel for pixel what one that saw every packet
// shows.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "device/display_mirror.h"
#include "device/usb_display_device.h"
#include "emulator/character_lcd_emulator.h"
#include "emulator/painter/screen_painting.h"
#include "tools/lcdsim/display_model.h"
#include "tools/packets/packet_capture.h"
#include "tools/packets/packet_text.h"

namespace lptlcd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

// The packets sent through a device, so that its mirror sees them.
void ApplyAllTo(UsbDisplayDevice& device, const Bytes& bytes) {
  for (std::size_t at = 0; at + kPacketSize <= bytes.size(); at += kPacketSize) {
    device.SendPacket(bytes[at], bytes[at + 1], &bytes[at + 2], kPacketDataSize);
  }
}

// The redraw of a display that was sent `sent`.
Bytes RedrawOf(const Bytes& sent) {
  PacketCapture capture;
  UsbDisplayDevice device(capture.OpenWriter());
  ApplyAllTo(device, sent);
  capture.TakeBytes();
  RedrawScreen(device);
  return capture.TakeBytes();
}

Bytes Packets(const Lines& lines) {
  Bytes bytes;
  for (const std::string& line : lines) {
    for (std::size_t i = 0; i < line.size(); i += 3) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    }
  }
  return bytes;
}

struct RedrawCase {
  const char* name;
  Lines sent;
  Lines redraw;
};

TEST(ScreenPainting, RedrawSendsTheStartUpPacketsThenWhatShows) {
  const RedrawCase cases[] = {
      {"nothing shown", {}, {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00"}},
      {"glyphs, text in runs of six, the cursor where it stands",
       {"04 00 7f 41 41 41 7f 00", "02 02 48 69 00 00 00 00", "03 1e 00 00 00 00 00 00",
        "02 01 00 00 00 00 00 00", "03 00 01 00 00 00 00 00", "02 0a 30 31 32 33 34 35",
        "02 04 36 37 38 39 00 00", "03 0c 00 00 00 00 00 00"},
       {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "04 00 7f 41 41 41 7f 00",
        "02 02 48 69 00 00 00 00", "03 1e 00 00 00 00 00 00", "02 01 00 00 00 00 00 00",
        "03 00 01 00 00 00 00 00", "02 06 30 31 32 33 34 35", "02 04 36 37 38 39 00 00",
        "03 0c 00 00 00 00 00 00"}},
      // What came before the clear is gone, the custom character stays, and
      // the cursor the clear put top left moved on from there.
      {"a clear", {"04 03 01 02 03 04 05 00", "02 03 41 42 43 00 00 00", "01 02 00 00 00 00 00 00",
                   "02 01 5a 00 00 00 00 00"},
       {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "04 03 01 02 03 04 05 00",
        "02 01 5a 00 00 00 00 00"}},
      // Painted once in an earlier form: a display brought back shows it
      // in the present one, as the chip does.
      {"a custom character redefined after it was painted",
       {"04 01 11 11 11 11 11 00", "02 01 01 00 00 00 00 00", "04 01 22 22 22 22 22 00",
        "02 01 01 00 00 00 00 00"},
       {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "04 01 22 22 22 22 22 00",
        "02 02 01 01 00 00 00 00"}},
      // Painted again at the same place: only the last paint shows; a paint
      // off the cell grid (x = 2) overlaps its neighbours and keeps its turn.
      {"paints over paints",
       {"02 02 41 42 00 00 00 00", "03 02 00 00 00 00 00 00", "02 01 43 00 00 00 00 00",
        "03 00 00 00 00 00 00 00", "02 01 44 00 00 00 00 00", "03 f0 01 00 00 00 00 00"},
       {"01 01 00 00 00 00 00 00", "01 02 00 00 00 00 00 00", "03 06 00 00 00 00 00 00",
        "02 01 42 00 00 00 00 00", "03 02 00 00 00 00 00 00", "02 01 43 00 00 00 00 00",
        "03 00 00 00 00 00 00 00", "02 01 44 00 00 00 00 00", "03 f0 01 00 00 00 00 00"}},
  };
  for (const RedrawCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatPackets(RedrawOf(Packets(c.sent))), c.redraw);
  }
}

// A screen from text rows: '.' a blank cell, a digit 0-7 a custom character.
ScreenCodes ScreenOf(const Lines& rows) {
  ScreenCodes screen = {};
  for (int row = 0; row < kDisplayTextRows; ++row) {
    for (int column = 0; column <= kDisplayTextColumns; ++column) {
      const std::string text = row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)] : "";
      const char ch = column < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(column)] : '.';
      screen.cell[row][column] = ch == '.' ? kBlankCode : ch >= '0' && ch <= '7' ? static_cast<std::uint8_t>(ch - '0')
                                                                              : static_cast<std::uint8_t>(ch);
    }
  }
  return screen;
}

TEST(ScreenPainting, PaintScreenSendsTheCellsThatAreWrongInTheFewestPackets) {
  const struct {
    const char* name;
    Lines sent;
    Lines screen;
    Lines packets;
  } cases[] = {
      {"nothing wrong: nothing sent", {"02 02 41 42 00 00 00 00"}, {"AB"}, {}},
      {"a custom character in an older shape; the cursor left after it",
       {"04 01 11 11 11 11 11 00", "02 02 01 41 00 00 00 00", "04 01 22 22 22 22 22 00"}, {"1A"},
       {"03 00 00 00 00 00 00 00", "02 01 01 00 00 00 00 00"}},
      // 'A' painted off the grid at x = 2 covers parts of cells 0 and 1: it
      // stays where it was drawn. Cell 3, which it does not reach, is painted.
      {"a paint off the grid is not painted over",
       {"02 01 01 00 00 00 00 00", "03 02 00 00 00 00 00 00", "02 01 41 00 00 00 00 00"}, {"1A.x"},
       {"03 12 00 00 00 00 00 00", "02 01 78 00 00 00 00 00"}},
      {"a paint off the grid under a later one on it is painted again",
       {"03 02 00 00 00 00 00 00", "02 01 41 00 00 00 00 00", "03 00 00 00 00 00 00 00", "02 01 42 00 00 00 00 00"},
       {"x"}, {"03 00 00 00 00 00 00 00", "02 01 78 00 00 00 00 00"}},
      {"a cell to blank gets a space", {"02 03 41 42 43 00 00 00"}, {"A.C"},
       {"03 06 00 00 00 00 00 00", "02 01 20 00 00 00 00 00"}},
      {"a right cell between two wrong ones is painted through",
       {"02 03 41 42 43 00 00 00"}, {"xBy"}, {"03 00 00 00 00 00 00 00", "02 03 78 42 79 00 00 00"}},
      {"far apart: two spans, no cursor move where it stands",
       {"02 01 41 00 00 00 00 00", "03 72 00 00 00 00 00 00", "02 01 42 00 00 00 00 00"},
       {"x..................y"}, {"03 00 00 00 00 00 00 00", "02 01 78 00 00 00 00 00",
                                  "03 72 00 00 00 00 00 00", "02 01 79 00 00 00 00 00"}},
      {"a whole row: a move and runs of six, the 21st column too", {},
       {".", "abcdefghijklmnopqrstu"},
       {"03 00 01 00 00 00 00 00", "02 06 61 62 63 64 65 66", "02 06 67 68 69 6a 6b 6c",
        "02 06 6d 6e 6f 70 71 72", "02 03 73 74 75 00 00 00"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PacketCapture capture;
    UsbDisplayDevice device(capture.OpenWriter());
    ApplyAllTo(device, Packets(c.sent));
    capture.TakeBytes();
    EXPECT_EQ(PaintScreen(device, ScreenOf(c.screen)), !c.packets.empty());
    EXPECT_EQ(FormatPackets(capture.TakeBytes()), c.packets);
    // Painted once, the screen is right: a second time sends nothing.
    EXPECT_FALSE(PaintScreen(device, ScreenOf(c.screen)));
  }
}

// A display model fed the packets: its whole screen, and its cursor.
struct Shown {
  std::vector<bool> pixels;
  int cursorX;
  int cursorRow;
};

Shown ShownAfter(const Bytes& bytes) {
  lptlcd::sim::DisplayModel model;
  for (std::size_t at = 0; at + kPacketSize <= bytes.size(); at += kPacketSize) {
    model.ApplyPacket(&bytes[at]);
  }
  Shown shown{{}, model.CursorX(), model.CursorRow()};
  for (int y = 0; y < kDisplayHeight; ++y) {
    for (int x = 0; x < kDisplayWidth; ++x) shown.pixels.push_back(model.Pixel(x, y));
  }
  return shown;
}

TEST(ScreenPainting, ARedrawnDisplayShowsWhatOneThatSawEverythingShows) {
  // Sessions of the emulator's own packets, on every module: random
  // instructions and characters, custom characters redefined while showing,
  // far columns (whose positions wrap off the cell grid), clears and returns
  // home, shifts, entry modes, Display Off and On, one and two lines.
  constexpr std::uint8_t kModes[] = {0x18, 0x1C, 0x10, 0x14, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0C, 0x30, 0x38};
  constexpr unsigned kModules = sizeof kSupportedModules / sizeof kSupportedModules[0];
  for (unsigned seed = 1; seed <= 44; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 engine(seed);
    const auto random = [&engine] { return static_cast<unsigned>(engine()); };
    PacketCapture capture;
    UsbDisplayDevice device(capture.OpenWriter());
    const ModuleSize module = kSupportedModules[seed % kModules];
    CharacterLcdEmulator emulator(&device, module.columns, module.lines);
    emulator.SetMessageStream(std::tmpfile());
    for (int step = 0; step < 400; ++step) {
      const unsigned pick = random() % 22;
      if (pick < 12) {
        emulator.Execute(static_cast<LcdCommand>(0x100 | (random() % 3 == 0 ? random() % 8 : 0x20 + random() % 95)));
      } else if (pick < 15) {
        emulator.Execute(static_cast<LcdCommand>(0x80 | random() % 0x80));
      } else if (pick < 17) {
        emulator.Execute(static_cast<LcdCommand>(0x40 | (random() % 8) * 8));
        for (int row = 0; row < 8; ++row) emulator.Execute(static_cast<LcdCommand>(0x100 | random() % 0x20));
        emulator.Execute(0x80);
      } else if (pick == 17) {
        emulator.Execute(0x01);
      } else if (pick == 18) {
        emulator.Execute(0x02);
      } else if (pick >= 20) {
        emulator.Execute(kModes[random() % sizeof kModes]);
      } else {
        emulator.Flush();
      }
    }
    emulator.Flush();
    const Bytes sent = capture.TakeBytes();
    const Bytes redraw = RedrawOf(sent);
    const Shown expected = ShownAfter(sent);
    const Shown redrawn = ShownAfter(redraw);
    ASSERT_EQ(redrawn.pixels, expected.pixels);
    EXPECT_EQ(redrawn.cursorRow, expected.cursorRow);
    // A cursor run on past what a position packet can name is off the
    // screen either way.
    if (expected.cursorX <= 255) {
      EXPECT_EQ(redrawn.cursorX, expected.cursorX);
    } else {
      EXPECT_GE(redrawn.cursorX, kDisplayWidth);
    }
    // The same mirror again from the redraw: nothing is lost going round.
    EXPECT_EQ(RedrawOf(redraw), redraw);
  }
}

}  // namespace
}  // namespace lptlcd
