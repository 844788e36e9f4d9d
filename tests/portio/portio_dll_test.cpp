// The port-I/O DLL loaded by name, as LCD software loads it, with this test
// in the place of lptlcd: it opens the ring itself and reads back exactly
// what each call recorded.

#include <gtest/gtest.h>

#include <type_traits>

#include "tests/producer/decoded.h"
#include "tools/harness/child_process.h"
#include "tools/harness/portio_api.h"
#include "tools/harness/ring_view_win32.h"

namespace lptlcd {
namespace {

using Records = std::vector<PortWriteRecord>;
using Commands = std::vector<LcdCommand>;

DWORD WINAPI TryMutex(void* mutex) {
  const DWORD result = ::WaitForSingleObject(static_cast<HANDLE>(mutex), 0);
  if (result == WAIT_OBJECT_0) ::ReleaseMutex(static_cast<HANDLE>(mutex));
  return result;
}

bool MutexFreeForAnotherThread(HANDLE mutex) {
  UniqueKernelHandle thread(::CreateThread(nullptr, 0, &TryMutex, mutex, 0, nullptr));
  if (!thread) return false;
  ::WaitForSingleObject(thread.Get(), INFINITE);
  DWORD result = 0;
  ::GetExitCodeThread(thread.Get(), &result);
  return result == WAIT_OBJECT_0;
}

// The DLL under one of its names, freed when the test ends.
struct DllLoadedForTheTest {
  explicit DllLoadedForTheTest(const char* name) : loaded(api.Load(name)) {}
  ~DllLoadedForTheTest() {
    if (loaded) ::FreeLibrary(api.module);
  }
  PortIoApi api;
  bool loaded;
};

// Runs in a process of its own (see CMakeLists.txt): nobody holds the ring.
TEST(PortIoFirstUse, CreatesTheRingAndKeepsWhatWasWrittenBeforeLptlcd) {
  ASSERT_TRUE(RingAbsent()) << "another process of this Wine prefix holds the ring";
  DllLoadedForTheTest dll("inpout32.dll");
  ASSERT_TRUE(dll.loaded);
  PortIoApi& api = dll.api;
  // Loading alone does nothing: the objects come with the first call.
  EXPECT_TRUE(RingAbsent());
  api.Out32(0x378, 0x41);
  api.Out32(0x37A, 0x04);
  api.Out32(0x37A, 0x05);
  api.Out32(0x37A, 0x04);
  EXPECT_TRUE(api.IsInpOutDriverOpen());
  // lptlcd starting now finds the records waiting, and the mutex free.
  RingView program;
  ASSERT_TRUE(program.IsOpen());
  EXPECT_TRUE(program.EventIsSet());
  EXPECT_TRUE(MutexFreeForAnotherThread(program.Mutex()));
  PortWriteRing& ring = program.Ring();
  EXPECT_EQ(ring.readIndex, 0);
  EXPECT_EQ(ring.count, 4);
  EXPECT_EQ(ring.writeIndex, 4);
  EXPECT_EQ(program.Drain(), (Records{0x7841, 0x7A04, 0x7A05, 0x7A04}));
}

// Also alone in its process. A program that loads and frees the DLL again
// and again must not pile up mappings and handles.
TEST(PortIoFirstUse, FreeLibraryGivesTheRingBack) {
  ASSERT_TRUE(RingAbsent()) << "another process of this Wine prefix holds the ring";
  for (int round = 0; round < 2; ++round) {
    PortIoApi api;
    ASSERT_TRUE(api.Load("dlportio.dll"));
    api.WriteUchar(0x378, 0x41);
    EXPECT_FALSE(RingAbsent());
    ASSERT_TRUE(::FreeLibrary(api.module));
    EXPECT_TRUE(RingAbsent()) << "round " << round;
  }
}

// Also alone in its process. A ring that cannot be had is not tried again
// on every write, but once it can be had, it is opened within a few seconds.
TEST(PortIoFirstUse, ARingThatCannotBeHadIsTriedAgainAfterASecond) {
  ASSERT_TRUE(RingAbsent()) << "another process of this Wine prefix holds the ring";
  DllLoadedForTheTest dll("inpout32.dll");
  ASSERT_TRUE(dll.loaded);
  PortIoApi& api = dll.api;
  // Another kind of object has the section's name.
  UniqueKernelHandle squatter(::CreateMutexA(nullptr, FALSE, kRingSectionName));
  ASSERT_TRUE(squatter);
  const DWORD beforeFailure = ::GetTickCount();
  api.Out32(0x378, 0x41);
  EXPECT_FALSE(api.IsInpOutDriverOpen());
  squatter.Reset();
  const BOOL openAtOnce = api.IsInpOutDriverOpen();
  if (::GetTickCount() - beforeFailure < 1000) {
    EXPECT_FALSE(openAtOnce) << "tried again within a second of failing";
  }
  bool opened = false;
  for (int i = 0; i < 100 && !opened; ++i) {
    opened = api.IsInpOutDriverOpen() != FALSE;
    if (!opened) ::Sleep(50);
  }
  EXPECT_TRUE(opened);
}

class PortIo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    api = new PortIoApi;
    loaded = api->Load("inpout32.dll") && api->IsInpOutDriverOpen();
    if (loaded) view = new RingView;
  }
  void SetUp() override {
    ASSERT_TRUE(loaded) << "inpout32.dll not loaded or its ring not open";
    ASSERT_TRUE(view->IsOpen());
    view->Drain();
    view->Reset(0, 0);
  }
  PortIoApi& Api() { return *api; }
  RingView& View() { return *view; }

