#include "ring/object_security.h"

#include "common/function_lookup.h"

namespace lptlcd {

namespace {

bool Append(char* out, unsigned size, unsigned& used, const char* text) {
  for (; *text != '\0'; ++text) {
    if (used + 1 >= size) return false;
    out[used++] = *text;
  }
  out[used] = '\0';
  return true;
}

using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
using ConvertSidToStringSidFn = BOOL(WINAPI*)(PSID, LPSTR*);
using ConvertStringSdToSdFn = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);

constexpr DWORD kSddlRevision1 = 1;

// The SDDL of the descriptor for a user's SID ("S-1-5-21-..."), written into
// `out` (the label part only when withLabel). False when it does not fit.
bool SameUserObjectSddl(const char* userSid, bool withLabel, char* out, unsigned size) {
  // Protected DACL: this user and SYSTEM, all access. Label: Medium, no
  // write up (SACL "ML").
  unsigned used = 0;
  return Append(out, size, used, "D:P(A;;GA;;;") && Append(out, size, used, userSid) &&
         Append(out, size, used, ")(A;;GA;;;SY)") &&
         (!withLabel || Append(out, size, used, "S:(ML;;NW;;;ME)"));
}

}  // namespace

SameUserSecurity::SameUserSecurity() {
  const HMODULE advapi = ::LoadLibraryA("advapi32.dll");  // stays loaded: Windows' own
  if (advapi == nullptr) return;
  const auto openToken = LookUpFunction<OpenProcessTokenFn>(advapi, "OpenProcessToken");
  const auto tokenInformation = LookUpFunction<GetTokenInformationFn>(advapi, "GetTokenInformation");
  const auto sidToString = LookUpFunction<ConvertSidToStringSidFn>(advapi, "ConvertSidToStringSidA");
  const auto sddlToDescriptor =
      LookUpFunction<ConvertStringSdToSdFn>(advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
  if (!openToken || !tokenInformation || !sidToString || !sddlToDescriptor) return;

  UniqueKernelHandle token;
  if (!openToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return;
  // TOKEN_USER and its SID (at most 68 bytes) fit with room to spare.
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } info;
  DWORD length = 0;
  if (!tokenInformation(token.Get(), TokenUser, &info, sizeof info, &length)) return;
  char* sidText = nullptr;
  if (!sidToString(info.user.User.Sid, &sidText)) return;
  const UniqueLocalMemory sidOwner(sidText);

  // Windows XP knows no mandatory labels and refuses the SDDL that names one.
  for (const bool withLabel : {true, false}) {
    char sddl[256];
    PSECURITY_DESCRIPTOR built = nullptr;
    if (SameUserObjectSddl(sidText, withLabel, sddl, sizeof sddl) &&
        sddlToDescriptor(sddl, kSddlRevision1, &built, nullptr)) {
      descriptor.Reset(built);
      break;
    }
  }
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor.Get();
  attributes.bInheritHandle = FALSE;
}

}  // namespace lptlcd
