// Registers a display interface the way Wine's SetupAPI reads it back, and
// makes its path openable with an NT symbolic link to the named-pipe file
// system (DefineDosDevice with a raw target crashes Wine 8, so the link is
// made directly). A link to a regular file would not do for a display without
// a pipe: Wine 8 resolves links only within its object namespace, and then
// neither path opens.

#include <windows.h>
#include <winternl.h>

#include <cctype>
#include <string>
#include <utility>

#include "tools/displayhost/display_host.h"

extern "C" NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE linkHandle, ACCESS_MASK access,
                                                     POBJECT_ATTRIBUTES attributes,
                                                     PUNICODE_STRING target);

namespace lptlcd {

const char kDisplayInterfaceClassText[] = "{00873fdf-61a8-11d1-aa5e-00c04fb1728b}";

namespace {

constexpr char kDeviceClassesKey[] = "System\\CurrentControlSet\\Control\\DeviceClasses\\";
constexpr char kEnumUsbKey[] = "System\\CurrentControlSet\\Enum\\USB\\";
constexpr char kHardwareId[] = "VID_1111&PID_0002";
constexpr ACCESS_MASK kSymbolicLinkAllAccess = 0xF0001;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::wstring Widen(const std::string& text) {
  // Device paths are plain ASCII.
  return std::wstring(text.begin(), text.end());
}

bool SetString(HKEY key, const char* name, const std::string& value) {
  return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// Creates (or opens) HKLM\path, runs fill on it and closes it. The key
// functions are the wide ones because Wine's ANSI ones refuse paths longer
// than MAX_PATH, and long instance ids are wanted.
template <typename Fill>
bool WithKey(const std::string& path, Fill fill) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = fill(key);
  ::RegCloseKey(key);
  return ok;
}

// targetName: the file system root that the interface path is to open.
HANDLE CreateInterfaceLink(const std::string& interfacePath, const std::wstring& targetName) {
  // \\?\usb#... names the object \??\usb#... in the NT namespace.
  const std::wstring linkName = L"\\??\\" + Widen(interfacePath.substr(4));
  UNICODE_STRING name;
  name.Buffer = const_cast<PWSTR>(linkName.c_str());
  name.Length = static_cast<USHORT>(linkName.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  UNICODE_STRING target;
  target.Buffer = const_cast<PWSTR>(targetName.c_str());
  target.Length = static_cast<USHORT>(targetName.size() * sizeof(wchar_t));
  target.MaximumLength = target.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  HANDLE link = nullptr;
  if (::NtCreateSymbolicLinkObject(&link, kSymbolicLinkAllAccess, &attributes, &target) < 0) {
    return nullptr;
  }
  return link;
}

}  // namespace

DisplayRegistration::DisplayRegistration(std::string id, Kind registrationKind)
    : instanceId(std::move(id)), kind(registrationKind) {
  const std::string classText = kDisplayInterfaceClassText;
  interfacePath = "\\\\?\\usb#" + Lower(kHardwareId) + "#" + Lower(instanceId) + "#" + classText;
  classKeyPath = std::string(kDeviceClassesKey) + classText + "\\##?#USB#" + kHardwareId + "#" +
                  instanceId + "#" + classText;
  enumKeyPath = std::string(kEnumUsbKey) + kHardwareId + "\\" + instanceId;

  const std::string deviceInstance = std::string("USB\\") + kHardwareId + "\\" + instanceId;
  bool ok = WithKey(classKeyPath, [&](HKEY key) {
    return SetString(key, "DeviceInstance", deviceInstance);
  });
  // DIGCF_PRESENT lists only interfaces whose control key says they are linked.
  ok = ok && WithKey(classKeyPath + "\\#\\Control", [](HKEY key) {
         const DWORD linked = 1;
         return ::RegSetValueExA(key, "Linked", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&linked),
                                 sizeof linked) == ERROR_SUCCESS;
       });
  ok = ok && WithKey(enumKeyPath, [&](HKEY key) {
         return SetString(key, "ClassGUID", classText);
       });
  if (ok && kind != Kind::kUnopenable) {
    // "<path>\PIPE01" then names the pipe \\.\pipe\PIPE01, or a mailslot of
    // that name, which nothing creates.
    link.Reset(CreateInterfaceLink(interfacePath, kind == Kind::kNoPipe ? L"\\Device\\MailSlot"
                                                                         : L"\\Device\\NamedPipe"));
    ok = link.IsValid();
  }
  registered = ok;
}

DisplayRegistration::~DisplayRegistration() { Remove(); }

void DisplayRegistration::Remove() {
  link.Reset();
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(classKeyPath).c_str());
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(enumKeyPath).c_str());
  // The hardware id's key goes too once no other registration uses it;
  // deleting a key that still has subkeys fails, which is what we want.
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kEnumUsbKey) + kHardwareId).c_str());
}

}  // namespace lptlcd
