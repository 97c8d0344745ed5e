// The key file's access list on Windows: it lets no one in but the user who made it (and the
// system itself, which Wine's access lists always name).
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>
#include <gtest/gtest.h>

#include "base/utf16_text.h"
#include "netlink/sealed_channel.h"
#include "testing/files.h"

namespace kavri {
namespace {

using KeyFileAccess = testing::ScratchDir;

struct Sid {
  BYTE bytes[SECURITY_MAX_SID_SIZE];
  PSID get() { return bytes; }
};

Sid process_user() {
  Sid user{};
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE info[256];
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenUser, info, sizeof info, &size));
  CloseHandle(token);
  CopySid(sizeof user.bytes, user.get(), reinterpret_cast<TOKEN_USER*>(info)->User.Sid);
  return user;
}

Sid local_system() {
  Sid system{};
  DWORD size = sizeof system.bytes;
  EXPECT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system.get(), &size));
  return system;
}

TEST_F(KeyFileAccess, ANewKeyLetsNoOneButItsOwnerIn) {
  ASSERT_TRUE(write_new_link_key(path("k")).ok());
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(
      GetNamedSecurityInfoW(to_wide(path("k")).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, &dacl, nullptr, &descriptor),
      ERROR_SUCCESS);
  ASSERT_NE(dacl, nullptr);  // a missing list would let everyone in
  Sid user = process_user();
  Sid system = local_system();
  bool owner_allowed = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const PSID sid = &allowed->SidStart;
    owner_allowed = owner_allowed || EqualSid(sid, user.get());
    EXPECT_TRUE(EqualSid(sid, user.get()) || EqualSid(sid, system.get())) << "entry " << i;
  }
  EXPECT_TRUE(owner_allowed);
  LocalFree(descriptor);
}

}  // namespace
}  // namespace kavri
