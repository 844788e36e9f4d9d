#include "capture/startup_entry.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace lptlcd {
namespace {

// Enough for any path Windows' ANSI calls hand out, with a name added.
constexpr DWORD kPathBytes = MAX_PATH + 32;
using PathText = char[kPathBytes];

// A failed call and its error: a Win32 error number, or a COM HRESULT.
struct Failure {
  const char* call = nullptr;
  unsigned long code = 0;
  bool hresult = false;
};

Failure Win32Failure(const char* call) { return {call, ::GetLastError(), false}; }
Failure ComFailure(const char* call, HRESULT result) {
  return {call, static_cast<unsigned long>(result), true};
}

int Report(const char* what, const char* path, const Failure& failure) {
  std::fprintf(stderr, failure.hresult ? "lptlcd: could not %s %s: %s failed (error 0x%08lX)\n"
                                       : "lptlcd: could not %s %s: %s failed (error %lu)\n",
               what, path, failure.call, failure.code);
  std::fflush(stderr);
  return 1;
}

// Releases a COM interface when it goes.
template <typename Interface>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() {
    if (pointer != nullptr) pointer->Release();
  }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  Interface* operator->() const { return pointer; }
  void** Out() { return reinterpret_cast<void**>(&pointer); }

 private:
  Interface* pointer = nullptr;
};

// COM for this thread, for as long as it lives (a console program's main
// thread may take either model).
class ComForThisThread {
 public:
  ComForThisThread() : result(::CoInitialize(nullptr)) {}
  ~ComForThisThread() {
    if (SUCCEEDED(result)) ::CoUninitialize();
  }
  ComForThisThread(const ComForThisThread&) = delete;
  ComForThisThread& operator=(const ComForThisThread&) = delete;
  HRESULT Result() const { return result == RPC_E_CHANGED_MODE ? S_OK : result; }

 private:
  HRESULT result;
};

// The shortcut's path in the user's Startup folder (made if missing).
bool StartupShortcutPath(PathText& path, Failure& failure) {
  const HRESULT found = ::SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr,
                                           SHGFP_TYPE_CURRENT, path);
  if (FAILED(found)) {
    failure = ComFailure("SHGetFolderPathA(CSIDL_STARTUP)", found);
    return false;
  }
  const std::size_t length = std::strlen(path);
  std::snprintf(path + length, kPathBytes - length, "\\%s", kStartupShortcutName);
  return true;
}

bool FileExists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Writes a shortcut to `target` with these arguments, started minimised
// without taking the focus, in the target's folder.
bool SaveShortcut(const char* shortcut, const char* target, const char* arguments, Failure& failure) {
  PathText folder = {};
  std::snprintf(folder, kPathBytes, "%s", target);
  for (std::size_t at = std::strlen(folder); at > 0; --at) {
    if (folder[at - 1] == '\\') {
      folder[at - 1] = '\0';
      break;
    }
  }

  ComPointer<IShellLinkA> link;
  HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      link.Out());
  if (FAILED(result)) {
    failure = ComFailure("CoCreateInstance(ShellLink)", result);
    return false;
  }
  if (FAILED(result = link->SetPath(target)) || FAILED(result = link->SetArguments(arguments)) ||
      FAILED(result = link->SetWorkingDirectory(folder)) ||
      FAILED(result = link->SetShowCmd(SW_SHOWMINNOACTIVE)) ||
      FAILED(result = link->SetDescription("lptlcd: HD44780 LCD software on the USB display"))) {
    failure = ComFailure("IShellLinkA", result);
    return false;
  }
  ComPointer<IPersistFile> file;
  if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.Out()))) {
    failure = ComFailure("IShellLinkA::QueryInterface(IPersistFile)", result);
    return false;
  }
  wchar_t wide[kPathBytes] = {};
  if (::MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, static_cast<int>(kPathBytes)) == 0) {
    failure = Win32Failure("MultiByteToWideChar");
    return false;
  }
  if (FAILED(result = file->Save(wide, TRUE))) {
    failure = ComFailure("IPersistFile::Save", result);
    return false;
  }
  return true;
}

}  // namespace

int InstallStartupEntry(const CommandLine& line) {
  constexpr char kWhat[] = "make the logon entry";
  PathText exe = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, exe, kPathBytes);
  if (length == 0 || length >= kPathBytes) {
    // A cut path would start something else, or nothing.
    return Report(kWhat, "for lptlcd.exe", length == 0 ? Win32Failure("GetModuleFileNameA")
                                                       : Failure{"GetModuleFileNameA", ERROR_INSUFFICIENT_BUFFER, false});
  }
  PathText shortcut = {};
  Failure failure;
  if (!StartupShortcutPath(shortcut, failure)) return Report(kWhat, "in the Startup folder", failure);
  const ComForThisThread com;
  if (FAILED(com.Result())) return Report(kWhat, shortcut, ComFailure("CoInitialize", com.Result()));

  PathText written = {};
  std::snprintf(written, kPathBytes, "%s.new", shortcut);
  const EntryArguments arguments = StartupEntryArguments(line);
  const bool replacing = FileExists(shortcut);
  if (!SaveShortcut(written, exe, arguments.text, failure)) {
    ::DeleteFileA(written);
    return Report(kWhat, shortcut, failure);
  }
  if (!::MoveFileExA(written, shortcut, MOVEFILE_REPLACE_EXISTING)) {
    failure = Win32Failure("MoveFileExA");
    ::DeleteFileA(written);
    return Report(kWhat, shortcut, failure);
  }
  std::printf("%s the logon entry %s: it starts \"%s\" %s, minimised, at every logon of this user\n",
              replacing ? "Replaced" : "Made", shortcut, exe, arguments.text);
  std::fflush(stdout);
  return 0;
}

int UninstallStartupEntry() {
  PathText shortcut = {};
  Failure failure;
  if (!StartupShortcutPath(shortcut, failure)) return Report("remove the logon entry", "in the Startup folder", failure);
  if (!::DeleteFileA(shortcut)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      return Report("remove the logon entry", shortcut, Failure{"DeleteFileA", error, false});
    }
    std::printf("No logon entry to remove: there is no %s\n", shortcut);
  } else {
    std::printf("Removed the logon entry %s: lptlcd no longer starts at logon\n", shortcut);
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace lptlcd
