// A stand-in for old LCD software on NT-family Windows: it finds its port
// driver DLL by name beside itself, looks the entry points up by plain name
// and drives an HD44780 on the first parallel port through the inverted
// control lines (enable and backlight at rest high in the register, enable
// pulsed low around each byte, register select on bit 2). It deliberately
// uses nothing of the project, only what such a program would.
//
//   legacy_lcd_app [--dll NAME] [--api inpout|dlport|io|winio] [--line0 TEXT] [--line1 TEXT]
//                  [--char N R0,R1,R2,R3,R4,R5,R6,R7] [--char-at LINE COL] [--no-char]
//                  [--bus 8|4] [--poll-busy] [--hold MS]
//
// It initialises the module (0x38 0x38 0x38 0x0C 0x06 0x01; on the 4-bit bus
// 0x3 0x3 0x3 0x2 on DB7-DB4, then 0x28 0x0C 0x06 0x01 as two nibbles each),
// defines the custom character, writes line 0 at 0x80 and line 1 at 0xC0,
// then shows the custom character at --char-at. --poll-busy reads the busy
// flag before every byte (after the 4-bit bus's first nibbles) and says how
// many reads that took. --hold keeps the process (and with it the DLL's
// shared objects) alive for MS milliseconds afterwards.
// Exit status: 0 done; 1 the DLL or an entry point is missing or the driver
// is not open; 2 usage error.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Out32Fn = void(WINAPI*)(short, short);
using Inp32Fn = short(WINAPI*)(short);
using IsDriverOpenFn = BOOL(WINAPI*)();
using WriteUcharFn = void(WINAPI*)(ULONG, UCHAR);
using ReadUcharFn = UCHAR(WINAPI*)(ULONG);
using PortOutFn = void(WINAPI*)(short, char);
using PortInFn = char(WINAPI*)(short);
using IsDriverInstalledFn = short(WINAPI*)();
using InitializeWinIoFn = bool(WINAPI*)();
using SetPortValFn = bool(WINAPI*)(WORD, DWORD, BYTE);
using GetPortValFn = bool(WINAPI*)(WORD, PDWORD, BYTE);

constexpr short kDataPort = 0x378;
constexpr short kControlPort = 0x37A;
// Control register at rest: enable (bit 0) and backlight (bit 1) lines idle
// through the port's inverters; bit 2 is register select.
constexpr int kRestInstruction = 0x03;
constexpr int kRestData = 0x07;
// Control bit 5 turns the port's data lines to inputs, for reading the module.
constexpr int kInputMode = 0x20;
// Status reads a byte may take before the program stops waiting, as one with
// a time-out would.
constexpr unsigned kPollLimit = 1000;

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  // Through the generic function pointer type, which any function pointer
  // may be converted from and back to.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// One byte out and in through whichever interface the DLL is used by.
struct Port {
  Out32Fn out32 = nullptr;
  Inp32Fn inp32 = nullptr;
  WriteUcharFn writeUchar = nullptr;
  ReadUcharFn readUchar = nullptr;
  PortOutFn portOut = nullptr;
  PortInFn portIn = nullptr;
  SetPortValFn setPortVal = nullptr;
  GetPortValFn getPortVal = nullptr;
  unsigned writes = 0;

  void Out(short port, int value) {
    ++writes;
    if (out32 != nullptr) {
      out32(port, static_cast<short>(value));
    } else if (writeUchar != nullptr) {
      writeUchar(static_cast<ULONG>(port), static_cast<UCHAR>(value));
    } else if (portOut != nullptr) {
      portOut(port, static_cast<char>(value));
    } else {
      setPortVal(static_cast<WORD>(port), static_cast<DWORD>(value), 1);
    }
  }
  int In(short port) {
    if (inp32 != nullptr) return inp32(port) & 0xFF;
    if (readUchar != nullptr) return readUchar(static_cast<ULONG>(port));
    if (portIn != nullptr) return static_cast<unsigned char>(portIn(port));
    DWORD value = 0;
    getPortVal(static_cast<WORD>(port), &value, 1);
    return static_cast<int>(value & 0xFF);
  }
};