  // Kept for the whole run: the DLL stays loaded, as in a real program.
  static PortIoApi* api;
  static RingView* view;
  static bool loaded;
};
PortIoApi* PortIo::api = nullptr;
RingView* PortIo::view = nullptr;
bool PortIo::loaded = false;

TEST_F(PortIo, Out32WritesBecomeRecordsInOrder) {
  View().Reset(200, 0);
  Api().Out32(0x378, 0x41);
  Api().Out32(0x37A, 0x05);
  Api().Out32(0x378, 0x1234);  // the value's low byte
  Api().Out32(0x378, -1);
  EXPECT_EQ(View().Ring().count, 4);
  EXPECT_EQ(View().Ring().writeIndex, 204);
  EXPECT_TRUE(View().EventIsSet());
  EXPECT_EQ(View().Drain(), (Records{0x7841, 0x7A05, 0x7834, 0x78FF}));
}

TEST_F(PortIo, OtherRegistersOfTheParallelPortAreRecordedWithTheirOwnSelector) {
  for (short port = 0x379; port <= 0x37F; ++port) Api().Out32(port, 0x11);
  EXPECT_EQ(View().Drain(), (Records{0x7911, 0x7A11, 0x7B11, 0x7C11, 0x7D11, 0x7E11, 0x7F11}));
}

TEST_F(PortIo, WritesToOtherPortsAreIgnored) {
  for (short port : {short{0x377}, short{0x380}, short{0x278}, short{0x27A}, short{0x3BC}, short{0x78},
                     short{-0x7C88} /* 0x8378 */}) {
    Api().Out32(port, 0x41);
  }
  Api().WriteUchar(0x10378, 0x41);
  Api().WriteUchar(0x1037A, 0x05);
  EXPECT_EQ(View().Ring().count, 0);
  // Nor do they reach the register read-back.
  Api().Out32(0x378, 0x22);
  Api().Out32(0x278, 0x33);
  EXPECT_EQ(Api().Inp32(0x378), 0x22);
}

TEST_F(PortIo, ReadsGiveBackWhatWasWritten) {
  Api().Out32(0x378, 0x5A);
  Api().Out32(0x37A, 0x03);
  EXPECT_EQ(Api().Inp32(0x378), 0x5A);
  EXPECT_EQ(Api().Inp32(0x37A), 0x03);
  // One port, whichever interface wrote or reads it.
  Api().WriteUchar(0x37A, 0x07);
  EXPECT_EQ(Api().Inp32(0x37A), 0x07);
  EXPECT_EQ(Api().ReadUchar(0x37A), 0x07);
  EXPECT_EQ(Api().ReadUshort(0x378), 0x5A);
  EXPECT_EQ(Api().ReadUlong(0x378), 0x5Au);
  Api().Out32(0x378, 0xF0);
  EXPECT_EQ(Api().Inp32(0x378), 0xF0);  // zero-extended, not sign-extended
  EXPECT_EQ(View().Ring().count, 4);    // reads record nothing
}

TEST_F(PortIo, StatusReadsIdleAndOtherPortsReadFF) {
  EXPECT_EQ(Api().Inp32(0x379), 0xD8);
  EXPECT_EQ(Api().ReadUchar(0x379), 0xD8);
  for (short port : {short{0x37B}, short{0x37F}, short{0x278}, short{0x3BC}}) {
    EXPECT_EQ(Api().Inp32(port), 0xFF) << std::hex << port;
  }
  EXPECT_EQ(Api().ReadUchar(0x10378), 0xFF);
}

