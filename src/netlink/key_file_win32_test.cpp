// The key file's access list on Windows: it lets no one in but the user who made it (and the
// system itself, which Wine's access lists always name).
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <vector>

#include "base/utf16_text.h"
#include "netlink/sealed_channel.h"
#include "testing/files.h"

namespace kavri {
namespace {

using KeyFileAccess = testing::ScratchDir;

// The SID of the user who runs the test.
std::vector<BYTE> process_user() {
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  std::vector<BYTE> info(256);
  DWORD size = 0;
  EXPECT_TRUE(GetTokenInformation(token, TokenUser, info.data(), 256, &size));
  CloseHandle(token);
  const PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
  return {static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid)};
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
  std::vector<BYTE> user = process_user();
  bool owner_allowed = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const PSID sid = &allowed->SidStart;
    const bool owner = EqualSid(sid, user.data());
    owner_allowed = owner_allowed || owner;
    EXPECT_TRUE(owner || IsWellKnownSid(sid, WinLocalSystemSid)) << "entry " << i;
  }
  EXPECT_TRUE(owner_allowed);
  LocalFree(descriptor);
}

}  // namespace
}  // namespace kavri
