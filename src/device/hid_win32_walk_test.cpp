// The walk of hid_open over the Windows backend's interface list, on fakes of the system
// functions: a machine whose HID interfaces are listed in a table, with a record of every call
// the walk makes.
#include "device/hid_win32_walk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "device/hid.h"
#include "device/hid_open_walk.h"

namespace kavri {
namespace {

struct FakeInterface {
  std::uint16_t vendor_id, product_id, version;
  bool opens = true;
};

constexpr FakeInterface KEYBOARD{0x046D, 0xC31C, 0x0110};
constexpr FakeInterface OTHER_PRODUCT{CARD_VENDOR_ID, 0x0002, 0x0100};
constexpr FakeInterface CARD{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0100};
constexpr FakeInterface CARD_V2{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0200};
constexpr FakeInterface LOCKED_CARD{CARD_VENDOR_ID, CARD_PRODUCT_ID, 0x0100, false};

const auto DEVICE_SET = reinterpret_cast<HDEVINFO>(0x5E7);
constexpr std::intptr_t FIRST_HANDLE = 0x1000;  // interface i opens as FIRST_HANDLE + i

// The machine the fakes show, and what the walk did to it.
struct FakeMachine {
  std::vector<FakeInterface> interfaces;
  bool has_device_set = true;
  std::vector<DWORD> enumerated;
  std::set<std::intptr_t> open_handles;
  bool set_destroyed = false;
  DWORD open_flags = 0, open_access = 0, open_share = 0;
  bool open_inheritable = false;
};
FakeMachine machine;

std::string path_of(std::size_t member) { return "\\\\?\\hid#fake#" + std::to_string(member); }

void WINAPI fake_get_hid_guid(GUID* guid) { std::memset(guid, 0x4D, sizeof *guid); }

HDEVINFO WINAPI fake_get_class_devs(const GUID*, PCSTR, HWND, DWORD flags) {
  EXPECT_EQ(flags, 0x12u);
  return machine.has_device_set ? DEVICE_SET : INVALID_HANDLE_VALUE;
}

BOOL WINAPI fake_enum_device_interfaces(HDEVINFO set, SP_DEVINFO_DATA*, const GUID*, DWORD member,
                                        SP_DEVICE_INTERFACE_DATA* data) {
  EXPECT_EQ(set, DEVICE_SET);
  EXPECT_EQ(data->cbSize, sizeof(SP_DEVICE_INTERFACE_DATA));
  machine.enumerated.push_back(member);
  if (member >= machine.interfaces.size()) return FALSE;
  data->Reserved = member;
  return TRUE;
}

BOOL WINAPI fake_get_detail(HDEVINFO, SP_DEVICE_INTERFACE_DATA* data,
                            SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size, DWORD* required,
                            SP_DEVINFO_DATA*) {
  const std::string path = path_of(data->Reserved);
  const auto needed =
      static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
  if (detail == nullptr) {
    *required = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  EXPECT_EQ(detail->cbSize, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
  EXPECT_GE(size, needed);
  std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
  return TRUE;
}

HANDLE WINAPI fake_create_file(LPCSTR path, DWORD access, DWORD share,
                               SECURITY_ATTRIBUTES* security, DWORD, DWORD flags, HANDLE) {
  const std::size_t member = std::stoul(std::string(path).substr(path_of(0).size() - 1));
  EXPECT_EQ(path, path_of(member));
  machine.open_access = access;
  machine.open_share = share;
  machine.open_flags = flags;
  machine.open_inheritable = security != nullptr && security->bInheritHandle;
  if (!machine.interfaces[member].opens) return INVALID_HANDLE_VALUE;
  const std::intptr_t handle = FIRST_HANDLE + static_cast<std::intptr_t>(member);
  machine.open_handles.insert(handle);
  return reinterpret_cast<HANDLE>(handle);
}

BOOLEAN WINAPI fake_get_attributes(HANDLE handle, HIDD_ATTRIBUTES* attributes) {
  EXPECT_EQ(attributes->Size, sizeof(HIDD_ATTRIBUTES));
  const FakeInterface& i =
      machine.interfaces[reinterpret_cast<std::intptr_t>(handle) - FIRST_HANDLE];
  attributes->VendorID = i.vendor_id;
  attributes->ProductID = i.product_id;
  attributes->VersionNumber = i.version;
  return TRUE;
}

BOOL WINAPI fake_close_handle(HANDLE handle) {
  EXPECT_EQ(machine.open_handles.erase(reinterpret_cast<std::intptr_t>(handle)), 1u);
  return TRUE;
}

BOOL WINAPI fake_destroy(HDEVINFO set) {
  EXPECT_EQ(set, DEVICE_SET);
  machine.set_destroyed = true;
  return TRUE;
}

const HidFunctions FAKES{
    fake_get_hid_guid, fake_get_attributes, fake_get_class_devs, fake_enum_device_interfaces,
    fake_get_detail,   fake_destroy,        fake_create_file,    fake_close_handle};

FakeMachine machine_of(std::vector<FakeInterface> interfaces, bool has_device_set = true) {
  FakeMachine fake;
  fake.interfaces = std::move(interfaces);
  fake.has_device_set = has_device_set;
  return fake;
}

// An opened fake interface as the card it becomes: it closes its handle when destroyed.
class FakeHandleCard final : public HidCard {
 public:
  explicit FakeHandleCard(HANDLE opened) : handle(opened) {}
  ~FakeHandleCard() override { FAKES.close_handle(handle); }
  HidStatus write_report(std::span<const std::uint8_t>) override { return HidStatus::failed; }
  HidStatus read_report(std::span<std::uint8_t>, int) override { return HidStatus::failed; }
  const HANDLE handle;
};

std::unique_ptr<HidCard> make_fake_card(HANDLE handle) {
  return std::make_unique<FakeHandleCard>(handle);
}

// The member whose handle the walk chose, or -1 for none; checks that no other handle stays
// open and that the device set was released.
int walk(std::vector<FakeInterface> interfaces, int version = -1, int index = 0) {
  machine = machine_of(std::move(interfaces));
  SetupApiInterfaceList list(FAKES, make_fake_card);
  EXPECT_TRUE(machine.set_destroyed);
  const HidWalkResult found =
      open_nth_matching(list, {CARD_VENDOR_ID, CARD_PRODUCT_ID, version, index});
  EXPECT_TRUE(found.failures.empty());  // the ids of an interface that will not open are unknown
  if (!found.card) {
    EXPECT_TRUE(machine.open_handles.empty());
    return -1;
  }
  const auto handle =
      reinterpret_cast<std::intptr_t>(dynamic_cast<const FakeHandleCard&>(*found.card).handle);
  EXPECT_EQ(machine.open_handles, std::set<std::intptr_t>{handle});
  return static_cast<int>(handle - FIRST_HANDLE);
}

TEST(HidWin32Walk, OpensTheIndexthMatchSkippingInterfacesThatDoNotOpen) {
  EXPECT_EQ(walk({KEYBOARD, OTHER_PRODUCT, LOCKED_CARD, CARD_V2, CARD}), 3);
  EXPECT_EQ(machine.open_access, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(machine.open_share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_EQ(machine.open_flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
  EXPECT_TRUE(machine.open_inheritable);
  EXPECT_EQ(walk({KEYBOARD, CARD_V2, CARD}, -1, 1), 2);
  EXPECT_EQ(walk({CARD_V2, CARD}, 0x0100, 0), 1);  // a given version skips the others
  EXPECT_EQ(walk({KEYBOARD, OTHER_PRODUCT, LOCKED_CARD}), -1);
  EXPECT_EQ(walk({}), -1);
  EXPECT_EQ(machine.enumerated, std::vector<DWORD>{0});  // the end of the list ends the walk
}

TEST(HidWin32Walk, InterfacesPastThe256thAreNeverExamined) {
  std::vector<FakeInterface> many(300, KEYBOARD);
  many[255] = CARD;
  EXPECT_EQ(walk(many), 255);
  many[255] = KEYBOARD;
  many[256] = CARD;
  EXPECT_EQ(walk(many), -1);
  EXPECT_EQ(machine.enumerated.size(), 256u);
  EXPECT_EQ(machine.enumerated.back(), 255u);
}

TEST(HidWin32Walk, NoDeviceSetListsNothing) {
  machine = machine_of({CARD}, false);
  SetupApiInterfaceList list(FAKES, make_fake_card);
  EXPECT_EQ(list.size(), 0u);
  EXPECT_TRUE(machine.enumerated.empty());
  EXPECT_FALSE(machine.set_destroyed);
}

}  // namespace
}  // namespace kavri