TEST_F(PortIo, ControlReadModifyWriteDrivesTheDecoder) {
  // What inverted-line software does: read control, flip bit 0, write back.
  Api().Out32(0x37A, 0x07);
  Api().Out32(0x378, 0x41);
  const short control = Api().Inp32(0x37A);
  Api().Out32(0x37A, static_cast<short>(control & ~1));
  Api().Out32(0x37A, static_cast<short>(control | 1));
  const Records records = View().Drain();
  EXPECT_EQ(records, (Records{0x7A07, 0x7841, 0x7A06, 0x7A07}));
  // The first write of bit 0 high is an edge for a fresh decoder; the pulse
  // then carries the character.
  EXPECT_EQ(test::Decode(records), (Commands{0x100, 0x141}));
}

TEST_F(PortIo, DlPortWritesTakeTheLowByte) {
  Api().WriteUchar(0x378, 0x41);
  Api().WriteUshort(0x37A, 0xAB04);
  Api().WriteUlong(0x37A, 0x12345605);
  EXPECT_EQ(View().Drain(), (Records{0x7841, 0x7A04, 0x7A05}));
}

TEST_F(PortIo, DlPortBufferWrites) {
  UCHAR bytes[] = {0x01, 0x02, 0x03};
  USHORT shorts[] = {0x1100, 0x2201};
  ULONG longs[] = {0xAABBCC48, 0x00000049};
  Api().WriteBufferUchar(0x378, bytes, 3);
  Api().WriteBufferUshort(0x37A, shorts, 2);
  Api().WriteBufferUlong(0x378, longs, 2);
  Api().WriteBufferUchar(0x378, nullptr, 5);
  Api().WriteBufferUchar(0x378, bytes, 0);
  Api().WriteBufferUchar(0x278, bytes, 3);
  EXPECT_EQ(View().Drain(), (Records{0x7801, 0x7802, 0x7803, 0x7A00, 0x7A01, 0x7848, 0x7849}));
  EXPECT_EQ(Api().Inp32(0x378), 0x49);
}

TEST_F(PortIo, LongBufferArrivesWholeAndInOrder) {
  std::vector<UCHAR> bytes(2000);
  Records expected;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<UCHAR>(i * 7);
    expected.push_back(static_cast<PortWriteRecord>(0x7800 | bytes[i]));
  }
  Api().WriteBufferUchar(0x378, bytes.data(), static_cast<ULONG>(bytes.size()));
  EXPECT_EQ(View().Drain(), expected);
}

TEST_F(PortIo, DlPortBufferReads) {
  Api().Out32(0x37A, 0x0B);
  UCHAR bytes[3] = {};
  USHORT shorts[2] = {};
  ULONG longs[2] = {};
  Api().ReadBufferUchar(0x37A, bytes, 3);
  Api().ReadBufferUshort(0x379, shorts, 2);
  Api().ReadBufferUlong(0x37C, longs, 2);
  Api().ReadBufferUchar(0x37A, nullptr, 3);
  EXPECT_EQ(bytes[0], 0x0B);
  EXPECT_EQ(bytes[2], 0x0B);
  EXPECT_EQ(shorts[0], 0xD8);
  EXPECT_EQ(shorts[1], 0xD8);
  EXPECT_EQ(longs[0], 0xFFu);
  EXPECT_EQ(longs[1], 0xFFu);
}

TEST_F(PortIo, WrapsAroundTheEndOfTheRing) {
  View().Reset(65534, 0);
  Api().Out32(0x378, 1);
  Api().Out32(0x378, 2);
  Api().Out32(0x378, 3);
  PortWriteRing& ring = View().Ring();
  EXPECT_EQ(ring.count, 3);
  EXPECT_EQ(ring.writeIndex, 1);
  EXPECT_EQ(ring.records[65534], 0x7801);
  EXPECT_EQ(ring.records[65535], 0x7802);
  EXPECT_EQ(ring.records[0], 0x7803);
}

TEST_F(PortIo, FullRingDropsWritesWithoutHanging) {
  PortWriteRing& ring = View().Ring();
  ring.records[9] = 0x1234;  // the slot a full ring leaves unused
  View().Reset(10, 65535);
  // Nobody drains: every call must come back (ctest's time-out catches a hang).
  for (int i = 0; i < 200; ++i) Api().Out32(0x378, static_cast<short>(i));
  UCHAR bytes[100] = {};
  Api().WriteBufferUchar(0x378, bytes, 100);
  EXPECT_EQ(ring.count, 65535);
  EXPECT_EQ(ring.records[9], 0x1234);
  // Room again: the next write goes in.
  View().Reset(9, 0);
  Api().Out32(0x378, 0x42);
  EXPECT_EQ(ring.count, 1);
  EXPECT_EQ(ring.records[9], 0x7842);
}

