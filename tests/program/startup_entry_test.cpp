// lptlcd --install and --uninstall through the real program: what they say,
// their status, and the shortcut they leave, read back through the shell as
// Windows' logon reads it. Traps for the session instance and the ring, and
// a served display, show that neither touches the running copy, the shared
// objects or the display.

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <fstream>
#include <string>

#include "capture/command_line.h"
#include "capture/session_instance.h"
#include "ring/port_write_ring.h"
#include "tools/displayhost/display_host.h"
#include "win32_test_support.h"

namespace lptlcd {
namespace {

std::string StartupShortcut() {
  char folder[MAX_PATH] = {};
  EXPECT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr,
                                           SHGFP_TYPE_CURRENT, folder)));
  return std::string(folder) + "\\lptlcd.lnk";
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// How the shortcut's window shows: ShowCommand in the file's header, at
// offset 0x3C (Wine's shell reads every shortcut back as SW_SHOWNORMAL).
int ShowCommandInFile(const std::string& shortcut) {
  std::ifstream file(shortcut, std::ios::binary);
  unsigned char header[0x40] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
  return header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | header[0x3F] << 24;
}

// What the shortcut starts: the program, its arguments, its folder and how
// its window shows, as "<path>|<arguments>|<folder>|<show>"; "" when unreadable.
std::string ShortcutTarget(const std::string& shortcut) {
  IShellLinkA* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
    return "";
  }
  IPersistFile* file = nullptr;
  std::string result;
  const std::wstring wide(shortcut.begin(), shortcut.end());
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
    char path[MAX_PATH] = {};
    char arguments[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, MAX_PATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    result = std::string(path) + "|" + arguments + "|" + folder + "|" + std::to_string(ShowCommandInFile(shortcut));
  }
  if (file != nullptr) file->Release();
  link->Release();
  return result;
}

// The program's full Windows path, as GetModuleFileName gives it to itself.
std::string ProgramWindowsPath() {
  char full[MAX_PATH] = {};
  std::string path = LptlcdProgramPath();
  if (path.size() > 1 && path.front() == '"') path = path.substr(1, path.size() - 2);
  ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return full;
}

struct Step {
  const char* arguments;
  long status;
  std::string output;  // standard output, whole
  std::string errors;  // the first line of standard error ("" for none)
  std::string target;  // what the shortcut starts afterwards ("" for none)
};

TEST(StartupEntry, InstallAndUninstallSayWhatTheyDidAndLeaveOneShortcut) {
  ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  const std::string shortcut = StartupShortcut();
  ::DeleteFileA(shortcut.c_str());
  const std::string exe = ProgramWindowsPath();
  const std::string folder = exe.substr(0, exe.rfind('\\'));
  const std::string minimised = std::to_string(SW_SHOWMINNOACTIVE);
  const auto made = [&](const char* verb, const std::string& arguments) {
    return std::string(verb) + " the logon entry " + shortcut + ": it starts \"" + exe + "\" " + arguments +
           ", minimised, at every logon of this user\n";
  };
  const std::string noEntry = "No logon entry to remove: there is no " + shortcut + "\n";
  const Step steps[] = {
      {"--uninstall", 0, noEntry, "", ""},
      {"--install --module 20x4", 0, made("Made", "--module 20x4 --wait"), "",
       exe + "|--module 20x4 --wait|" + folder + "|" + minimised},
      // Again: the one entry is replaced, not joined by another.
      {"--install", 0, made("Replaced", "--wait"), "", exe + "|--wait|" + folder + "|" + minimised},
      // Bad input leaves the entry as it was.
      {"--install --module 20x3", 2, "", "lptlcd: no module 20x3 (sizes: 8x1 8x2 16x1 16x2 16x4 20x1 20x2 20x4 24x2 40x1 40x2)",
       exe + "|--wait|" + folder + "|" + minimised},
      {"--install --modul 20x4", 2, "", "lptlcd: unknown option '--modul'", exe + "|--wait|" + folder + "|" + minimised},
      {"--install --help", 0, HelpText(), "", exe + "|--wait|" + folder + "|" + minimised},
      {"--uninstall --module 20x4", 2, "", "lptlcd: --uninstall takes no other option",
       exe + "|--wait|" + folder + "|" + minimised},
      {"--uninstall", 0, "Removed the logon entry " + shortcut + ": lptlcd no longer starts at logon\n", "", ""},
      {"--uninstall", 0, noEntry, "", ""},
  };
  // Traps: a copy that claimed the session or made the shared objects would
  // end with status 1 saying so; one that opened the display would connect.
  UniqueKernelHandle otherCopy(::CreateMutexA(nullptr, FALSE, kSessionInstanceName));
  UniqueKernelHandle squatter(::CreateMutexA(nullptr, FALSE, kRingSectionName));
  ASSERT_TRUE(otherCopy && squatter);
  DisplayRegistration display("B");
  ASSERT_TRUE(display.ok());
  PacketRecorder received;
  DisplayPipeServer server(received.Handler());
  ASSERT_TRUE(server.Start());
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments);
    ChildProcess program;
    ASSERT_TRUE(program.Start(LptlcdProgramPath() + " " + step.arguments));
    EXPECT_EQ(step.status, program.WaitForExit(kGenerousMs));
    EXPECT_EQ(step.output, program.Output());
    // Wine's shell may add a line of its own on standard error.
    EXPECT_NE(program.Errors().find(step.errors), std::string::npos) << program.Errors();
    EXPECT_EQ(step.target, Exists(shortcut) ? ShortcutTarget(shortcut) : "");
    EXPECT_FALSE(Exists(shortcut + ".new"));  // nothing half written is left
  }
  EXPECT_EQ(0, server.ConnectionCount());
  server.Stop();
  ::CoUninitialize();
}

}  // namespace
}  // namespace lptlcd
