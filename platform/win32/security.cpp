// Owners and permissions of the program's own files. Win32 only.
#include "platform/win32/security.h"

#include <aclapi.h>

#include <vector>

namespace tokiren {
namespace {

// A SID of one of the accounts that may always reach the program's files besides the user.
class WellKnownSid {
 public:
  explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof buffer_;
    valid_ = CreateWellKnownSid(type, nullptr, buffer_, &size);
  }
  PSID get() { return valid_ ? static_cast<PSID>(buffer_) : nullptr; }

 private:
  alignas(SID) BYTE buffer_[SECURITY_MAX_SID_SIZE];
  bool valid_ = false;
};

// The current user's SID, read once from the process's token.
PSID UserSid() {
  static std::vector<BYTE> user = [] {
    std::vector<BYTE> buffer;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return buffer;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) buffer.clear();
    CloseHandle(token);
    return buffer;
  }();
  return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

PSID SystemSid() {
  static WellKnownSid sid(WinLocalSystemSid);
  return sid.get();
}

PSID AdministratorsSid() {
  static WellKnownSid sid(WinBuiltinAdministratorsSid);
  return sid.get();
}

bool SameSid(PSID a, PSID b) { return a && b && EqualSid(a, b); }

bool IsMachineAccount(PSID sid) {
  return SameSid(sid, SystemSid()) || SameSid(sid, AdministratorsSid());
}

}  // namespace

SECURITY_ATTRIBUTES* PrivateSecurity() {
  struct Private {
    std::vector<BYTE> acl;
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
    bool valid = false;
  };
  static Private made = [] {
    Private p;
    PSID trustees[] = {UserSid(), SystemSid(), AdministratorsSid()};
    DWORD size = sizeof(ACL);
    for (PSID sid : trustees) {
      if (!sid) return p;
      size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    }
    p.acl.resize(size);
    ACL* acl = reinterpret_cast<ACL*>(p.acl.data());
    if (!InitializeAcl(acl, size, ACL_REVISION)) return p;
    for (PSID sid : trustees) {
      // New files and folders below a private folder are private too.
      if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                 GENERIC_ALL, sid)) {
        return p;
      }
    }
    if (!InitializeSecurityDescriptor(&p.descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&p.descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&p.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
      return p;
    }
    p.attributes = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), &p.descriptor, FALSE};
    p.valid = true;
    return p;
  }();
  if (!made.valid) return nullptr;
  made.attributes.lpSecurityDescriptor = &made.descriptor;  // the static may have been moved into
  return &made.attributes;
}

ErrorCode CheckOwnedAndGuarded(HANDLE handle, ACCESS_MASK refused, bool machineMayOwn) {
  PSID owner = nullptr;
  ACL* dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return kPathFileAccessError;
  }
  bool guarded = SameSid(owner, UserSid()) || (machineMayOwn && IsMachineAccount(owner));
  if (guarded && !dacl) guarded = false;  // a null DACL lets everyone do everything
  ACL_SIZE_INFORMATION sizes{};
  if (guarded && !GetAclInformation(dacl, &sizes, sizeof sizes, AclSizeInformation)) guarded = false;
  for (DWORD i = 0; guarded && i < sizes.AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
      guarded = false;
      break;
    }
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    PSID trustee = &ace->SidStart;
    if (SameSid(trustee, UserSid()) || IsMachineAccount(trustee)) continue;
    if (ace->Mask & refused) guarded = false;
  }
  LocalFree(descriptor);
  return guarded ? kSuccess : kPathFileAccessError;
}

}  // namespace tokiren