TEST_F(PortIo, IsXP64BitOnA64BitBuild) {
  EXPECT_EQ(Api().IsXP64Bit(), sizeof(void*) == 8 ? TRUE : FALSE);
}

// The legacy-style program against each name, through each interface; the
// test holds the ring open as lptlcd would and decodes what arrived.
struct LegacyCase {
  const char* dll;
  const char* api;
};

class PortIoLegacyApp : public PortIo, public ::testing::WithParamInterface<LegacyCase> {};

Commands TextCommands(const std::string& text) {
  Commands c;
  for (char ch : text) c.push_back(static_cast<LcdCommand>(0x100 | static_cast<unsigned char>(ch)));
  return c;
}

// What legacy_lcd_app sends after its set-up: custom character 2 (a diamond
// over a line), both lines, then character 2 at line 1, column 18.
const char kDiamondArguments[] = " --char 2 04,0e,1f,0e,04,00,00,1f --char-at 1 18";
Commands AfterSetUp(const std::string& line0, const std::string& line1) {
  Commands c{0x50, 0x104, 0x10E, 0x11F, 0x10E, 0x104, 0x100, 0x100, 0x11F, 0x80};
  for (LcdCommand cmd : TextCommands(line0)) c.push_back(cmd);
  c.push_back(0xC0);
  for (LcdCommand cmd : TextCommands(line1)) c.push_back(cmd);
  c.insert(c.end(), {0xD2, 0x102});
  return c;
}