// Looks up the entry points of one interface; the message for what is
// missing or not ready, or "" when all is there.
std::string Bind(HMODULE module, const std::string& api, const std::string& dll, Port& port) {
  if (api == "dlport") {
    port.writeUchar = Lookup<WriteUcharFn>(module, "DlPortWritePortUchar");
    port.readUchar = Lookup<ReadUcharFn>(module, "DlPortReadPortUchar");
    if (port.writeUchar == nullptr || port.readUchar == nullptr) {
      return dll + " lacks DlPortWritePortUchar/DlPortReadPortUchar";
    }
    return "";
  }
  if (api == "io") {
    port.portOut = Lookup<PortOutFn>(module, "PortOut");
    port.portIn = Lookup<PortInFn>(module, "PortIn");
    const auto installed = Lookup<IsDriverInstalledFn>(module, "IsDriverInstalled");
    if (port.portOut == nullptr || port.portIn == nullptr || installed == nullptr) {
      return dll + " lacks PortOut/PortIn/IsDriverInstalled";
    }
    return installed() ? "" : "the port driver is not installed";
  }
  if (api == "winio") {
    port.setPortVal = Lookup<SetPortValFn>(module, "SetPortVal");
    port.getPortVal = Lookup<GetPortValFn>(module, "GetPortVal");
    const auto initialize = Lookup<InitializeWinIoFn>(module, "InitializeWinIo");
    if (port.setPortVal == nullptr || port.getPortVal == nullptr || initialize == nullptr) {
      return dll + " lacks SetPortVal/GetPortVal/InitializeWinIo";
    }
    return initialize() ? "" : "WinIo did not initialise";
  }
  port.out32 = Lookup<Out32Fn>(module, "Out32");
  port.inp32 = Lookup<Inp32Fn>(module, "Inp32");
  const auto isOpen = Lookup<IsDriverOpenFn>(module, "IsInpOutDriverOpen");
  if (port.out32 == nullptr || port.inp32 == nullptr || isOpen == nullptr) {
    return dll + " lacks Out32/Inp32/IsInpOutDriverOpen";
  }
  return isOpen() ? "" : "the port driver is not open";
}

// One enable pulse to the module: the bus on the port, register select
// settled at rest, then read the control register back and pulse enable by
// flipping bit 0.
void Pulse(Port& port, bool isData, int bus) {
  port.Out(kDataPort, bus);
  port.Out(kControlPort, isData ? kRestData : kRestInstruction);
  const int control = port.In(kControlPort);
  port.Out(kControlPort, control & ~0x01);
  port.Out(kControlPort, control | 0x01);
}

// One read: enable pulsed as for a write, the data register read while the
// module drives it.
int ReadPulse(Port& port, int control) {
  port.Out(kControlPort, control & ~0x01);
  const int value = port.In(kDataPort);
  port.Out(kControlPort, control);
  return value;
}

// The module as the program drives it: its bus width, and whether it waits
// for the busy flag before each byte instead of trusting delays.
struct Module {
  Port& port;
  bool fourBit = false;
  bool pollBusy = false;
  unsigned bytes = 0;
  unsigned statusReads = 0;
};

// Status reads until the busy flag (DB7) is clear: data lines to inputs,
// register select low, a read pulse each; on the 4-bit bus two pulses a read,
// the flag in the first (the second brings the address counter's low bits).
void WaitWhileBusy(Module& module) {
  const int reading = kRestInstruction | kInputMode;
  module.port.Out(kControlPort, reading);
  for (unsigned i = 0; i < kPollLimit; ++i) {
    ++module.statusReads;
    const int status = ReadPulse(module.port, reading);
    if (module.fourBit) ReadPulse(module.port, reading);
    if ((status & 0x80) == 0) return;
  }
}

void SendByte(Module& module, bool isData, int value) {
  if (module.pollBusy) WaitWhileBusy(module);
  ++module.bytes;
  if (!module.fourBit) {
    Pulse(module.port, isData, value);
    return;
  }
  Pulse(module.port, isData, value & 0xF0);
  Pulse(module.port, isData, (value << 4) & 0xF0);
}

void Instruction(Module& module, int value) { SendByte(module, false, value); }
void Data(Module& module, int value) { SendByte(module, true, value); }

int Usage(const char* message) {
  std::fprintf(stderr, "legacy_lcd_app: %s\n", message);
  std::fprintf(stderr,
               "usage: legacy_lcd_app [--dll NAME] [--api inpout|dlport|io|winio] [--line0 TEXT]\n"
               "                      [--line1 TEXT]\n"
               "                      [--char N R0,...,R7] [--char-at LINE COL] [--no-char]\n"
               "                      [--bus 8|4] [--poll-busy] [--hold MS]\n");
  return 2;
}

