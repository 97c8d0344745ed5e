// The key file on Windows: made by an exclusive create whose security descriptor holds one
// access-list entry, for the user who runs the program, and no entry inherited from the
// folder, so no other account (administrators' group included) may read it. Paths are UTF-8
// and go to the "W" functions.
#include <windows.h>

#include <memory>
#include <vector>

#include "base/text_excerpt.h"
#include "base/utf16_text.h"
#include "netlink/key_text.h"

namespace kavri {
namespace {

std::string named(const std::string& path) { return "the key file " + excerpt(path); }

std::string system_reason(DWORD code) { return "Windows error " + std::to_string(code); }

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle owned(HANDLE handle) { return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

// The process's user, as the TOKEN_USER structure that holds its SID.
std::vector<std::uint8_t> process_user() {
  HANDLE token_handle = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token_handle)) return {};
  const Handle token(token_handle);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) {
    return {};
  }
  return user;
}

// The access list that grants the user alone everything, and the descriptor that holds it,
// protected from the folder's inheritable entries.
struct OwnerOnly {
  std::vector<std::uint8_t> user;
  std::vector<std::uint8_t> acl_bytes;
  SECURITY_DESCRIPTOR descriptor{};

  bool build() {
    user = process_user();
    if (user.empty()) return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    acl_bytes.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
    auto* acl = reinterpret_cast<ACL*>(acl_bytes.data());
    return InitializeAcl(acl, static_cast<DWORD>(acl_bytes.size()), ACL_REVISION) &&
           AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
           InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
};

}  // namespace

Status write_new_link_key(const std::string& path) {
  OwnerOnly owner_only;
  if (!owner_only.build()) {
    return fail("cannot make " + named(path) +
                ": its access list: " + system_reason(GetLastError()));
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &owner_only.descriptor, FALSE};
  const std::wstring wide = to_wide(path);
  Handle file = owned(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return fail("cannot make " + named(path) + ": " + system_reason(GetLastError()));
  const std::string text = link_key_text(new_link_key());
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !FlushFileBuffers(file.get())) {
    const DWORD code = GetLastError();
    file.reset();
    DeleteFileW(wide.c_str());  // a half-written key would be refused later; it goes now
    return fail("cannot write " + named(path) + ": " + system_reason(code));
  }
  return done();
}

Result<LinkKey> read_link_key(const std::string& path) {
  const Handle file = owned(CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return fail("cannot read " + named(path) + ": " + system_reason(GetLastError()));
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return fail(named(path) + " is not a file");
  char bytes[KEY_FILE_MAX_BYTES + 1];
  DWORD count = 0;
  if (!ReadFile(file.get(), bytes, sizeof bytes, &count, nullptr)) {
    return fail("cannot read " + named(path) + ": " + system_reason(GetLastError()));
  }
  auto key = parse_link_key_text({bytes, count});
  if (!key) return fail(named(path) + " is not a key: " + key.error());
  return key;
}

}  // namespace kavri