TEST_P(PortIoLegacyApp, ShowsTwoLinesAndACustomCharacter) {
  const LegacyCase& c = GetParam();
  const auto r = RunChild(std::string("legacy_lcd_app.exe --dll ") + c.dll + " --api " + c.api +
                                " --line0 \"Hello, world\" --line1 \"Second line\"" + kDiamondArguments);
  ASSERT_TRUE(r.finished);
  ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
  const Records records = View().Drain();
  // 6 + 9 + 13 + 12 + 2 bytes of 4 port writes (and one read) each.
  EXPECT_EQ(r.out, "legacy_lcd_app: " + std::to_string(records.size()) + " port writes through " +
                       c.dll + "\n");
  EXPECT_EQ(records.size(), 4u * 42);
  // The very first rest write (bit 0 high) is a rising edge for a fresh
  // decoder and repeats the Function Set already on the data lines: harmless.
  Commands expected{0x38, 0x38, 0x38, 0x38, 0x0C, 0x06, 0x01};
  const Commands rest = AfterSetUp("Hello, world", "Second line");
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(test::Decode(records), expected);
  // Backlight on (bit 1) in every control write.
  for (PortWriteRecord rec : records) {
    if ((rec >> 8) == 0x7A) {
      EXPECT_NE(rec & 0x02, 0) << std::hex << rec;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllNames, PortIoLegacyApp,
                         ::testing::Values(LegacyCase{"inpout32.dll", "inpout"},
                                           LegacyCase{"inpoutx64.dll", "inpout"},
                                           LegacyCase{"dlportio.dll", "dlport"},
                                           LegacyCase{"inpout32.dll", "dlport"},
                                           LegacyCase{"io.dll", "io"},
                                           LegacyCase{"WinIo.dll", "winio"},
                                           LegacyCase{"WinIo32.dll", "winio"}));
#if defined(_WIN64)
// The name only 64-bit programs load.
INSTANTIATE_TEST_SUITE_P(SixtyFourBitNames, PortIoLegacyApp,
                         ::testing::Values(LegacyCase{"WinIo64.dll", "winio"}));
#endif

// The busy flag read before every byte, through the DLL: each wait ends at
// the first status read, and the read cycles add no command. (The first read
// sets the data lines to inputs, so no phantom write opens the session.)
TEST_F(PortIo, LegacyAppPollingTheBusyFlagSendsItsBytesAndNothingElse) {
  const auto r = RunChild(std::string("legacy_lcd_app.exe --poll-busy --line0 Polled --line1 \"each byte\"") +
                          kDiamondArguments);
  ASSERT_TRUE(r.finished);
  ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
  Commands expected{0x38, 0x38, 0x38, 0x0C, 0x06, 0x01};
  const Commands rest = AfterSetUp("Polled", "each byte");
  expected.insert(expected.end(), rest.begin(), rest.end());
  const std::string reads = std::to_string(expected.size());
  EXPECT_NE(r.out.find(reads + " status reads for " + reads + " bytes"), std::string::npos) << r.out;
  EXPECT_EQ(test::Decode(View().Drain()), expected);
}

// io.dll and WinIo, loaded by those names: the same DLL, its own port model.
TEST_F(PortIo, IoDllWritesWiderValuesLowByteFirstAndWorksSingleBits) {
  IoDllApi io;
  ASSERT_TRUE(io.Load("io.dll"));
  EXPECT_EQ(io.IsDriverInstalled(), 1);
  io.PortWordOut(0x378, 0x3A41);
  io.PortDWordOut(0x378, 0x04030201);
  io.PortOut(0x37A, 0x04);
  EXPECT_EQ(View().Drain(), (Records{0x7841, 0x793A, 0x7801, 0x7902, 0x7A03, 0x7B04, 0x7A04}));
  // Data, status (idle), control, and an unmapped register, low first.
  EXPECT_EQ(io.PortIn(0x37A), 0x04);
  EXPECT_EQ(static_cast<std::uint16_t>(io.PortWordIn(0x378)), 0xD801);
  EXPECT_EQ(static_cast<std::uint32_t>(io.PortDWordIn(0x378)), 0xFF04D801u);

  io.SetPortBit(0x37A, 0);
  io.ClrPortBit(0x37A, 0);
  io.NotPortBit(0x37A, 1);
  io.SetPortBit(0x37A, 8);  // no such bit: nothing changes, nothing is written
  EXPECT_EQ(io.GetPortBit(0x37A, 1), 1);
  EXPECT_EQ(io.GetPortBit(0x37A, 0), 0);
  EXPECT_EQ(io.RightPortShift(0x37A, 1), 0x83);  // 0x06 >> 1, bit 7 from val
  EXPECT_EQ(io.LeftPortShift(0x37A, 0), 0x06);   // 0x83 << 1, bit 0 from val
  EXPECT_EQ(View().Drain(), (Records{0x7A05, 0x7A04, 0x7A06, 0x7A83, 0x7A06}));
  ::FreeLibrary(io.module);
}

TEST_F(PortIo, WinIoPortValuesOfOneTwoAndFourBytes) {
  WinIoApi winio;
  ASSERT_TRUE(winio.Load("WinIo32.dll"));
  EXPECT_TRUE(winio.InitializeWinIo());
  EXPECT_TRUE(winio.SetPortVal(0x378, 0x41, 1));
  EXPECT_TRUE(winio.SetPortVal(0x378, 0x0201, 2));
  // Control 0x13: bit 5 clear, so the data register reads back its byte.
  EXPECT_TRUE(winio.SetPortVal(0x378, 0x44132211, 4));
  EXPECT_FALSE(winio.SetPortVal(0x378, 0x55, 3));
  EXPECT_EQ(View().Drain(), (Records{0x7841, 0x7801, 0x7902, 0x7811, 0x7922, 0x7A13, 0x7B44}));
  DWORD value = 0;
  EXPECT_TRUE(winio.GetPortVal(0x37A, &value, 1));
  EXPECT_EQ(value, 0x13u);
  EXPECT_TRUE(winio.GetPortVal(0x378, &value, 2));
  EXPECT_EQ(value, 0xD811u);
  EXPECT_TRUE(winio.GetPortVal(0x378, &value, 4));
  EXPECT_EQ(value, 0xFF13D811u);
  EXPECT_FALSE(winio.GetPortVal(0x378, &value, 0));
  EXPECT_FALSE(winio.GetPortVal(0x378, nullptr, 1));
  // Physical memory is never touched: every call fails and hands out nothing.
  BYTE memory[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  HANDLE section = ::GetCurrentProcess();
  EXPECT_EQ(winio.MapPhysToLin(memory, sizeof memory, &section), nullptr);
  EXPECT_EQ(section, nullptr);
  EXPECT_FALSE(winio.UnmapPhysicalMemory(nullptr, memory));
  value = 0x12345678;
  EXPECT_FALSE(winio.GetPhysLong(memory, &value));
  EXPECT_EQ(value, 0x12345678u);
  EXPECT_FALSE(winio.SetPhysLong(memory, 0));
  EXPECT_EQ(memory[0], 1);
  winio.ShutdownWinIo();
  EXPECT_EQ(View().Ring().count, 0);
  ::FreeLibrary(winio.module);
}

TEST_F(PortIo, LegacyAppReportsAMissingDll) {
  const auto r = RunChild("legacy_lcd_app.exe --dll no_such_port_driver.dll");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.out.rfind("legacy_lcd_app: cannot load no_such_port_driver.dll", 0), 0u) << r.out;
  EXPECT_EQ(View().Ring().count, 0);
}

}  // namespace
}  // namespace lptlcd