bool ParseInt(const char* text, int base, int min, int max, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, base);
  if (end == text || *end != '\0' || v < min || v > max) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseRows(const char* text, int (&rows)[8]) {
  std::string s(text);
  std::size_t at = 0;
  for (int i = 0; i < 8; ++i) {
    const std::size_t comma = s.find(',', at);
    if ((i < 7) != (comma != std::string::npos)) return false;
    const std::string part = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (part.empty() || !ParseInt(part.c_str(), 16, 0, 0xFF, rows[i])) return false;
    at = comma + 1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dll = "inpout32.dll";
  std::string api = "inpout";
  std::string lines[2] = {"Hello from LPT", "lptlcd drop-in"};
  bool withChar = true;
  int code = 0;
  int rows[8] = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};  // a heart
  int charLine = 1, charColumn = 19;
  int holdMs = 0;
  int busWidth = 8;
  bool pollBusy = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const int left = argc - i - 1;
    if (arg == "--dll" && left >= 1) {
      dll = argv[++i];
    } else if (arg == "--api" && left >= 1) {
      api = argv[++i];
      if (api != "inpout" && api != "dlport" && api != "io" && api != "winio") {
        return Usage("--api takes inpout, dlport, io or winio");
      }
    } else if ((arg == "--line0" || arg == "--line1") && left >= 1) {
      lines[arg == "--line1" ? 1 : 0] = argv[++i];
      if (lines[arg == "--line1" ? 1 : 0].size() > 40) return Usage("a line holds at most 40 characters");
    } else if (arg == "--char" && left >= 2) {
      if (!ParseInt(argv[i + 1], 10, 0, 7, code) || !ParseRows(argv[i + 2], rows)) {
        return Usage("--char takes a code 0-7 and eight comma-separated hex rows");
      }
      withChar = true;
      i += 2;
    } else if (arg == "--char-at" && left >= 2) {
      if (!ParseInt(argv[i + 1], 10, 0, 1, charLine) || !ParseInt(argv[i + 2], 10, 0, 39, charColumn)) {
        return Usage("--char-at takes a line 0-1 and a column 0-39");
      }
      i += 2;
    } else if (arg == "--no-char") {
      withChar = false;
    } else if (arg == "--bus" && left >= 1) {
      if (!ParseInt(argv[++i], 10, 4, 8, busWidth) || (busWidth != 4 && busWidth != 8)) {
        return Usage("--bus takes 8 or 4");
      }
    } else if (arg == "--poll-busy") {
      pollBusy = true;
    } else if (arg == "--hold" && left >= 1) {
      if (!ParseInt(argv[++i], 10, 0, 600000, holdMs)) return Usage("--hold takes milliseconds");
    } else {
      return Usage(("unknown or incomplete option " + arg).c_str());
    }
  }

  HMODULE module = ::LoadLibraryA(dll.c_str());
  if (module == nullptr) {
    std::printf("legacy_lcd_app: cannot load %s (error %lu)\n", dll.c_str(), ::GetLastError());
    std::fflush(stdout);
    return 1;
  }
  Port port;
  const std::string missing = Bind(module, api, dll, port);
  if (!missing.empty()) {
    std::printf("legacy_lcd_app: %s\n", missing.c_str());
    std::fflush(stdout);
    return 1;
  }

  Module lcd{port};
  lcd.fourBit = busWidth == 4;
  lcd.pollBusy = pollBusy;
  if (lcd.fourBit) {
    // The datasheet's initialisation by instruction, one nibble a pulse: the
    // busy flag cannot be read yet.
    for (int nibble : {0x30, 0x30, 0x30, 0x20}) Pulse(port, false, nibble);
    Instruction(lcd, 0x28);
  } else {
    for (int i = 0; i < 3; ++i) Instruction(lcd, 0x38);
  }
  Instruction(lcd, 0x0C);
  Instruction(lcd, 0x06);
  Instruction(lcd, 0x01);
  if (withChar) {
    Instruction(lcd, 0x40 | (code * 8));
    for (int row : rows) Data(lcd, row);
  }
  for (int line = 0; line < 2; ++line) {
    Instruction(lcd, line == 0 ? 0x80 : 0xC0);
    for (char c : lines[line]) Data(lcd, static_cast<unsigned char>(c));
  }
  if (withChar) {
    Instruction(lcd, 0x80 | (charLine * 0x40 + charColumn));
    Data(lcd, code);
  }
  std::printf("legacy_lcd_app: %u port writes through %s\n", port.writes, dll.c_str());
  if (pollBusy) std::printf("legacy_lcd_app: %u status reads for %u bytes\n", lcd.statusReads, lcd.bytes);
  std::fflush(stdout);
  if (holdMs > 0) ::Sleep(static_cast<DWORD>(holdMs));
  return 0;
}
